// Loads the built Ostrel.vst3 bundle through the framework's VST3 hosting, the way a DAW does, and
// checks what the host sees. This binary has its own copy of the framework, built with hosting
// enabled, and does not link the plug-in's shared code.

#include "FakeInput.h"
#include "HostReference.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <memory>
#include <thread>
#include <vector>

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

/** Runs the message queue for a while: the plug-in's window gets its events and timers from the
    host's run loop, so it only opens, paints and resizes while the host dispatches messages.
*/
void pumpMessagesFor (int milliseconds)
{
    pumpMessagesUntil ([deadline = juce::Time::getMillisecondCounter() + (juce::uint32) milliseconds]
                       { return juce::Time::getMillisecondCounter() >= deadline; });
}

// Halves away from zero, as the editor rounds its sizes.
int nearest (double x) { return (int) std::round (x); }

/** The size the editor opens at and the limits it accepts on a display with this usable area:
    three quarters of the height at an aspect ratio of 1.5, the width kept between 720 and 1600
    (or the display's width), the height fitted to the display when it would not fit.
*/
struct ExpectedSizing
{
    int width, height, minWidth, minHeight, maxWidth, maxHeight;
};

constexpr double editorAspectRatio = 1.5;

ExpectedSizing expectedSizing (juce::Rectangle<int> area)
{
    const int areaW = area.getWidth(), areaH = area.getHeight();
    const int h0 = nearest ((float) areaH * 0.75f);
    const int w0 = juce::jmax (1, nearest (juce::jmax (1, h0) * editorAspectRatio));

    ExpectedSizing s {};
    s.maxWidth = juce::jmax (1, juce::jmin (areaW, 1600));
    s.minWidth = juce::jmax (1, juce::jmin (s.maxWidth, 720));
    s.minHeight = juce::jmax (1, nearest (s.minWidth / editorAspectRatio));
    s.maxHeight = juce::jmax (s.minHeight, nearest (s.maxWidth / editorAspectRatio));
    s.width = juce::jlimit (s.minWidth, s.maxWidth, w0);
    s.height = juce::jmax (1, nearest (s.width / editorAspectRatio));

    if (s.height > areaH)
    {
        s.width = juce::jmax (1, juce::jmin (areaW, nearest (areaH * editorAspectRatio)));
        s.height = juce::jmax (1, areaH);
    }

    return s;
}

/** A window like a DAW's plug-in window: it shows the host's editor for an instance, sized to it. */
struct PluginWindow : juce::DocumentWindow
{
    explicit PluginWindow (juce::AudioProcessorEditor& editor) :
        juce::DocumentWindow ("Ostrel", juce::Colours::black, 0, true)
    {
        setUsingNativeTitleBar (true);
        setContentNonOwned (&editor, true);
        setVisible (true);
    }

    ~PluginWindow() override { clearContentComponent(); }
};

/** A test signal that any instance can regenerate: block b, channel c, sample i. */
void fillTestBlock (juce::AudioBuffer<float>& buffer, int blockIndex)
{
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
        {
            const auto t = (float) (blockIndex * buffer.getNumSamples() + i);
            buffer.setSample (c, i, 1.2f * std::sin (0.011f * t * (float) (c + 1)) + 0.3f * std::sin (0.37f * t));
        }
}

/** Where a user clicks in the editor's menu bar, from the menu bar's layout: its height is 9 % of
    the editor's, the preset button spans 24 % of the width from 0.8 of that left of the centre
    line, and the Save button follows one hundredth of the width later, 1.8 bar heights wide.
*/
juce::Point<int> presetButtonCentre (const juce::Component& editor)
{
    const auto w = (float) editor.getWidth(), barHeight = (float) nearest (0.09f * (float) editor.getHeight());
    return editor.getScreenPosition() + juce::Point<float> (0.428f * w, 0.5f * barHeight).roundToInt();
}

juce::Point<int> saveButtonCentre (const juce::Component& editor)
{
    const auto w = (float) editor.getWidth(), barHeight = (float) nearest (0.09f * (float) editor.getHeight());
    return editor.getScreenPosition()
           + juce::Point<float> (0.558f * w + 0.9f * barHeight, 0.5f * barHeight).roundToInt();
}

/** How far down the editor's left edge the colour of its top row reaches on screen: the height
    of the menu bar as the plug-in laid it out and painted it. -1 when the screen cannot be read.
*/
int menuBarHeightOnScreen (const juce::Component& editor)
{
    const auto origin = editor.getScreenPosition() + juce::Point<int> (2, 0);
    const auto barColour = FakeInput::pixelAt (origin.x, origin.y);

    if (barColour < 0)
        return -1;

    for (int y = 1; y < editor.getHeight(); ++y)
        if (FakeInput::pixelAt (origin.x, origin.y + y) != barColour)
            return y;

    return editor.getHeight();
}

