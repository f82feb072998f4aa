// Guards the processing chain against changes of its output: processBlock must give, bit for bit,
// what a plain, unoptimised rendition of the chain gives, over a table of modes, oversampling
// factors, settings, parameter moves and block sizes. Any speed work on the chain has to keep
// this test passing.
#include "PluginProcessor.h"
#include "ReferenceCurve.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <map>
#include <string>
#include <vector>

namespace
{
using Settings = std::map<std::string, float>;

/** The chain written out step by step, with none of the processor's shortcuts. */
class ReferenceChain
{
public:
    ReferenceChain (int channels, double rate, int blockSize, const Settings& initial) :
        numChannels (channels), fs (rate), values (initial)
    {
        for (int k = 1; k <= 3; ++k)
        {
            oversamplers[k] = std::make_unique<juce::dsp::Oversampling<float>> (
                (size_t) channels, (size_t) k, juce::dsp::Oversampling<float>::filterHalfBandFIREquiripple, true, true);
            oversamplers[k]->reset();
            oversamplers[k]->initProcessing ((size_t) blockSize);
            oversamplers[k]->setUsingIntegerLatency (true);
        }

        int maxLatency = 0;
        for (int k = 1; k <= 3; ++k)
            maxLatency = std::max (maxLatency, (int) std::ceil (oversamplers[k]->getLatencyInSamples()));

        ringSize = std::max (blockSize + maxLatency, 504) + 8;
        dryRing.assign ((size_t) channels, std::vector<float> ((size_t) ringSize, 0.0f));
        lowRing = dryRing;

        using Coefficients = juce::dsp::IIR::Coefficients<float>;
        for (int c = 0; c < 2; ++c)
        {
            lowPass[c].coefficients = Coefficients::makeLowPass (fs, 150.0f);
            highPass[c].coefficients = Coefficients::makeHighPass (fs, 2200.0f);
            dcBlock[c].coefficients = Coefficients::makeHighPass (fs, 18.0f);
        }

        // Preparing reports the latency of the oversampling choice in force.
        const int osIndex = std::clamp ((int) std::lround (values["oversampling"]), 0, 3);
        latency = osIndex > 0 ? (int) std::lround (oversamplers[osIndex]->getLatencyInSamples()) : 0;

        const double ramps[] = { 0.02, 0.03, 0.03, 0.03, 0.03, 0.04, 0.04, 0.02, 0.02 };
        const auto targets = mappedValues();
        for (int k = 0; k < 9; ++k)
        {
            smoothers[k].reset (fs, ramps[k]);
            smoothers[k].setCurrentAndTargetValue (targets[(size_t) k]);
        }
    }

    void set (const std::string& id, float value) { values[id] = value; }

