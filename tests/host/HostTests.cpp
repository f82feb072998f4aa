// Loads the built Ostrel.vst3 bundle through the framework's VST3 hosting, the way a DAW does, and
// checks what the host sees. This binary has its own copy of the framework, built with hosting
// enabled, and does not link the plug-in's shared code.

#include "HostReference.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <gtest/gtest.h>

#include <memory>

namespace juce
{
// Defined by juce_events on Linux: runs one message of the system queue.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

namespace
{
const juce::File bundle { OSTREL_VST3_BUNDLE };
const juce::File referenceFile { OSTREL_HOST_REFERENCE };

std::unique_ptr<juce::PluginDescription> findDescription()
{
    juce::VST3PluginFormat format;
    juce::OwnedArray<juce::PluginDescription> found;
    format.findAllTypesForFile (found, bundle.getFullPathName());

    if (found.size() != 1)
        return {};

    return std::make_unique<juce::PluginDescription> (*found[0]);
}

std::unique_ptr<juce::AudioPluginInstance> load (double sampleRate = 48000.0, int blockSize = 512)
{
    auto description = findDescription();

    if (description == nullptr)
        return {};

    juce::VST3PluginFormat format;
    juce::String error;
    auto instance = format.createInstanceFromDescription (*description, sampleRate, blockSize, error);
    EXPECT_TRUE (error.isEmpty()) << error;
    return instance;
}

/** The plug-in reports to the host from its own message thread; the host hears of it through
    its message queue. Runs that queue until the condition holds, for at most two seconds.
*/
template <typename Condition>
bool pumpMessagesUntil (Condition condition)
{
    const auto deadline = juce::Time::getMillisecondCounter() + 2000;

    while (! condition())
    {
        if (juce::Time::getMillisecondCounter() > deadline)
            return false;

        if (! juce::dispatchNextMessageOnSystemQueue (true))
            juce::Thread::sleep (1);
    }

    return true;
}

void processSilence (juce::AudioPluginInstance& instance, int blockSize = 512)
{
    juce::AudioBuffer<float> buffer (2, blockSize);
    buffer.clear();
    juce::MidiBuffer midi;
    instance.processBlock (buffer, midi);
}

/** The processor's own state blob inside the host's state: the host keeps the component's
    stream base64-encoded, and that stream begins with the plug-in's binary XML.
*/
juce::MemoryBlock componentState (const juce::MemoryBlock& hostState)
{
    juce::MemoryBlock stream;

    if (auto xml = juce::AudioProcessor::getXmlFromBinary (hostState.getData(), (int) hostState.getSize()))
        if (auto* component = xml->getChildByName ("IComponent"))
            stream.fromBase64Encoding (component->getAllSubText());

    return stream;
}

std::unique_ptr<juce::XmlElement> pluginXml (const juce::MemoryBlock& hostState)
{
    const auto stream = componentState (hostState);
    return juce::AudioProcessor::getXmlFromBinary (stream.getData(), (int) stream.getSize());
}

/** The host state with the plug-in's XML replaced, keeping whatever the wrapper appended. */
juce::MemoryBlock withPluginXml (const juce::MemoryBlock& hostState, const juce::XmlElement& newXml)
{
    auto head = juce::AudioProcessor::getXmlFromBinary (hostState.getData(), (int) hostState.getSize());
    const auto stream = componentState (hostState);
    const auto oldLength =
        9 + (size_t) juce::ByteOrder::littleEndianInt (juce::addBytesToPointer (stream.getData(), 4));

    juce::MemoryBlock newStream;
    juce::AudioProcessor::copyXmlToBinary (newXml, newStream);
    newStream.append (juce::addBytesToPointer (stream.getData(), oldLength), stream.getSize() - oldLength);

    auto* component = head->getChildByName ("IComponent");
    component->deleteAllTextElements();
    component->addTextElement (newStream.toBase64Encoding());

    juce::MemoryBlock result;
    juce::AudioProcessor::copyXmlToBinary (*head, result);
    return result;
}

HostReference readReference()
{
    HostReference ref;
    EXPECT_TRUE (ref.read (referenceFile)) << referenceFile.getFullPathName();
    return ref;
}

void apply (juce::AudioPluginInstance& instance, const HostReference& ref)
{
    for (const auto& s : ref.settings)
        instance.getParameters()[s.index]->setValue (s.normalised);
}
} // namespace

//==============================================================================
TEST (HostedPlugin, IsListedWithItsIdentity)
{
    ASSERT_TRUE (bundle.isDirectory()) << bundle.getFullPathName();
    const auto description = findDescription();
    ASSERT_NE (description, nullptr);

    EXPECT_EQ (description->name, "Ostrel");
    EXPECT_EQ (description->descriptiveName, "Ostrel");
    EXPECT_EQ (description->manufacturerName, "Larkfen Audio");
    EXPECT_EQ (description->version, "1.0.0");
    EXPECT_EQ (description->pluginFormatName, "VST3");
    EXPECT_FALSE (description->isInstrument);
    EXPECT_EQ (description->numInputChannels, 2);
    EXPECT_EQ (description->numOutputChannels, 2);

    juce::StringArray categories;
    categories.addTokens (description->category, "|", "");
    EXPECT_TRUE (categories.contains ("Fx")) << description->category;
    EXPECT_TRUE (categories.contains ("Dynamics")) << description->category;

    auto instance = load();
    ASSERT_NE (instance, nullptr);
    EXPECT_EQ (instance->getName(), "Ostrel");
    EXPECT_FALSE (instance->acceptsMidi());
    EXPECT_FALSE (instance->producesMidi());
    EXPECT_NEAR (instance->getTailLengthSeconds(), 0.05, 1.0e-6);
}

TEST (HostedPlugin, PublishesTheElevenParametersInOrderAndABypass)
{
    struct Expected
    {
        const char* name;
        float min, max, defaultValue;
    };

    const Expected expected[] = {
        { "Power", 0, 1, 1 },      { "Mode", 0, 2, 2 },           { "Input", -24, 24, 0 },     { "Shape", 0, 100, 40 },
        { "Ceiling", -12, 0, -1 }, { "Output", -24, 24, 0 },      { "Master", -24, 24, 0 },    { "Mix", 0, 100, 100 },
        { "Edge", -100, 100, 0 },  { "Low Protect", 0, 100, 50 }, { "Oversampling", 0, 3, 2 },
    };

    auto instance = load();
    ASSERT_NE (instance, nullptr);
    const auto& params = instance->getParameters();
    ASSERT_EQ (params.size(), (int) std::size (expected) + 1);

    for (size_t i = 0; i < std::size (expected); ++i)
    {
        const auto& e = expected[i];
        auto* param = params[(int) i];
        SCOPED_TRACE (e.name);
        EXPECT_EQ (param->getName (100), e.name);
        EXPECT_NEAR (param->getDefaultValue(), (e.defaultValue - e.min) / (e.max - e.min), 1.0e-6);
        EXPECT_NEAR (param->getValue(), param->getDefaultValue(), 1.0e-6);
        EXPECT_TRUE (param->isAutomatable());
    }

    auto* bypass = params[(int) std::size (expected)];
    EXPECT_EQ (instance->getBypassParameter(), bypass);
    EXPECT_EQ (bypass->getName (100), "Bypass");
    EXPECT_EQ (bypass->getValue(), 0.0f);
}

TEST (HostedPlugin, AcceptsMonoAndStereoAndRefusesOtherLayouts)
{
    using Set = juce::AudioChannelSet;

    struct Case
    {
        Set in, out;
        bool supported;
    };

    const Case cases[] = {
        { Set::stereo(), Set::stereo(), true },
        { Set::mono(), Set::mono(), true },
        { Set::mono(), Set::stereo(), false },
        { Set::quadraphonic(), Set::quadraphonic(), false },
        { Set::create5point1(), Set::create5point1(), false },
    };

    auto instance = load();
    ASSERT_NE (instance, nullptr);
    instance->releaseResources();

    for (const auto& c : cases)
    {
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (c.in);
        layout.outputBuses.add (c.out);
        EXPECT_EQ (instance->checkBusesLayoutSupported (layout), c.supported)
            << c.in.getDescription() << " -> " << c.out.getDescription();
    }
}

TEST (HostedPlugin, TellsTheHostTheLatencyOfTheOversamplingChoice)
{
    const auto ref = readReference();
    ASSERT_GT (ref.latency4x, 0);

    auto instance = load();
    ASSERT_NE (instance, nullptr);
    instance->prepareToPlay (ref.sampleRate, ref.blockSize);

    // Activation already reports the latency of the default choice ("4x"), before any block.
    EXPECT_TRUE (pumpMessagesUntil ([&] { return instance->getLatencySamples() == ref.latency4x; }))
        << "the host was told " << instance->getLatencySamples();

    auto* oversampling = instance->getParameters()[10];
    ASSERT_EQ (oversampling->getName (100), "Oversampling");

    struct Step
    {
        const char* choice;
        int latency;
    };

    for (const auto& step : { Step { "4x", ref.latency4x }, Step { "Off", 0 }, Step { "4x", ref.latency4x } })
    {
        SCOPED_TRACE (step.choice);
        oversampling->setValue (oversampling->getValueForText (step.choice));
        processSilence (*instance, ref.blockSize);
        EXPECT_TRUE (pumpMessagesUntil ([&] { return instance->getLatencySamples() == step.latency; }))
            << "the host was told " << instance->getLatencySamples();
    }

    instance->releaseResources();
}

TEST (HostedPlugin, ProcessesExactlyLikeTheProcessorClass)
{
    const auto ref = readReference();
    auto instance = load (ref.sampleRate, ref.blockSize);
    ASSERT_NE (instance, nullptr);
    instance->prepareToPlay (ref.sampleRate, ref.blockSize);
    apply (*instance, ref);

    const int n = ref.numSamples();
    juce::AudioBuffer<float> audio (ref.numChannels, n);
    for (int c = 0; c < ref.numChannels; ++c)
        audio.copyFrom (c, 0, ref.input.data() + (size_t) (c * n), n);

    juce::MidiBuffer midi;
    for (int start = 0; start < n; start += ref.blockSize)
    {
        juce::AudioBuffer<float> block (audio.getArrayOfWritePointers(), ref.numChannels, start, ref.blockSize);
        instance->processBlock (block, midi);
    }

    float worst = 0.0f, loudest = 0.0f;
    for (int c = 0; c < ref.numChannels; ++c)
        for (int i = 0; i < n; ++i)
        {
            worst = std::max (worst, std::abs (audio.getSample (c, i) - ref.output[(size_t) (c * n + i)]));
            loudest = std::max (loudest, std::abs (ref.output[(size_t) (c * n + i)]));
        }

    EXPECT_GT (loudest, 0.1f);
    EXPECT_EQ (worst, 0.0f);
    EXPECT_TRUE (pumpMessagesUntil ([&] { return instance->getLatencySamples() == ref.latencyOfSettings; }));

    instance->releaseResources();
}

TEST (HostedPlugin, StateSavedByTheHostRestoresIntoAFreshInstance)
{
    const auto ref = readReference();

    auto original = load();
    ASSERT_NE (original, nullptr);
    original->prepareToPlay (ref.sampleRate, ref.blockSize);
    apply (*original, ref);
    processSilence (*original, ref.blockSize);

    juce::MemoryBlock saved;
    original->getStateInformation (saved);

    // The plug-in's own XML travels inside the host's state, record attributes included.
    auto xml = pluginXml (saved);
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getTagName(), "PARAMETERS");
    EXPECT_EQ (xml->getStringAttribute ("uiCurrentPresetName"), "Presets");
    EXPECT_EQ (xml->getStringAttribute ("uiCurrentPresetIsUser"), "0");
    EXPECT_EQ (xml->getStringAttribute ("uiCurrentPresetModified"), "1");

