#include "ParameterIDs.h"
#include "PluginProcessor.h"
#include "RealtimeProbe.h"

#include <gtest/gtest.h>

#include <cmath>
#include <set>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int preparedSize = 256;

/** A processor prepared for the given width, with its audio and MIDI buffers made beforehand so
    that only processBlock runs while the probe is armed.
*/
struct Rig
{
    explicit Rig (int channels)
    {
        const auto set = channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (set);
        layout.outputBuses.add (set);
        EXPECT_TRUE (processor.setBusesLayout (layout));
        processor.prepareToPlay (sampleRate, preparedSize);
        buffer.setSize (channels, 4 * preparedSize);
    }

    /** Processes numSamples samples of a loud sine (with one NaN, so the sanitising runs too)
        with the probe armed, and returns what it counted.
    */
    RealtimeProbe::Counts process (int numSamples)
    {
        buffer.setSize (buffer.getNumChannels(), numSamples, false, false, true);

        for (int c = 0; c < buffer.getNumChannels(); ++c)
            for (int i = 0; i < numSamples; ++i)
                buffer.setSample (c, i, 1.5f * std::sin (0.05f * (float) (phase + i) + (float) c));

        if (numSamples > 0)
            buffer.setSample (0, numSamples / 2, std::nanf (""));

        phase += numSamples;

        RealtimeProbe::arm (&processor.presetInfoLock);
        processor.processBlock (buffer, midi);
        return RealtimeProbe::disarm();
    }

    OstrelAudioProcessor processor;
    juce::AudioBuffer<float> buffer;
    juce::MidiBuffer midi;
    int phase = 0;
};

void expectNothingAsked (const RealtimeProbe::Counts& counts, const std::string& where)
{
    EXPECT_EQ (counts.allocations, 0) << where;
    EXPECT_EQ (counts.deallocations, 0) << where;
    EXPECT_EQ (counts.watchedLocks, 0) << where;
    EXPECT_EQ (counts.mutexLocks, 0) << where;
}

// Block lengths: single samples, odd lengths, exactly the prepared size, none at all, and longer
// than prepared (processed in pieces).
constexpr int blockLengths[] = { 1, 2, 17, preparedSize - 1, preparedSize, 0, preparedSize + 1, 3 * preparedSize + 5 };
} // namespace

TEST (Realtime, ProbeSeesAllocationsAndLocksOfTheArmedThread)
{
    OstrelAudioProcessor processor;

    RealtimeProbe::arm (&processor.presetInfoLock);
    auto* volatile object = new int (1);
    delete object;
    void* volatile block = std::malloc (64);
    std::free (block);
    const auto name = processor.getCurrentPresetName();
    const auto counts = RealtimeProbe::disarm();

    EXPECT_GE (counts.allocations, 2);
    EXPECT_GE (counts.deallocations, 2);
    EXPECT_GE (counts.watchedLocks, 1);
    EXPECT_GE (counts.mutexLocks, counts.watchedLocks);
    EXPECT_EQ (name, "Presets");

    // Nothing is counted once disarmed.
    delete new int (2);
    EXPECT_EQ (RealtimeProbe::disarm().allocations, counts.allocations);
}

TEST (Realtime, ProcessBlockNeitherAllocatesNorLocksInAnyModeFactorWidthOrBlockLength)
{
    for (int channels : { 1, 2 })
    {
        Rig rig (channels);

        for (int mode = 0; mode < 3; ++mode)
        {
            for (int factor = 0; factor < 4; ++factor)
            {
                rig.processor.setParamValue (ParamIDs::mode, (float) mode);
                rig.processor.setParamValue (ParamIDs::oversampling, (float) factor);

                for (int length : blockLengths)
                    expectNothingAsked (rig.process (length), "channels " + std::to_string (channels) + ", mode "
                                                                  + std::to_string (mode) + ", factor "
                                                                  + std::to_string (factor) + ", block of "
                                                                  + std::to_string (length));

                EXPECT_EQ (rig.processor.getLatencySamples() == 0, factor == 0);

                for (int c = 0; c < channels; ++c)
                    for (int i = 0; i < rig.buffer.getNumSamples(); ++i)
                        ASSERT_TRUE (std::isfinite (rig.buffer.getSample (c, i)));
            }
        }
    }
}

TEST (Realtime, SwitchingTheFactorWhileRunningNeitherAllocatesNorLocks)
{
    Rig rig (2);
    std::set<int> latenciesSeen;
    int step = 0;

    // Every transition between the four factors, each followed by blocks of several lengths; the
    // latency change (and the delay-ring restart) happens inside the first block after a switch.
    for (int from = 0; from < 4; ++from)
    {
        for (int to = 0; to < 4; ++to)
        {
            for (int factor : { from, to })
            {
                rig.processor.setParamValue (ParamIDs::oversampling, (float) factor);
                rig.processor.setParamValue (ParamIDs::shape, (float) (step++ * 7 % 100));

                for (int length : { 1, preparedSize, 2 * preparedSize + 3 })
                    expectNothingAsked (rig.process (length), "switch " + std::to_string (from) + " -> "
                                                                  + std::to_string (to) + ", block of "
                                                                  + std::to_string (length));

                latenciesSeen.insert (rig.processor.getLatencySamples());
            }
        }
    }

    // Off and the three oversamplers each reported their own latency.
    EXPECT_EQ (latenciesSeen.size(), 4u);
}