    void process (juce::AudioBuffer<float>& buffer)
    {
        const int n = buffer.getNumSamples();
        const auto targets = mappedValues();
        for (int k = 0; k < 9; ++k)
            smoothers[k].setTargetValue (targets[(size_t) k]);

        const int mode = std::clamp ((int) std::lround (values["mode"]), 0, 2);
        const int osIndex = std::clamp ((int) std::lround (values["oversampling"]), 0, 3);
        const int newLatency = osIndex > 0 ? (int) std::lround (oversamplers[osIndex]->getLatencyInSamples()) : 0;

        if (newLatency != latency)
        {
            latency = newLatency;
            for (auto* ring : { &dryRing, &lowRing })
                for (auto& channel : *ring)
                    std::fill (channel.begin(), channel.end(), 0.0f);
            writePosition = 0;
        }

        float inputPeak[2] {}, outputPeak[2] {}, clipSum = 0.0f;
        std::vector<std::array<float, 9>> perSample ((size_t) n);
        juce::AudioBuffer<float> clip (numChannels, n), dry (numChannels, n), lowBack (numChannels, n);

        for (int i = 0; i < n; ++i)
        {
            for (int k = 0; k < 9; ++k)
                perSample[(size_t) i][(size_t) k] = smoothers[k].getNextValue();

            const auto& v = perSample[(size_t) i];
            const float g = v[0], e = v[5], p = v[6];

            for (int c = 0; c < numChannels; ++c)
            {
                const float x = buffer.getSample (c, i);
                const float gained = x * g;
                inputPeak[c] = std::max (inputPeak[c], level (gained));
                const float y0 = dcBlock[c].processSample (gained);
                const float low = lowPass[c].processSample (y0);
                const float high = highPass[c].processSample (y0);
                const float lowPart = low * p;
                const float pre = y0 + 1.5f * e * high - 0.28f * lowPart;

                if (osIndex == 0)
                {
                    clip.setSample (c, i, curve (mode, pre, v[1]));
                    lowBack.setSample (c, i, 0.2f * lowPart);
                    dry.setSample (c, i, x);
                }
                else
                {
                    dryRing[(size_t) c][(size_t) writePosition] = x;
                    lowRing[(size_t) c][(size_t) writePosition] = 0.2f * lowPart;
                    int readPosition = writePosition - latency;
                    while (readPosition < 0)
                        readPosition += ringSize;
                    clip.setSample (c, i, pre);
                    dry.setSample (c, i, dryRing[(size_t) c][(size_t) readPosition]);
                    lowBack.setSample (c, i, lowRing[(size_t) c][(size_t) readPosition]);
                }
            }

            if (osIndex > 0 && ++writePosition >= ringSize)
                writePosition = 0;
        }

        if (osIndex > 0)
        {
            juce::dsp::AudioBlock<float> block (clip);
            auto up = oversamplers[osIndex]->processSamplesUp (block);

            for (size_t c = 0; c < up.getNumChannels(); ++c)
                for (size_t j = 0; j < up.getNumSamples(); ++j)
                {
                    const int base = std::clamp ((int) (j >> osIndex), 0, n - 1);
                    up.setSample ((int) c, (int) j,
                                  curve (mode, up.getSample ((int) c, (int) j), perSample[(size_t) base][1]));
                }

            oversamplers[osIndex]->processSamplesDown (block);
        }

        for (int i = 0; i < n; ++i)
        {
            const auto& v = perSample[(size_t) i];
            const float o = v[2], m = v[3], w = v[4], ceil = v[7], pw = v[8];

            for (int c = 0; c < numChannels; ++c)
            {
                const float d = dry.getSample (c, i);
                const float wet = (clip.getSample (c, i) + lowBack.getSample (c, i)) * o;
                const float limited = std::clamp (wet, -ceil, ceil);
                clipSum += std::abs (wet - limited);
                const float mixed = limited * w + d * (1.0f - w);
                const float out = mixed * m * pw + d * (1.0f - pw);
                outputPeak[c] = std::max (outputPeak[c], level (out));
                buffer.setSample (c, i, out);
            }
        }

        inputLevel[0] = std::max (inputLevel[0] * 0.87f, inputPeak[0]);
        outputLevel[0] = std::max (outputLevel[0] * 0.87f, outputPeak[0]);
        inputLevel[1] = std::max (inputLevel[1] * 0.87f, inputPeak[1]);
        outputLevel[1] = std::max (outputLevel[1] * 0.87f, outputPeak[1]);
        const float clipValue =
            std::clamp (6.0f * clipSum / (float) std::max (1, n * std::max (1, numChannels)), 0.0f, 1.0f);
        clipAmount = std::max (clipAmount * 0.86f, clipValue);
    }

    float inputLevel[2] {}, outputLevel[2] {}, clipAmount = 0.0f;

private:
    static float level (float v)
    {
        const float magnitude = std::abs (v);
        if (magnitude <= 0.000001f)
            return 0.0f;
        const float db = std::max (-72.0f, 20.0f * std::log10 (magnitude));
        return std::clamp ((db + 60.0f) / 60.0f, 0.0f, 1.0f);
    }

    static float curve (int mode, float v, float s) { return referenceCurve (mode, v, s); }

    /** The smoother targets, in the order input, shape, output, master, mix, edge, low protect,
        ceiling, power.
    */
    std::array<float, 9> mappedValues()
    {
        const auto gain = [this] (const char* id) { return juce::Decibels::decibelsToGain (values[id]); };
        return { gain ("input"),
                 1.0f + 0.07f * values["shape"],
                 gain ("output"),
                 gain ("master"),
                 values["mix"] * 0.01f,
                 values["edge"] * 0.01f,
                 values["lowProtect"] * 0.01f,
                 gain ("ceiling"),
                 values["power"] >= 0.5f ? 1.0f : 0.0f };
    }

    int numChannels;
    double fs;
    Settings values;
    std::unique_ptr<juce::dsp::Oversampling<float>> oversamplers[4];
    juce::dsp::IIR::Filter<float> lowPass[2], highPass[2], dcBlock[2];
    juce::SmoothedValue<float> smoothers[9];
    std::vector<std::vector<float>> dryRing, lowRing;
    int ringSize = 0, writePosition = 0, latency = 0;
};

Settings defaults()
{
    return { { "power", 1.0f },    { "mode", 2.0f },        { "input", 0.0f },       { "shape", 40.0f },
             { "ceiling", -1.0f }, { "output", 0.0f },      { "master", 0.0f },      { "mix", 100.0f },
             { "edge", 0.0f },     { "lowProtect", 50.0f }, { "oversampling", 2.0f } };
}
} // namespace