/** The user presets folder of the home folder the test runs in. */
juce::File userPresetsFolder()
{
    return juce::File::getSpecialLocation (juce::File::userHomeDirectory)
        .getChildFile (".config/LarkfenAudio/Ostrel/version_1.0.0/Presets");
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

TEST (HostedPlugin, EditorOpensAtTheSizeForTheDisplayAndResizesAtItsAspectRatio)
{
    const auto* display = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay();
    ASSERT_NE (display, nullptr);
    const auto expected = expectedSizing (display->userArea);

    auto instance = load();
    ASSERT_NE (instance, nullptr);
    ASSERT_TRUE (instance->hasEditor());

    std::unique_ptr<juce::AudioProcessorEditor> editor (instance->createEditorIfNeeded());
    ASSERT_NE (editor, nullptr);
    EXPECT_EQ (instance->getActiveEditor(), editor.get());

    {
        PluginWindow window (*editor);
        pumpMessagesFor (300);

        EXPECT_EQ (editor->getWidth(), expected.width) << display->userArea.toString();
        EXPECT_EQ (editor->getHeight(), expected.height) << display->userArea.toString();
        EXPECT_EQ (window.getContentComponent()->getBounds(), editor->getBounds());
        EXPECT_TRUE (
            pumpMessagesUntil ([&] { return menuBarHeightOnScreen (*editor) == nearest (0.09f * expected.height); }))
            << "menu bar " << menuBarHeightOnScreen (*editor) << " high at the opening size";

        // What the host asks for, and what the plug-in lets it have: within the limits one side
        // is kept and the other follows the aspect ratio; outside them the size is clamped.
        struct Request
        {
            int width, height, expectedWidth, expectedHeight;
        };

        const Request requests[] = {
            { 900, 700, 900, 600 },
            { 1000, 600, 900, 600 },
            { 960, 640, 960, 640 },
            { 5000, 4000, expected.maxWidth, expected.maxHeight },
            { 100, 100, expected.minWidth, expected.minHeight },
            { 5000, 100, expected.minWidth, expected.minHeight },
        };

        for (const auto& r : requests)
        {
            SCOPED_TRACE (juce::String (r.width) + " x " + juce::String (r.height));
            editor->setSize (r.width, r.height);
            pumpMessagesFor (50);

            EXPECT_NEAR (editor->getWidth(), r.expectedWidth, 1);
            EXPECT_NEAR (editor->getHeight(), r.expectedHeight, 1);
            EXPECT_NEAR (editor->getWidth(), editor->getHeight() * editorAspectRatio, 1.5);
            EXPECT_EQ (window.getContentComponent()->getBounds(), editor->getBounds());

            // The plug-in laid its children out for the new size: on screen, the menu bar's
            // colour at the left edge ends where the control panel begins, 9 % down.
            const int barHeight = nearest (0.09f * (float) editor->getHeight());
            EXPECT_TRUE (pumpMessagesUntil ([&] { return menuBarHeightOnScreen (*editor) == barHeight; }))
                << "menu bar " << menuBarHeightOnScreen (*editor) << " high, expected " << barHeight;
        }
    }

    editor.reset();
    EXPECT_EQ (instance->getActiveEditor(), nullptr);
}

TEST (HostedPlugin, OpeningAndClosingTheEditorWhileAudioRunsLeavesTheOutputUnchanged)
{
    constexpr int blockSize = 256, maxBlocks = 4000;

    auto withEditor = load (48000.0, blockSize);
    auto withoutEditor = load (48000.0, blockSize);
    ASSERT_NE (withEditor, nullptr);
    ASSERT_NE (withoutEditor, nullptr);

    for (auto* instance : { withEditor.get(), withoutEditor.get() })
        instance->prepareToPlay (48000.0, blockSize);

    // The audio thread plays the test signal until the editor has come and gone several times.
    std::vector<float> recorded ((size_t) (2 * blockSize * maxBlocks));
    std::atomic<bool> stop { false };
    std::atomic<int> blocksDone { 0 };

    std::thread audioThread (
        [&]
        {
            juce::AudioBuffer<float> buffer (2, blockSize);
            juce::MidiBuffer midi;

            for (int b = 0; b < maxBlocks && ! stop.load(); ++b)
            {
                fillTestBlock (buffer, b);
                withEditor->processBlock (buffer, midi);

                for (int c = 0; c < 2; ++c)
                    std::copy_n (buffer.getReadPointer (c), blockSize, recorded.begin() + (b * 2 + c) * blockSize);

                blocksDone.store (b + 1);
                std::this_thread::sleep_for (std::chrono::milliseconds (1));
            }
        });

    for (int round = 0; round < 4; ++round)
    {
        const int blocksBefore = blocksDone.load();
        std::unique_ptr<juce::AudioProcessorEditor> editor (withEditor->createEditorIfNeeded());
        ASSERT_NE (editor, nullptr);

        {
            PluginWindow window (*editor);
            pumpMessagesFor (250);
            editor->setSize (900 + 60 * round, 600 + 40 * round);
            pumpMessagesFor (100);
        }

        editor.reset();
        pumpMessagesFor (50);
        EXPECT_GT (blocksDone.load(), blocksBefore) << "audio stalled while the editor was open, round " << round;
    }

    stop.store (true);
    audioThread.join();
    const int numBlocks = blocksDone.load();
    ASSERT_LT (numBlocks, maxBlocks) << "the editor rounds outlasted the recording";

    juce::AudioBuffer<float> buffer (2, blockSize);
    juce::MidiBuffer midi;
    float worst = 0.0f, loudest = 0.0f;

    for (int b = 0; b < numBlocks; ++b)
    {
        fillTestBlock (buffer, b);
        withoutEditor->processBlock (buffer, midi);

        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < blockSize; ++i)
            {
                const float got = recorded[(size_t) ((b * 2 + c) * blockSize + i)];
                ASSERT_TRUE (std::isfinite (got)) << "block " << b;
                worst = std::max (worst, std::abs (got - buffer.getSample (c, i)));
                loudest = std::max (loudest, std::abs (got));
            }
    }

    EXPECT_GT (loudest, 0.1f);
    EXPECT_EQ (worst, 0.0f);

    for (auto* instance : { withEditor.get(), withoutEditor.get() })
        instance->releaseResources();
}

