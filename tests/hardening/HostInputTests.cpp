#include "ParameterIDs.h"
#include "PluginProcessor.h"

#include <gtest/gtest.h>

#include <cfloat>
#include <cmath>
#include <limits>

namespace
{
void fillSine (juce::AudioBuffer<float>& buffer, int start, float amplitude = 0.8f)
{
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            buffer.setSample (c, i, amplitude * std::sin (0.031f * (float) (start + i) * (float) (c + 1)));
}

::testing::AssertionResult allFinite (const juce::AudioBuffer<float>& buffer)
{
    for (int c = 0; c < buffer.getNumChannels(); ++c)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            if (! std::isfinite (buffer.getSample (c, i)))
                return ::testing::AssertionFailure()
                       << "sample " << i << " of channel " << c << " is " << buffer.getSample (c, i);
    return ::testing::AssertionSuccess();
}

::testing::AssertionResult metersFiniteAndInRange (const OstrelAudioProcessor& p)
{
    const float values[] = { p.inputLevel[0].load(), p.inputLevel[1].load(), p.outputLevel[0].load(),
                             p.outputLevel[1].load(), p.clipAmount.load() };

    for (float v : values)
        if (! (v >= 0.0f && v <= 1.0f))
            return ::testing::AssertionFailure() << "meter value " << v;

    return ::testing::AssertionSuccess();
}

float largestDifference (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
{
    float largest = 0.0f;
    for (int c = 0; c < a.getNumChannels(); ++c)
        for (int i = 0; i < a.getNumSamples(); ++i)
            largest = juce::jmax (largest, std::abs (a.getSample (c, i) - b.getSample (c, i)));
    return largest;
}

bool bitIdentical (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
{
    for (int c = 0; c < a.getNumChannels(); ++c)
        if (std::memcmp (a.getReadPointer (c), b.getReadPointer (c), sizeof (float) * (size_t) a.getNumSamples()) != 0)
            return false;
    return true;
}

constexpr int blockSize = 512;

// Two processors whose 18 Hz high-pass filters have different histories never agree bit for bit
// again: in single precision that filter's rounding error reaches about 1e-3 at low frequencies.
// Agreement within this is what "the filters have forgotten" can mean.
constexpr float recoveredTolerance = 2.0e-2f;
constexpr float nanValue = std::numeric_limits<float>::quiet_NaN();
constexpr float infValue = std::numeric_limits<float>::infinity();
} // namespace

//==============================================================================
TEST (HostInput, NonFiniteSamplesSoundLikeSilenceAndLeaveNoTrace)
{
    struct Case
    {
        const char* name;
        float bad;
        bool wholeBlock;
    };

    const Case cases[] = {
        { "NaN samples", nanValue, false },    { "+Inf samples", infValue, false },
        { "-Inf samples", -infValue, false },  { "a block of NaN", nanValue, true },
        { "a block of +Inf", infValue, true },
    };

    for (const auto& badCase : cases)
    {
        for (int factor = 0; factor < 4; ++factor)
        {
            SCOPED_TRACE (std::string (badCase.name) + ", oversampling index " + std::to_string (factor));

            // hit gets the bad samples, silenced gets zeros in their place, clean gets neither.
            OstrelAudioProcessor hit, silenced, clean;
            juce::MidiBuffer midi;

            for (auto* p : { &hit, &silenced, &clean })
            {
                p->setParamValue (ParamIDs::oversampling, (float) factor);
                p->setParamValue (ParamIDs::input, 12.0f);
                p->prepareToPlay (48000.0, blockSize);
            }

            juce::AudioBuffer<float> a (2, blockSize), b (2, blockSize), c (2, blockSize);

            for (int block = 0; block < 60; ++block)
            {
                for (auto* buffer : { &a, &b, &c })
                    fillSine (*buffer, block * blockSize);

                if (block == 3)
                {
                    for (int ch = 0; ch < 2; ++ch)
                        for (int i = 0; i < blockSize; ++i)
                            if (badCase.wholeBlock || i == 0 || i == blockSize - 1 || i % 37 == ch)
                            {
                                a.setSample (ch, i, badCase.bad);
                                b.setSample (ch, i, 0.0f);
                            }
                }

                hit.processBlock (a, midi);
                silenced.processBlock (b, midi);
                clean.processBlock (c, midi);

                ASSERT_TRUE (allFinite (a)) << "block " << block;
                ASSERT_TRUE (metersFiniteAndInRange (hit)) << "block " << block;
                ASSERT_TRUE (bitIdentical (a, b)) << "block " << block;
                EXPECT_EQ (hit.outputLevel[0].load(), silenced.outputLevel[0].load());
                EXPECT_EQ (hit.clipAmount.load(), silenced.clipAmount.load());

                // Half a second later the filters have forgotten the silence.
                if (block >= 50)
                {
                    EXPECT_LT (largestDifference (a, c), recoveredTolerance) << "block " << block;
                }
            }
        }
    }
}

TEST (HostInput, SamplesBeyondTheAudioRangeCannotPoisonTheChain)
{
    // Finite samples up to ±1e6 are audio and are processed; larger ones (a finite sample near the
    // float limit overflowed the filters and left NaN in them for good) count as silence. With mix
    // 0 the output is the dry input itself, so what came out shows which of the two happened.
    struct Case
    {
        float sample;
        bool processed;
    };

    const Case cases[] = { { FLT_MIN, true },  { 1.0e6f, true },   { -1.0e6f, true },  { 1.0e7f, false },
                           { 1.0e30f, false }, { FLT_MAX, false }, { -FLT_MAX, false } };

    for (const auto& hugeCase : cases)
    {
        SCOPED_TRACE (hugeCase.sample);
        OstrelAudioProcessor processor, reference;
        juce::MidiBuffer midi;

        for (auto* p : { &processor, &reference })
        {
            p->setParamValue (ParamIDs::oversampling, 0.0f);
            p->setParamValue (ParamIDs::mix, 0.0f);
            p->setParamValue (ParamIDs::input, 24.0f);
            p->prepareToPlay (48000.0, blockSize);
        }

        juce::AudioBuffer<float> buffer (2, blockSize);
        buffer.clear();
        buffer.setSample (0, 10, hugeCase.sample);
        processor.processBlock (buffer, midi);
        EXPECT_EQ (buffer.getSample (0, 10), hugeCase.processed ? hugeCase.sample : 0.0f);

        // The chain recovers: 0.6 s later it sounds like a processor that never saw the sample.
        for (int block = 0; block < 60; ++block)
        {
            juce::AudioBuffer<float> a (2, blockSize), b (2, blockSize);
            fillSine (a, block * blockSize);
            fillSine (b, block * blockSize);
            processor.processBlock (a, midi);
            reference.processBlock (b, midi);
            ASSERT_TRUE (allFinite (a)) << "block " << block;
            ASSERT_TRUE (metersFiniteAndInRange (processor));

            if (block >= 50)
            {
                EXPECT_LT (largestDifference (a, b), recoveredTolerance) << "block " << block;
            }
        }
    }
}

//==============================================================================
TEST (HostInput, ProcessingBeforePrepareToPlayPassesFiniteInputThrough)
{
    OstrelAudioProcessor processor;
    juce::MidiBuffer midi;

    for (int length : { 0, 1, 512, 10000 })
    {
        juce::AudioBuffer<float> buffer (2, length), expected (2, length);
        fillSine (buffer, 0);
        fillSine (expected, 0);

        if (length > 0)
        {
            buffer.setSample (1, length - 1, nanValue);
            expected.setSample (1, length - 1, 0.0f);
        }

        processor.processBlock (buffer, midi);
        EXPECT_TRUE (bitIdentical (buffer, expected)) << "block of " << length;
    }
}

TEST (HostInput, AHostAskingForNoInputChannelsKeepsAWorkingLayout)
{
    OstrelAudioProcessor processor;
    juce::MidiBuffer midi;

    // The layout without inputs is refused, so preparing and processing continue in stereo.
    juce::AudioProcessor::BusesLayout noInputs;
    noInputs.inputBuses.add (juce::AudioChannelSet::disabled());
    noInputs.outputBuses.add (juce::AudioChannelSet::stereo());
    EXPECT_FALSE (processor.setBusesLayout (noInputs));
    EXPECT_FALSE (processor.checkBusesLayoutSupported (noInputs));

    processor.prepareToPlay (48000.0, 256);
    EXPECT_EQ (processor.getTotalNumInputChannels(), 2);

    // A host that hands over fewer channels than the layout has, or none at all.
    for (int channels : { 0, 1, 2 })
    {
        juce::AudioBuffer<float> buffer (channels, 256);
        fillSine (buffer, 0, 2.0f);
        processor.processBlock (buffer, midi);
        EXPECT_TRUE (allFinite (buffer)) << channels << " channels";
        EXPECT_TRUE (metersFiniteAndInRange (processor));
    }
}

TEST (HostInput, EverySampleRateAndBlockSizeAValidatorTriesGivesFiniteOutput)
{
    OstrelAudioProcessor processor;
    juce::MidiBuffer midi;
    processor.setParamValue (ParamIDs::input, 24.0f);

    for (double rate : { 8000.0, 11025.0, 16000.0, 22050.0, 32000.0, 44100.0, 48000.0, 88200.0, 96000.0, 176400.0,
                         192000.0, 352800.0, 384000.0 })
    {
        for (int size : { 1, 2, 3, 16, 64, 100, 128, 441, 512, 1024, 2048, 4096, 8192 })
        {
            SCOPED_TRACE (std::to_string (rate) + " Hz, " + std::to_string (size) + " samples");
            processor.prepareToPlay (rate, size);

            for (int factor = 0; factor < 4; ++factor)
            {
                processor.setParamValue (ParamIDs::oversampling, (float) factor);

                for (int length : { size, 1, size })
                {
                    juce::AudioBuffer<float> buffer (2, length);
                    fillSine (buffer, 0, 1.5f);
                    processor.processBlock (buffer, midi);
                    ASSERT_TRUE (allFinite (buffer));
                    ASSERT_TRUE (metersFiniteAndInRange (processor));
                }

                EXPECT_GE (processor.getLatencySamples(), 0);
                EXPECT_EQ (processor.getLatencySamples() == 0, factor == 0);
            }
        }
    }
}