TEST (RenderChainReference, ProcessBlockOutputAndMetersEqualThePlainChain)
{
    struct Case
    {
        const char* name;
        int channels;
        int blockSize;
        Settings start;
        Settings later; // applied from the second third of the blocks on
    };

    const double rate = 48000.0;
    const Case cases[] = {
        { "soft 1x", 2, 512, { { "mode", 0.0f }, { "oversampling", 0.0f } }, { { "shape", 90.0f } } },
        { "hard 1x mono",
          1,
          64,
          { { "mode", 1.0f }, { "oversampling", 0.0f }, { "input", 9.0f } },
          { { "mix", 40.0f }, { "power", 0.0f } } },
        { "punch 1x", 2, 100, { { "oversampling", 0.0f }, { "edge", 60.0f } }, { { "ceiling", -6.0f } } },
        { "soft 2x",
          2,
          2048,
          { { "mode", 0.0f }, { "oversampling", 1.0f }, { "lowProtect", 100.0f } },
          { { "input", 12.0f }, { "master", -3.0f } } },
        { "hard 4x",
          2,
          512,
          { { "mode", 1.0f }, { "shape", 100.0f }, { "edge", -80.0f } },
          { { "oversampling", 3.0f }, { "output", 4.0f } } },
        { "punch 4x", 2, 64, { { "input", 6.0f } }, { { "shape", 5.0f }, { "mix", 70.0f }, { "edge", 30.0f } } },
        { "punch 8x mono",
          1,
          333,
          { { "oversampling", 3.0f }, { "input", 10.0f } },
          { { "oversampling", 0.0f }, { "power", 0.0f } } },
        { "soft 8x to 2x",
          2,
          256,
          { { "mode", 0.0f }, { "oversampling", 3.0f }, { "shape", 70.0f } },
          { { "oversampling", 1.0f }, { "lowProtect", 0.0f }, { "ceiling", -12.0f } } },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);

        auto start = defaults();
        for (const auto& [id, value] : c.start)
            start[id] = value;

        OstrelAudioProcessor processor;
        const auto set = c.channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (set);
        layout.outputBuses.add (set);
        ASSERT_TRUE (processor.setBusesLayout (layout));

        for (const auto& [id, value] : start)
            processor.setParamValue (id, value);

        processor.setRateAndBufferSizeDetails (rate, c.blockSize);
        processor.prepareToPlay (rate, c.blockSize);
        ReferenceChain reference (c.channels, rate, c.blockSize, start);

        juce::Random random (11);
        juce::MidiBuffer midi;
        const int blocks = 24000 / c.blockSize + 3;
        std::int64_t mismatches = 0, meterMismatches = 0;
        juce::String firstMismatch;

        for (int b = 0; b < blocks; ++b)
        {
            if (b == blocks / 3)
                for (const auto& [id, value] : c.later)
                {
                    processor.setParamValue (id, value);
                    reference.set (id, value);
                }

            juce::AudioBuffer<float> actual (c.channels, c.blockSize);
            for (int ch = 0; ch < c.channels; ++ch)
                for (int i = 0; i < c.blockSize; ++i)
                {
                    const double t = (double) (b * c.blockSize + i) / rate;
                    actual.setSample (ch, i,
                                      (float) (0.6 * std::sin (2.0 * juce::MathConstants<double>::pi * 55.0 * t)
                                               + 0.35 * std::sin (2.0 * juce::MathConstants<double>::pi * 3100.0 * t))
                                          + 0.3f * (random.nextFloat() * 2.0f - 1.0f));
                }

            juce::AudioBuffer<float> expected (actual);
            processor.processBlock (actual, midi);
            reference.process (expected);

            for (int ch = 0; ch < c.channels; ++ch)
                for (int i = 0; i < c.blockSize; ++i)
                    if (actual.getSample (ch, i) != expected.getSample (ch, i))
                    {
                        if (mismatches++ == 0)
                            firstMismatch << "block " << b << ", channel " << ch << ", sample " << i << ": "
                                          << actual.getSample (ch, i) << " instead of " << expected.getSample (ch, i);
                    }

            meterMismatches += processor.inputLevel[0].load() != reference.inputLevel[0]
                               || processor.inputLevel[1].load() != reference.inputLevel[1]
                               || processor.outputLevel[0].load() != reference.outputLevel[0]
                               || processor.outputLevel[1].load() != reference.outputLevel[1]
                               || processor.clipAmount.load() != reference.clipAmount;
        }

        EXPECT_EQ (mismatches, 0) << firstMismatch;
        EXPECT_EQ (meterMismatches, 0);
    }
}
