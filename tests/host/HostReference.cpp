// Writes the reference output that the VST3 host test compares the loaded bundle against: the
// same parameter changes and audio, processed by OstrelAudioProcessor directly.

#include "HostReference.h"
#include "PluginProcessor.h"

#include <cstdlib>
#include <iostream>
#include <string>

namespace
{
/** The parameter changes a host makes after preparing, in each parameter's own units. */
struct Change
{
    const char* id;
    float value;
};

constexpr Change changes[] = {
    { "mode", 0.0f },   { "oversampling", 1.0f }, { "input", 4.0f }, { "shape", 65.0f }, { "ceiling", -2.0f },
    { "output", 1.5f }, { "master", -0.5f },      { "mix", 90.0f },  { "edge", 25.0f },  { "lowProtect", 70.0f },
};

int indexOf (OstrelAudioProcessor& processor, const juce::String& id)
{
    const auto& params = processor.getParameters();

    for (int i = 0; i < params.size(); ++i)
        if (auto* p = dynamic_cast<juce::RangedAudioParameter*> (params[i]); p != nullptr && p->getParameterID() == id)
            return i;

    return -1;
}

void processBlocks (OstrelAudioProcessor& processor, juce::AudioBuffer<float>& audio, int blockSize)
{
    juce::MidiBuffer midi;

    for (int start = 0; start < audio.getNumSamples(); start += blockSize)
    {
        juce::AudioBuffer<float> block (audio.getArrayOfWritePointers(), audio.getNumChannels(), start,
                                        juce::jmin (blockSize, audio.getNumSamples() - start));
        processor.processBlock (block, midi);
    }
}

int run (const juce::File& destination)
{
    HostReference ref;
    ref.numBlocks = 8;

    juce::AudioBuffer<float> audio (ref.numChannels, ref.numSamples());
    juce::Random random (99);

    for (int c = 0; c < ref.numChannels; ++c)
        for (int i = 0; i < audio.getNumSamples(); ++i)
            audio.setSample (c, i,
                             0.9f * std::sin (0.03f * (float) i * (float) (c + 1))
                                 + 0.4f * (2.0f * random.nextFloat() - 1.0f));

    for (int c = 0; c < ref.numChannels; ++c)
        ref.input.insert (ref.input.end(), audio.getReadPointer (c), audio.getReadPointer (c) + audio.getNumSamples());

    {
        OstrelAudioProcessor processor;
        processor.prepareToPlay (ref.sampleRate, ref.blockSize);

        for (const auto& change : changes)
        {
            const int index = indexOf (processor, change.id);
            processor.setParamValue (change.id, change.value);
            ref.settings.push_back ({ index, processor.getParameters()[index]->getValue() });
        }

        processBlocks (processor, audio, ref.blockSize);
        ref.latencyOfSettings = processor.getLatencySamples();
    }

    for (int c = 0; c < ref.numChannels; ++c)
        ref.output.insert (ref.output.end(), audio.getReadPointer (c),
                           audio.getReadPointer (c) + audio.getNumSamples());

    {
        OstrelAudioProcessor processor;
        processor.prepareToPlay (ref.sampleRate, ref.blockSize);
        processor.setParamValue ("oversampling", 2.0f);
        juce::AudioBuffer<float> block (ref.numChannels, ref.blockSize);
        block.clear();
        processBlocks (processor, block, ref.blockSize);
        ref.latency4x = processor.getLatencySamples();
    }

    if (! ref.write (destination))
    {
        std::cerr << "cannot write " << destination.getFullPathName() << "\n";
        return 1;
    }

    return 0;
}
} // namespace

int main (int argc, char** argv)
{
    if (argc != 2)
    {
        std::cerr << "usage: ostrel_host_reference <output file>\n";
        return 2;
    }

    // The processor creates per-user folders; they go to a throw-away home folder.
    std::string home = "/tmp/ostrel-reference-home-XXXXXX";

    if (mkdtemp (home.data()) == nullptr)
        return 1;

    setenv ("HOME", home.c_str(), 1);

    int result = 0;
    {
        juce::ScopedJuceInitialiser_GUI juce;
        result = run (juce::File (juce::File::getCurrentWorkingDirectory().getChildFile (argv[1])));
    }

    juce::File (home).deleteRecursively();
    return result;
}
