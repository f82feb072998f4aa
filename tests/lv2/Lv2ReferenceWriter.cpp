// Reference for the LV2 host test, built on the plug-in's shared code (the code that every format
// wraps). Two commands:
//
//   parameters
//       Prints one line per parameter, in host order: ID, minimum, maximum and default in the
//       parameter's own units, then for a discrete parameter each label with its value, all
//       separated by tabs.
//
//   render INPUT OUTPUT BLOCK [ID=VALUE]...
//       Writes a fixed stereo test signal to INPUT and the processor's response to OUTPUT (both
//       interleaved 32-bit floats), processing BLOCK frames at a time at 48 kHz, and prints the
//       latency it reports. VALUE is in the parameter's own units or, for a discrete parameter,
//       one of its labels. The settings are applied after preparation and before the first
//       block, as an LV2 host's first events are.

#include "PluginProcessor.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int numFrames = 20000;

// Plain value of a discrete parameter's label, or NaN when it has no such label.
float valueOfLabel (const juce::RangedAudioParameter& p, const juce::String& label)
{
    const auto steps = p.getNumSteps();

    for (int i = 0; i < steps; ++i)
    {
        const auto normalised = (float) i / (float) (steps - 1);

        if (p.getText (normalised, 1024) == label)
            return p.convertFrom0to1 (normalised);
    }

    return std::nanf ("");
}

int printParameters()
{
    OstrelAudioProcessor processor;

    for (auto* param : processor.getParameters())
    {
        auto* p = dynamic_cast<juce::RangedAudioParameter*> (param);

        if (p == nullptr)
            return 1;

        const auto& range = p->getNormalisableRange();
        std::cout << p->getParameterID() << '\t' << range.start << '\t' << range.end << '\t'
                  << p->convertFrom0to1 (p->getDefaultValue());

        if (p->isDiscrete())
            for (int i = 0, steps = p->getNumSteps(); i < steps; ++i)
            {
                const auto normalised = (float) i / (float) (steps - 1);
                std::cout << '\t' << p->getText (normalised, 1024) << '\t' << p->convertFrom0to1 (normalised);
            }

        std::cout << '\n';
    }

    return 0;
}

// A fixed signal that drives every stage: low and high tones, a swell into clipping and noise.
std::vector<float> testSignal()
{
    std::vector<float> samples ((size_t) numFrames * 2);
    std::uint32_t noise = 12345;

    for (int i = 0; i < numFrames; ++i)
    {
        const auto t = (double) i / sampleRate;
        const auto swell = 0.2 + 1.3 * (double) i / numFrames;
        noise = noise * 1664525u + 1013904223u;
        const auto n = ((double) (noise >> 8) / 16777216.0 - 0.5) * 0.1;

        samples[(size_t) i * 2] =
            (float) (swell * (0.6 * std::sin (2.0 * M_PI * 90.0 * t) + 0.3 * std::sin (2.0 * M_PI * 3100.0 * t)) + n);
        samples[(size_t) i * 2 + 1] = (float) (swell * 0.8 * std::sin (2.0 * M_PI * 440.0 * t + 0.5) - n);
    }

    return samples;
}

bool writeFloats (const char* path, const std::vector<float>& samples)
{
    auto* file = std::fopen (path, "wb");

    if (file == nullptr)
        return false;

    const auto written = std::fwrite (samples.data(), sizeof (float), samples.size(), file);
    return std::fclose (file) == 0 && written == samples.size();
}

int render (const char* inputPath, const char* outputPath, int blockSize, const std::vector<juce::String>& settings)
{
    if (blockSize <= 0)
        return 2;

    OstrelAudioProcessor processor;
    processor.setRateAndBufferSizeDetails (sampleRate, blockSize);
    processor.prepareToPlay (sampleRate, blockSize);

    for (const auto& setting : settings)
    {
        const auto id = setting.upToFirstOccurrenceOf ("=", false, false);
        const auto text = setting.fromFirstOccurrenceOf ("=", false, false);
        auto* param = processor.apvts.getParameter (id);

        if (param == nullptr)
        {
            std::cerr << "unknown parameter " << id << '\n';
            return 2;
        }

        const auto value = param->isDiscrete() && ! text.containsOnly ("-.0123456789") ? valueOfLabel (*param, text)
                                                                                       : text.getFloatValue();
        if (std::isnan (value))
        {
            std::cerr << id << " has no label " << text << '\n';
            return 2;
        }

        processor.setParamValue (id, value);
    }

    const auto input = testSignal();
    std::vector<float> output (input.size());
    juce::AudioBuffer<float> buffer (2, blockSize);
    juce::MidiBuffer midi;

    for (int start = 0; start < numFrames; start += blockSize)
    {
        const auto n = std::min (blockSize, numFrames - start);
        buffer.setSize (2, n, false, false, true);

        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < n; ++i)
                buffer.setSample (ch, i, input[(size_t) (start + i) * 2 + (size_t) ch]);

        processor.processBlock (buffer, midi);

        for (int ch = 0; ch < 2; ++ch)
            for (int i = 0; i < n; ++i)
                output[(size_t) (start + i) * 2 + (size_t) ch] = buffer.getSample (ch, i);
    }

    if (! writeFloats (inputPath, input) || ! writeFloats (outputPath, output))
        return 1;

    std::cout << processor.getLatencySamples() << '\n';
    return 0;
}
} // namespace

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juce;
    const std::string command = argc > 1 ? argv[1] : "";

    if (command == "parameters" && argc == 2)
        return printParameters();

    if (command == "render" && argc >= 5)
    {
        std::vector<juce::String> settings;
        for (int i = 5; i < argc; ++i)
            settings.emplace_back (argv[i]);

        return render (argv[2], argv[3], std::atoi (argv[4]), settings);
    }

    std::cerr << "usage: " << argv[0] << " parameters | render INPUT OUTPUT BLOCK [ID=VALUE]...\n";
    return 2;
}
