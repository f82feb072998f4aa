#pragma once

#include <juce_core/juce_core.h>

#include <vector>

/** What the reference program writes and the host test reads: a few blocks of audio processed
    by the plug-in's class directly, the parameter changes made after preparing (by parameter
    index, normalised, as a host sets them), and latencies the class reported.

    Both sides have their own copy of the framework, so this header uses only juce_core.
*/
struct HostReference
{
    struct Setting
    {
        int index = 0;
        float normalised = 0.0f;
    };

    double sampleRate = 48000.0;
    int blockSize = 512;
    int numBlocks = 0;
    int numChannels = 2;
    int latency4x = 0; // the latency reported with "oversampling" at "4x"
    int latencyOfSettings = 0;
    std::vector<Setting> settings;
    std::vector<float> input, output; // channel after channel, numBlocks * blockSize samples each

    int numSamples() const { return numBlocks * blockSize; }

    static constexpr int formatTag = 0x4f535246; // "OSRF"

    bool write (const juce::File& file) const
    {
        file.deleteFile();
        juce::FileOutputStream out (file);

        if (! out.openedOk())
            return false;

        out.writeInt (formatTag);
        out.writeDouble (sampleRate);
        out.writeInt (blockSize);
        out.writeInt (numBlocks);
        out.writeInt (numChannels);
        out.writeInt (latency4x);
        out.writeInt (latencyOfSettings);
        out.writeInt ((int) settings.size());

        for (const auto& s : settings)
        {
            out.writeInt (s.index);
            out.writeFloat (s.normalised);
        }

        for (const auto* samples : { &input, &output })
            for (float v : *samples)
                out.writeFloat (v);

        out.flush();
        return out.getStatus().wasOk();
    }

    bool read (const juce::File& file)
    {
        juce::FileInputStream in (file);

        if (! in.openedOk() || in.readInt() != formatTag)
            return false;

        sampleRate = in.readDouble();
        blockSize = in.readInt();
        numBlocks = in.readInt();
        numChannels = in.readInt();
        latency4x = in.readInt();
        latencyOfSettings = in.readInt();
        const int numSettings = in.readInt();

        if (blockSize <= 0 || numBlocks <= 0 || numChannels <= 0 || numSettings < 0 || numSettings > 64)
            return false;

        settings.resize ((size_t) numSettings);

        for (auto& s : settings)
        {
            s.index = in.readInt();
            s.normalised = in.readFloat();
        }

        for (auto* samples : { &input, &output })
        {
            samples->resize ((size_t) (numChannels * numSamples()));

            for (auto& v : *samples)
                v = in.readFloat();
        }

        return in.getPosition() == in.getTotalLength();
    }
};