TEST (HostedPlugin, UserPresetSavedInOneEditorLoadsFromAnotherEditorsPresetMenu)
{
    const auto ref = readReference();
    const auto presetsBefore = userPresetsFolder().findChildFiles (juce::File::findFiles, false, "*.xml");

    // The first instance: the user sets it up, clicks Save and accepts the offered name.
    auto saver = load();
    ASSERT_NE (saver, nullptr);
    apply (*saver, ref);

    juce::File savedFile;
    {
        std::unique_ptr<juce::AudioProcessorEditor> editor (saver->createEditorIfNeeded());
        ASSERT_NE (editor, nullptr);
        PluginWindow window (*editor);
        pumpMessagesFor (300);

        const auto save = saveButtonCentre (*editor);
        const auto dialogArea = editor->getScreenBounds().getCentre();
        const auto beforeDialog = FakeInput::pixelAt (dialogArea.x, dialogArea.y);
        ASSERT_TRUE (FakeInput::clickAt (save.x, save.y));
        ASSERT_TRUE (
            pumpMessagesUntil ([&] { return FakeInput::pixelAt (dialogArea.x, dialogArea.y) != beforeDialog; }))
            << "no dialog appeared over the editor";
        pumpMessagesFor (200);
        ASSERT_TRUE (FakeInput::pressKey ("Return"));

        const auto newPreset = [&]
        {
            for (const auto& f : userPresetsFolder().findChildFiles (juce::File::findFiles, false, "*.xml"))
                if (! presetsBefore.contains (f))
                    savedFile = f;

            return savedFile.existsAsFile();
        };

        ASSERT_TRUE (pumpMessagesUntil (newPreset))
            << "no preset file appeared in " << userPresetsFolder().getFullPathName();

        // Dismisses the confirmation that the preset was saved.
        ASSERT_TRUE (FakeInput::pressKey ("Return"));
        pumpMessagesFor (300);
    }

    // The second instance: the user opens the preset menu and loads the last entry, the new preset.
    auto loader = load();
    ASSERT_NE (loader, nullptr);
    {
        std::unique_ptr<juce::AudioProcessorEditor> editor (loader->createEditorIfNeeded());
        ASSERT_NE (editor, nullptr);
        PluginWindow window (*editor);
        pumpMessagesFor (300);

        const auto preset = presetButtonCentre (*editor);
        const auto menuArea = preset + juce::Point<int> (0, editor->getHeight() / 8);
        const auto beforeMenu = FakeInput::pixelAt (menuArea.x, menuArea.y);
        ASSERT_TRUE (FakeInput::clickAt (preset.x, preset.y));
        ASSERT_TRUE (pumpMessagesUntil ([&] { return FakeInput::pixelAt (menuArea.x, menuArea.y) != beforeMenu; }))
            << "no menu appeared below the preset button";
        pumpMessagesFor (200);

        for (const auto* key : { "Up", "Right", "Return" })
        {
            ASSERT_TRUE (FakeInput::pressKey (key));
            pumpMessagesFor (200);
        }

        // Master is the listener's own and stays as it is; every other value comes from the file.
        const auto& saved = saver->getParameters();
        const auto& loaded = loader->getParameters();
        const auto matches = [&]
        {
            for (int i = 0; i < 11; ++i)
                if (saved[i]->getName (100) != "Master"
                    && std::abs (saved[i]->getValue() - loaded[i]->getValue()) > 1.0e-6f)
                    return false;

            return true;
        };

        EXPECT_TRUE (pumpMessagesUntil (matches));

        for (int i = 0; i < 11; ++i)
        {
            if (saved[i]->getName (100) == "Master")
            {
                EXPECT_EQ (loaded[i]->getValue(), loaded[i]->getDefaultValue());
            }
        }
    }

    juce::MemoryBlock state;
    loader->getStateInformation (state);
    const auto xml = pluginXml (state);
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getStringAttribute ("uiCurrentPresetName"), savedFile.getFileNameWithoutExtension());
    EXPECT_EQ (xml->getStringAttribute ("uiCurrentPresetIsUser"), "1");
    EXPECT_EQ (xml->getStringAttribute ("uiCurrentPresetModified"), "0");
}