    // A session saved with a named user preset restores that record in a fresh instance.
    xml->setAttribute ("uiCurrentPresetName", "Bus Glue");
    xml->setAttribute ("uiCurrentPresetIsUser", "1");
    xml->setAttribute ("uiCurrentPresetModified", "0");
    const auto session = withPluginXml (saved, *xml);

    auto restored = load();
    ASSERT_NE (restored, nullptr);
    restored->setStateInformation (session.getData(), (int) session.getSize());

    const auto& before = original->getParameters();
    const auto& after = restored->getParameters();
    ASSERT_EQ (before.size(), after.size());

    for (int i = 0; i < before.size(); ++i)
        EXPECT_NEAR (after[i]->getValue(), before[i]->getValue(), 1.0e-6) << before[i]->getName (100);

    for (const auto& s : ref.settings)
        EXPECT_NEAR (after[s.index]->getValue(), s.normalised, 1.0e-6) << after[s.index]->getName (100);

    juce::MemoryBlock resaved;
    restored->getStateInformation (resaved);
    auto restoredXml = pluginXml (resaved);
    ASSERT_NE (restoredXml, nullptr);
    EXPECT_EQ (restoredXml->getStringAttribute ("uiCurrentPresetName"), "Bus Glue");
    EXPECT_EQ (restoredXml->getStringAttribute ("uiCurrentPresetIsUser"), "1");
    EXPECT_EQ (restoredXml->getStringAttribute ("uiCurrentPresetModified"), "0");

    original->releaseResources();
}
