#include "ParameterIDs.h"
#include "PluginProcessor.h"
#include "ReferenceCurve.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace
{
constexpr double sampleRate = 48000.0;

/** A full set of parameter values in their own units, starting from the defaults. */
struct Settings
{
    std::map<std::string, float> values { { "power", 1.0f },       { "mode", 2.0f },        { "input", 0.0f },
                                          { "shape", 40.0f },      { "ceiling", -1.0f },    { "output", 0.0f },
                                          { "master", 0.0f },      { "mix", 100.0f },       { "edge", 0.0f },
                                          { "lowProtect", 50.0f }, { "oversampling", 2.0f } };

    Settings with (const char* id, float value) const
    {
        auto copy = *this;
        copy.values.at (id) = value;
        return copy;
    }

    float operator[] (const char* id) const { return values.at (id); }

    void applyTo (OstrelAudioProcessor& processor) const
    {
        for (const auto& [id, value] : values)
            processor.setParamValue (id, value);
    }
};

/** A processor with the given settings, prepared afterwards (so no ramp is running). */
std::unique_ptr<OstrelAudioProcessor>
makePrepared (const Settings& settings, int samplesPerBlock = 512,
              const juce::AudioChannelSet& layout = juce::AudioChannelSet::stereo())
{
    auto processor = std::make_unique<OstrelAudioProcessor>();
    juce::AudioProcessor::BusesLayout buses;
    buses.inputBuses.add (layout);
    buses.outputBuses.add (layout);
    EXPECT_TRUE (processor->setBusesLayout (buses));
    settings.applyTo (*processor);
    processor->prepareToPlay (sampleRate, samplesPerBlock);
    return processor;
}

/** Noise plus a sine, different on each channel, reproducible. */
juce::AudioBuffer<float> makeSignal (int numChannels, int numSamples, float noiseLevel, float sineLevel,
                                     float sineHz = 220.0f)
{
    juce::AudioBuffer<float> buffer (numChannels, numSamples);
    juce::Random random (1234);

    for (int c = 0; c < numChannels; ++c)
        for (int i = 0; i < numSamples; ++i)
            buffer.setSample (
                c, i,
                sineLevel
                        * std::sin (juce::MathConstants<float>::twoPi * sineHz * (float) i / (float) sampleRate
                                    + (float) c)
                    + noiseLevel * (2.0f * random.nextFloat() - 1.0f));

    return buffer;
}

/** Runs the buffer through the processor in place, as consecutive host blocks of blockSize. */
void processInBlocks (OstrelAudioProcessor& processor, juce::AudioBuffer<float>& buffer, int blockSize)
{
    juce::MidiBuffer midi;

    for (int start = 0; start < buffer.getNumSamples(); start += blockSize)
    {
        const int n = std::min (blockSize, buffer.getNumSamples() - start);
        juce::AudioBuffer<float> block (buffer.getArrayOfWritePointers(), buffer.getNumChannels(), start, n);
        processor.processBlock (block, midi);
    }
}

void processEmptyBlock (OstrelAudioProcessor& processor)
{
    juce::AudioBuffer<float> empty (2, 0);
    juce::MidiBuffer midi;
    processor.processBlock (empty, midi);
}

/** The latency of a freshly built oversampler as the processor configures it. */
int oversamplerLatency (int osIndex)
{
    juce::dsp::Oversampling<float> os (2, (size_t) osIndex, juce::dsp::Oversampling<float>::filterHalfBandFIREquiripple,
                                       true, true);
    os.initProcessing (512);
    os.setUsingIntegerLatency (true);
    return (int) std::lround (os.getLatencyInSamples());
}

float gainFromDb (float db) { return juce::Decibels::decibelsToGain (db); }

//==============================================================================
/** The chain written out directly from its formulas over a whole signal at once: no blocks, no
    cached curves, no delay rings. The processor, whatever its block sizes, must produce the
    same samples. `start` holds when preparing, `target` is set right after.
*/
struct ReferenceChain
{
    static float curve (int mode, float v, float s) { return referenceCurve (mode, v, s); }

    using Coefficients = juce::dsp::IIR::Coefficients<float>;

    static Coefficients::Ptr lowPass (float hz)
    {
        const float fs = (float) sampleRate;
        const float n = 1.0f / std::tan (juce::MathConstants<float>::pi * hz / fs);
        const float c = 1.0f / (1.0f + juce::MathConstants<float>::sqrt2 * n + n * n);
        return new Coefficients (c, 2.0f * c, c, 1.0f, 2.0f * c * (1.0f - n * n),
                                 c * (1.0f - juce::MathConstants<float>::sqrt2 * n + n * n));
    }

    static Coefficients::Ptr highPass (float hz)
    {
        const float fs = (float) sampleRate;
        const float n = std::tan (juce::MathConstants<float>::pi * hz / fs);
        const float c = 1.0f / (1.0f + juce::MathConstants<float>::sqrt2 * n + n * n);
        return new Coefficients (c, -2.0f * c, c, 1.0f, 2.0f * c * (n * n - 1.0f),
                                 c * (1.0f - juce::MathConstants<float>::sqrt2 * n + n * n));
    }

    static std::vector<float> ramp (float from, float to, double seconds, int numSamples)
    {
        juce::SmoothedValue<float> smoother;
        smoother.reset (sampleRate, seconds);
        smoother.setCurrentAndTargetValue (from);
        smoother.setTargetValue (to);

        std::vector<float> values ((size_t) numSamples);
        for (auto& v : values)
            v = smoother.getNextValue();
        return values;
    }

    static juce::AudioBuffer<float> render (const juce::AudioBuffer<float>& input, const Settings& start,
                                            const Settings& target)
    {
        const int numChannels = input.getNumChannels();
        const int n = input.getNumSamples();
        const auto dbRamp = [&] (const char* id, double seconds)
        { return ramp (gainFromDb (start[id]), gainFromDb (target[id]), seconds, n); };
        const auto ramped = [&] (const char* id, float scale, float offset, double seconds)
        { return ramp (offset + scale * start[id], offset + scale * target[id], seconds, n); };
        const auto powerOf = [] (float v) { return v >= 0.5f ? 1.0f : 0.0f; };

        const auto g = dbRamp ("input", 0.02);
        const auto s = ramped ("shape", 0.07f, 1.0f, 0.03);
        const auto o = dbRamp ("output", 0.03);
        const auto m = dbRamp ("master", 0.03);
        const auto w = ramped ("mix", 0.01f, 0.0f, 0.03);
        const auto e = ramped ("edge", 0.01f, 0.0f, 0.04);
        const auto p = ramped ("lowProtect", 0.01f, 0.0f, 0.04);
        const auto ceil = dbRamp ("ceiling", 0.02);
        const auto pw = ramp (powerOf (start["power"]), powerOf (target["power"]), 0.02, n);

        const int mode = juce::jlimit (0, 2, (int) std::lround (target["mode"]));
        const int osIndex = juce::jlimit (0, 3, (int) std::lround (target["oversampling"]));

        juce::AudioBuffer<float> pre (numChannels, n), lowBack (numChannels, n);

        for (int c = 0; c < numChannels; ++c)
        {
            juce::dsp::IIR::Filter<float> dc (highPass (18.0f)), low (lowPass (150.0f)), high (highPass (2200.0f));

            for (int i = 0; i < n; ++i)
            {
                const float y0 = dc.processSample (input.getSample (c, i) * g[(size_t) i]);
                const float lowPart = low.processSample (y0) * p[(size_t) i];
                pre.setSample (c, i, y0 + 1.5f * e[(size_t) i] * high.processSample (y0) - 0.28f * lowPart);
                lowBack.setSample (c, i, 0.2f * lowPart);
            }
        }

        int latency = 0;

        if (osIndex == 0)
        {
            for (int c = 0; c < numChannels; ++c)
                for (int i = 0; i < n; ++i)
                    pre.setSample (c, i, curve (mode, pre.getSample (c, i), s[(size_t) i]));
        }
        else
        {
            juce::dsp::Oversampling<float> os ((size_t) numChannels, (size_t) osIndex,
                                               juce::dsp::Oversampling<float>::filterHalfBandFIREquiripple, true, true);
            os.initProcessing ((size_t) n);
            os.setUsingIntegerLatency (true);
            os.reset();
            latency = (int) std::lround (os.getLatencyInSamples());

            juce::dsp::AudioBlock<float> block (pre);
            auto up = os.processSamplesUp (block);

            for (size_t c = 0; c < up.getNumChannels(); ++c)
                for (size_t j = 0; j < up.getNumSamples(); ++j)
                    up.setSample ((int) c, (int) j,
                                  curve (mode, up.getSample ((int) c, (int) j),
                                         s[std::min ((size_t) n - 1, j >> (size_t) osIndex)]));

            os.processSamplesDown (block);
        }

        juce::AudioBuffer<float> out (numChannels, n);

        for (int c = 0; c < numChannels; ++c)
        {
            for (int i = 0; i < n; ++i)
            {
                const auto k = (size_t) i;
                const bool delayed = i >= latency;
                const float dry = delayed ? input.getSample (c, i - latency) : 0.0f;
                const float back =
                    osIndex == 0 ? lowBack.getSample (c, i) : (delayed ? lowBack.getSample (c, i - latency) : 0.0f);
                const float wet = (pre.getSample (c, i) + back) * o[k];
                const float limited = std::clamp (wet, -ceil[k], ceil[k]);
                const float mixed = limited * w[k] + dry * (1.0f - w[k]);
                out.setSample (c, i, mixed * m[k] * pw[k] + dry * (1.0f - pw[k]));
            }
        }

        return out;
    }
};

float maxAbsDifference (const juce::AudioBuffer<float>& a, const juce::AudioBuffer<float>& b)
{
    float worst = 0.0f;

    for (int c = 0; c < a.getNumChannels(); ++c)
        for (int i = 0; i < a.getNumSamples(); ++i)
            worst = std::max (worst, std::abs (a.getSample (c, i) - b.getSample (c, i)));

    return worst;
}
} // namespace

//==============================================================================
TEST (ProcessorIdentity, FreshInstanceReportsItsIdentityAndParameters)
{
    OstrelAudioProcessor processor;

    EXPECT_EQ (processor.getName(), "Ostrel");
    EXPECT_FALSE (processor.acceptsMidi());
    EXPECT_FALSE (processor.producesMidi());
    EXPECT_FALSE (processor.isMidiEffect());
    EXPECT_DOUBLE_EQ (processor.getTailLengthSeconds(), 0.05);
    EXPECT_TRUE (processor.hasEditor());
    EXPECT_EQ (processor.getNumPrograms(), 1);
    EXPECT_EQ (processor.getCurrentProgram(), 0);
    EXPECT_EQ (processor.getProgramName (0), "Default");

    ASSERT_EQ (processor.getBusCount (true), 1);
    ASSERT_EQ (processor.getBusCount (false), 1);
    EXPECT_EQ (processor.getBus (true, 0)->getName(), "Input");
    EXPECT_EQ (processor.getBus (false, 0)->getName(), "Output");
    EXPECT_EQ (processor.getBus (true, 0)->getCurrentLayout(), juce::AudioChannelSet::stereo());
    EXPECT_EQ (processor.getBus (false, 0)->getCurrentLayout(), juce::AudioChannelSet::stereo());

    struct Expected
    {
        const char* id;
        const char* name;
        float min, max, defaultValue;
        bool isChoice, isBool;
    };

    const Expected expected[] = {
        { "power", "Power", 0, 1, 1, false, true },
        { "mode", "Mode", 0, 2, 2, true, false },
        { "input", "Input", -24, 24, 0, false, false },
        { "shape", "Shape", 0, 100, 40, false, false },
        { "ceiling", "Ceiling", -12, 0, -1, false, false },
        { "output", "Output", -24, 24, 0, false, false },
        { "master", "Master", -24, 24, 0, false, false },
        { "mix", "Mix", 0, 100, 100, false, false },
        { "edge", "Edge", -100, 100, 0, false, false },
        { "lowProtect", "Low Protect", 0, 100, 50, false, false },
        { "oversampling", "Oversampling", 0, 3, 2, true, false },
    };

    const auto& params = processor.getParameters();
    ASSERT_EQ (params.size(), (int) std::size (expected));

    for (int i = 0; i < params.size(); ++i)
    {
        const auto& e = expected[i];
        auto* param = dynamic_cast<juce::RangedAudioParameter*> (params[i]);
        ASSERT_NE (param, nullptr);
        SCOPED_TRACE (e.id);

        EXPECT_EQ (param->getParameterID(), e.id);
        EXPECT_EQ (juce::String (ParamIDs::all[(size_t) i]), e.id);
        EXPECT_EQ (param->getName (100), e.name);
        EXPECT_EQ (param->getVersionHint(), 1);
        EXPECT_TRUE (param->isAutomatable());
        EXPECT_EQ (param->getLabel(), "");
        EXPECT_EQ (dynamic_cast<juce::AudioParameterChoice*> (param) != nullptr, e.isChoice);
        EXPECT_EQ (dynamic_cast<juce::AudioParameterBool*> (param) != nullptr, e.isBool);

        const auto& range = param->getNormalisableRange();
        EXPECT_FLOAT_EQ (range.start, e.min);
        EXPECT_FLOAT_EQ (range.end, e.max);

        if (! e.isChoice && ! e.isBool)
        {
            EXPECT_FLOAT_EQ (range.interval, 0.01f);
            EXPECT_FLOAT_EQ (range.skew, 1.0f);
        }

        EXPECT_FLOAT_EQ (processor.apvts.getRawParameterValue (e.id)->load(), e.defaultValue);
        EXPECT_FLOAT_EQ (range.convertFrom0to1 (param->getDefaultValue()), e.defaultValue);
    }
}

TEST (ProcessorIdentity, AcceptsOnlyMatchingMonoOrStereoLayouts)
{
    using Set = juce::AudioChannelSet;

    struct Case
    {
        Set in, out;
        bool supported;
    };

    const Case cases[] = {
        { Set::mono(), Set::mono(), true },
        { Set::stereo(), Set::stereo(), true },
        { Set::mono(), Set::stereo(), false },
        { Set::stereo(), Set::mono(), false },
        { Set::disabled(), Set::stereo(), false },
        { Set::disabled(), Set::mono(), false },
        { Set::stereo(), Set::disabled(), false },
        { Set::quadraphonic(), Set::quadraphonic(), false },
        { Set::create5point1(), Set::create5point1(), false },
        { Set::discreteChannels (2), Set::discreteChannels (2), false },
    };

    OstrelAudioProcessor processor;

    for (const auto& c : cases)
    {
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (c.in);
        layout.outputBuses.add (c.out);
        EXPECT_EQ (processor.checkBusesLayoutSupported (layout), c.supported)
            << c.in.getDescription() << " -> " << c.out.getDescription();
    }
}

TEST (ProcessorParameters, SetParamValueAppliesOwnUnitsAndNotifiesTheHost)
{
    struct Recorder : juce::AudioProcessorListener
    {
        void audioProcessorParameterChanged (juce::AudioProcessor*, int index, float value) override
        {
            changes.push_back ({ index, value });
        }
        void audioProcessorChanged (juce::AudioProcessor*, const ChangeDetails&) override {}

        std::vector<std::pair<int, float>> changes;
    };

    OstrelAudioProcessor processor;
    Recorder host;
    processor.addListener (&host);

    processor.setParamValue ("ceiling", -3.0f);

    EXPECT_FLOAT_EQ (processor.apvts.getRawParameterValue ("ceiling")->load(), -3.0f);
    EXPECT_FLOAT_EQ (processor.apvts.getParameter ("ceiling")->getValue(), 0.75f);
    ASSERT_EQ (host.changes.size(), 1u);
    EXPECT_EQ (host.changes[0].first, 4);
    EXPECT_FLOAT_EQ (host.changes[0].second, 0.75f);

    std::vector<float> before;
    for (auto* param : processor.getParameters())
        before.push_back (param->getValue());

    processor.setParamValue ("nonexistent", 1.0f);
    processor.setParamValue ("", 1.0f);

    EXPECT_EQ (host.changes.size(), 1u);
    for (int i = 0; i < processor.getParameters().size(); ++i)
        EXPECT_EQ (processor.getParameters()[i]->getValue(), before[(size_t) i]);

    processor.removeListener (&host);
}

TEST (ProcessorParameters, StoredChoiceValuesAreRoundedAndClamped)
{
    // A stored choice value acts exactly like the index it rounds to (halves away from zero),
    // clamped to the list. Observed through the audio and the reported latency.
    struct Case
    {
        const char* id;
        float stored;
        float index;
    };

    const Case cases[] = {
        { "mode", 1.6f, 2.0f },          { "mode", 0.5f, 1.0f },         { "mode", 0.4f, 0.0f },
        { "mode", -1.0f, 0.0f },         { "mode", 5.0f, 2.0f },         { "oversampling", 1.6f, 2.0f },
        { "oversampling", -0.7f, 0.0f }, { "oversampling", 2.5f, 3.0f }, { "oversampling", 9.0f, 3.0f },
    };

    const auto input = makeSignal (2, 2048, 0.3f, 0.5f);

    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.id) + " stored as " + juce::String (c.stored));

        auto stored = makePrepared (Settings {}.with ("mode", 1.0f).with ("oversampling", 1.0f));
        stored->apvts.getRawParameterValue (c.id)->store (c.stored);
        auto exact = makePrepared (Settings {}.with ("mode", 1.0f).with ("oversampling", 1.0f).with (c.id, c.index));

        auto a = input, b = input;
        processInBlocks (*stored, a, 512);
        processInBlocks (*exact, b, 512);

        EXPECT_EQ (stored->getLatencySamples(), exact->getLatencySamples());
        EXPECT_EQ (maxAbsDifference (a, b), 0.0f);
    }
}

//==============================================================================
TEST (ProcessorPreparation, PreparesRingsAndReportsTheLatencyOfTheOversamplingChoice)
{
    int maxLatency = 0;
    for (int k = 1; k <= 3; ++k)
        maxLatency = std::max (maxLatency, oversamplerLatency (k));

    struct Case
    {
        int samplesPerBlock;
        int oversampling;
        int ringSize;
        int latency;
    };

    const Case cases[] = {
        { 512, 2, std::max (512 + maxLatency, 504) + 8, oversamplerLatency (2) },
        { 0, 0, std::max (maxLatency, 504) + 8, 0 }, // 512 unless an oversampler is slower than 504 samples
        { 2048, 1, 2048 + maxLatency + 8, oversamplerLatency (1) },
        { 256, 3, std::max (256 + maxLatency, 504) + 8, oversamplerLatency (3) },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE ("block " + std::to_string (c.samplesPerBlock) + ", oversampling "
                      + std::to_string (c.oversampling));
        auto processor = makePrepared (Settings {}.with ("oversampling", (float) c.oversampling), c.samplesPerBlock);
        EXPECT_EQ (processor->getDelayRingSize(), c.ringSize);
        EXPECT_EQ (processor->getLatencySamples(), c.latency);
        EXPECT_EQ (processor->getCurrentLatency(), c.latency);
    }
}

TEST (ProcessorPreparation, ReactivationDoesNotDropTheReportedLatency)
{
    // A host answers a latency change by re-activating the plug-in. Preparing again must report
    // the latency the current choice needs, so that the next block reports no further change,
    // and the dry path must restart from silence delayed by exactly that latency.
    struct LatencyRecorder : juce::AudioProcessorListener
    {
        void audioProcessorParameterChanged (juce::AudioProcessor*, int, float) override {}
        void audioProcessorChanged (juce::AudioProcessor* p, const ChangeDetails& details) override
        {
            if (details.latencyChanged)
                reported.push_back (p->getLatencySamples());
        }

        std::vector<int> reported;
    };

    const auto input = makeSignal (2, 512, 0.5f, 0.5f);

    for (const float oversampling : { 0.0f, 1.0f, 2.0f, 3.0f })
    {
        SCOPED_TRACE (oversampling);
        const int latency = oversampling == 0.0f ? 0 : oversamplerLatency ((int) oversampling);

        auto processor = makePrepared (Settings {}.with ("oversampling", oversampling).with ("mix", 0.0f));
        auto first = input;
        processInBlocks (*processor, first, 512);
        ASSERT_EQ (processor->getLatencySamples(), latency);

        LatencyRecorder host;
        processor->addListener (&host);

        for (int activation = 0; activation < 3; ++activation)
        {
            processor->releaseResources();
            processor->prepareToPlay (sampleRate, 256);
            EXPECT_EQ (processor->getLatencySamples(), latency);

            auto output = input;
            processInBlocks (*processor, output, 256);
            EXPECT_EQ (processor->getLatencySamples(), latency);

            for (int i = 0; i < input.getNumSamples(); ++i)
            {
                const float dry = i >= latency ? input.getSample (0, i - latency) : 0.0f;
                ASSERT_EQ (output.getSample (0, i), dry) << i;
            }
        }

        EXPECT_TRUE (host.reported.empty()) << "the host was told " << host.reported.front();
        processor->removeListener (&host);
    }
}

TEST (ProcessorPreparation, PreparingAfterAChoiceChangedWhileInactiveReportsTheNewLatency)
{
    auto processor = makePrepared ({});
    auto audio = makeSignal (2, 512, 0.1f, 0.1f);
    processInBlocks (*processor, audio, 512);
    ASSERT_EQ (processor->getLatencySamples(), oversamplerLatency (2));

    for (const float oversampling : { 0.0f, 3.0f })
    {
        processor->setParamValue ("oversampling", oversampling);
        processor->prepareToPlay (sampleRate, 256);
        EXPECT_EQ (processor->getLatencySamples(), oversampling == 0.0f ? 0 : oversamplerLatency (3));
    }
}

TEST (ProcessorPreparation, EachSmootherReachesItsTargetAfterItsRampLength)
{
    // One processor is prepared and then has a parameter changed, so that parameter ramps; the
    // other is prepared with the new value already. From the ramp's last step on, the two must
    // agree exactly, and one sample earlier they must not. Everything but the input gain acts
    // after the filters, so the output shows it; the input gain is seen at the input meter.
    struct Case
    {
        const char* id;
        float value;
        int rampSamples;
        Settings setup;
        bool watchInputMeter; // fed a constant, so the meter follows the gain sample by sample
    };

    const Settings base = Settings {}.with ("oversampling", 0.0f);
    // Soft mode well below the ceiling, so that the clipper's input shows in the output.
    const Settings soft = base.with ("mode", 0.0f).with ("output", -6.0f);

    const Case cases[] = {
        { "input", 6.0f, 960, base, true },
        { "shape", 80.0f, 1440, soft, false },
        { "output", -6.0f, 1440, base.with ("ceiling", 0.0f), false },
        { "master", -6.0f, 1440, base, false },
        { "mix", 50.0f, 1440, base, false },
        { "edge", 50.0f, 1920, soft, false },
        { "lowProtect", 0.0f, 1920, base, false },
        { "ceiling", -12.0f, 960, base.with ("input", 12.0f), false },
        { "power", 0.0f, 960, base.with ("mix", 0.0f).with ("master", -6.0f), false },
    };

    // A Nyquist-rate square wave keeps every band and the clipper busy on every sample.
    juce::AudioBuffer<float> input (2, 2500);
    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < input.getNumSamples(); ++i)
            input.setSample (c, i,
                             ((i & 1) != 0 ? 0.3f : -0.3f)
                                 + 0.2f * std::sin (juce::MathConstants<float>::twoPi * 100.0f * (float) i / 48000.0f));

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.id);

        auto ramping = makePrepared (c.setup);
        ramping->setParamValue (c.id, c.value);
        auto settled = makePrepared (c.setup.with (c.id, c.value));

        const auto observe = [&] (OstrelAudioProcessor& processor)
        {
            std::vector<float> seen;
            auto audio = input;

            if (c.watchInputMeter)
                for (int ch = 0; ch < 2; ++ch)
                    juce::FloatVectorOperations::fill (audio.getWritePointer (ch), 0.25f, audio.getNumSamples());
            juce::MidiBuffer midi;

            for (int i = 0; i < audio.getNumSamples(); ++i)
            {
                juce::AudioBuffer<float> one (audio.getArrayOfWritePointers(), 2, i, 1);
                processor.processBlock (one, midi);
                seen.push_back (c.watchInputMeter ? processor.inputLevel[0].load() : audio.getSample (0, i));
            }

            return seen;
        };

        const auto a = observe (*ramping);
        const auto b = observe (*settled);

        int lastDifference = -1;
        for (size_t i = 0; i < a.size(); ++i)
            if (a[i] != b[i])
                lastDifference = (int) i;

        EXPECT_EQ (lastDifference, c.rampSamples - 2);
    }
}

TEST (ProcessorPreparation, MonoLayoutProcessesOneChannelLikeStereoDoes)
{
    const auto input = makeSignal (2, 3000, 0.4f, 0.6f);

    auto stereo = makePrepared ({});
    auto stereoOut = input;
    processInBlocks (*stereo, stereoOut, 512);

    // A second channel handed to a mono instance is not part of its layout and stays untouched.
    auto mono = makePrepared ({}, 512, juce::AudioChannelSet::mono());
    EXPECT_EQ (mono->getTotalNumInputChannels(), 1);
    auto monoOut = input;
    processInBlocks (*mono, monoOut, 512);

    for (int i = 0; i < input.getNumSamples(); ++i)
    {
        ASSERT_EQ (monoOut.getSample (0, i), stereoOut.getSample (0, i)) << i;
        ASSERT_EQ (monoOut.getSample (1, i), input.getSample (1, i)) << i;
    }

    EXPECT_EQ (mono->inputLevel[1].load(), 0.0f);
    EXPECT_EQ (mono->outputLevel[1].load(), 0.0f);
    EXPECT_GT (mono->inputLevel[0].load(), 0.0f);
}

TEST (ProcessorPreparation, RightMetersOnlyDecayAfterSwitchingToMono)
{
    auto processor = makePrepared ({});
    auto loud = makeSignal (2, 512, 0.5f, 0.5f);
    processInBlocks (*processor, loud, 512);

    juce::AudioProcessor::BusesLayout mono;
    mono.inputBuses.add (juce::AudioChannelSet::mono());
    mono.outputBuses.add (juce::AudioChannelSet::mono());
    processor->releaseResources();
    ASSERT_TRUE (processor->setBusesLayout (mono));
    processor->prepareToPlay (sampleRate, 512);

    for (int block = 0; block < 5; ++block)
    {
        const float in = processor->inputLevel[1].load(), out = processor->outputLevel[1].load();
        ASSERT_GT (in, 0.0f);

        auto audio = makeSignal (1, 512, 0.5f, 0.5f);
        processInBlocks (*processor, audio, 512);

        EXPECT_FLOAT_EQ (processor->inputLevel[1].load(), in * 0.87f);
        EXPECT_FLOAT_EQ (processor->outputLevel[1].load(), out * 0.87f);
    }
}

//==============================================================================
TEST (ProcessorChain, MatchesTheDirectFormulasForAnyBlockSize)
{
    // Every parameter moves right after preparing, so all ramps run across block boundaries.
    struct Case
    {
        int oversampling, mode, hostBlock, preparedBlock;
    };

    const Case cases[] = {
        { 0, 2, 512, 512 }, { 0, 0, 1, 512 },   { 0, 1, 17, 512 },  { 0, 2, 700, 512 },
        { 1, 0, 512, 512 }, { 2, 2, 512, 512 }, { 2, 1, 1, 512 },   { 2, 2, 17, 512 },
        { 2, 0, 700, 512 }, { 2, 2, 100, 0 },   { 3, 1, 333, 256 }, { 3, 2, 64, 64 },
    };

    const auto input = makeSignal (2, 3000, 0.5f, 0.8f);

    for (const auto& c : cases)
    {
        SCOPED_TRACE ("oversampling " + std::to_string (c.oversampling) + ", mode " + std::to_string (c.mode)
                      + ", blocks of " + std::to_string (c.hostBlock) + ", prepared for "
                      + std::to_string (c.preparedBlock));

        const auto start = Settings {}.with ("oversampling", (float) c.oversampling).with ("mode", (float) c.mode);
        const auto target = start.with ("input", 6.0f)
                                .with ("shape", 70.0f)
                                .with ("ceiling", -3.0f)
                                .with ("output", 2.0f)
                                .with ("master", -1.5f)
                                .with ("mix", 80.0f)
                                .with ("edge", 30.0f)
                                .with ("lowProtect", 90.0f);

        auto processor = makePrepared (start, c.preparedBlock);
        target.applyTo (*processor);

        auto output = input;
        processInBlocks (*processor, output, c.hostBlock);

        EXPECT_EQ (maxAbsDifference (output, ReferenceChain::render (input, start, target)), 0.0f);
        EXPECT_EQ (processor->getLatencySamples(), c.oversampling == 0 ? 0 : oversamplerLatency (c.oversampling));
    }
}

TEST (ProcessorChain, OverlongBlockEqualsPreparedSizeBlocksIncludingMeters)
{
    const auto input = makeSignal (2, 1200, 0.5f, 0.5f);

    auto whole = makePrepared ({}, 512);
    auto pieces = makePrepared ({}, 512);
    auto a = input, b = input;

    processInBlocks (*whole, a, 1200);

    juce::MidiBuffer midi;
    for (int start : { 0, 512, 1024 })
    {
        const int n = std::min (512, 1200 - start);
        juce::AudioBuffer<float> block (b.getArrayOfWritePointers(), 2, start, n);
        pieces->processBlock (block, midi);
    }

    EXPECT_EQ (maxAbsDifference (a, b), 0.0f);
    EXPECT_EQ (whole->getLatencySamples(), pieces->getLatencySamples());

    for (int c = 0; c < 2; ++c)
    {
        EXPECT_EQ (whole->inputLevel[c].load(), pieces->inputLevel[c].load());
        EXPECT_EQ (whole->outputLevel[c].load(), pieces->outputLevel[c].load());
    }

    EXPECT_EQ (whole->clipAmount.load(), pieces->clipAmount.load());
}

TEST (ProcessorChain, ZeroMixGivesLatencyAlignedDryTimesMaster)
{
    for (int os = 0; os <= 3; ++os)
    {
        SCOPED_TRACE (os);
        auto processor =
            makePrepared (Settings {}.with ("oversampling", (float) os).with ("mix", 0.0f).with ("master", -6.0f));
        const int latency = os == 0 ? 0 : oversamplerLatency (os);
        const float m = gainFromDb (-6.0f);

        const auto input = makeSignal (2, 2000, 0.7f, 0.3f);
        auto output = input;
        processInBlocks (*processor, output, 256);

        ASSERT_EQ (processor->getLatencySamples(), latency);

        for (int c = 0; c < 2; ++c)
            for (int i = 0; i < input.getNumSamples(); ++i)
            {
                const float dry = i >= latency ? input.getSample (c, i - latency) : 0.0f;
                ASSERT_EQ (output.getSample (c, i), dry * m) << "channel " << c << ", sample " << i;
            }
    }
}

TEST (ProcessorChain, PowerOffGivesTheDryInputBitForBitAfterTheRamp)
{
    const int ramp = 960; // 20 ms at 48 kHz

    for (int os = 0; os <= 3; ++os)
    {
        SCOPED_TRACE (os);
        auto processor = makePrepared (Settings {}.with ("oversampling", (float) os).with ("input", 12.0f));
        processor->setParamValue ("power", 0.0f);
        const int latency = os == 0 ? 0 : oversamplerLatency (os);

        const auto input = makeSignal (2, 3000, 0.7f, 0.5f);
        auto output = input;
        processInBlocks (*processor, output, 512);

        for (int c = 0; c < 2; ++c)
        {
            const auto dry = [&] (int i) { return i >= latency ? input.getSample (c, i - latency) : 0.0f; };
            EXPECT_NE (output.getSample (c, ramp - 2), dry (ramp - 2));

            for (int i = ramp - 1; i < input.getNumSamples(); ++i)
                ASSERT_EQ (output.getSample (c, i), dry (i)) << "channel " << c << ", sample " << i;
        }
    }
}

TEST (ProcessorChain, HotInputNeverExceedsTheCeiling)
{
    // Raw samples up to 8 (+18 dBFS) also make the dry samples in the mix large, which is where
    // rounding once pushed a fully wet output past the ceiling.
    const float limit = 0.891251f; // -1 dB
    const auto input = makeSignal (2, 4096, 4.0f, 4.0f, 3000.0f);

    for (int mode = 0; mode <= 2; ++mode)
    {
        for (int os = 0; os <= 3; ++os)
        {
            for (float shape : { 0.0f, 100.0f })
            {
                SCOPED_TRACE ("mode " + std::to_string (mode) + ", oversampling " + std::to_string (os) + ", shape "
                              + std::to_string (shape));
                auto processor = makePrepared (Settings {}
                                                   .with ("mode", (float) mode)
                                                   .with ("oversampling", (float) os)
                                                   .with ("shape", shape)
                                                   .with ("input", 24.0f)
                                                   .with ("output", 24.0f)
                                                   .with ("edge", 100.0f)
                                                   .with ("lowProtect", 100.0f));
                auto output = input;
                processInBlocks (*processor, output, 512);

                EXPECT_LE (output.getMagnitude (0, output.getNumSamples()), limit);
                EXPECT_GT (output.getMagnitude (0, output.getNumSamples()), 0.8f);
            }
        }
    }
}

TEST (ProcessorChain, LatencyFollowsTheOversamplingSwitchAndPathsStayAligned)
{
    auto processor = makePrepared (Settings {}.with ("oversampling", 0.0f).with ("mix", 0.0f));
    const auto input = makeSignal (2, 512, 0.5f, 0.5f);

    struct Step
    {
        float oversampling;
        int latency;
    };

    const Step steps[] = { { 0.0f, 0 },
                           { 2.0f, oversamplerLatency (2) },
                           { 0.0f, 0 },
                           { 3.0f, oversamplerLatency (3) },
                           { 1.0f, oversamplerLatency (1) } };

    for (const auto& step : steps)
    {
        SCOPED_TRACE (step.oversampling);
        processor->setParamValue ("oversampling", step.oversampling);

        // The first block after a switch reports the new latency, and its dry path restarts from
        // silence delayed by exactly that latency.
        auto output = input;
        processInBlocks (*processor, output, 512);
        EXPECT_EQ (processor->getLatencySamples(), step.latency);

        for (int i = 0; i < input.getNumSamples(); ++i)
        {
            const float dry = i >= step.latency ? input.getSample (0, i - step.latency) : 0.0f;
            ASSERT_EQ (output.getSample (0, i), dry) << i;
        }
    }
}

TEST (ProcessorChain, WetPathIsTimeAlignedWithTheDryPath)
{
    // Hard mode below its threshold is a plain gain of 1 / 0.95, so with the bands out of the way
    // the wet output is the input, delayed by the reported latency, scaled by that gain. One
    // sample of misalignment would show as an error of about 0.12.
    const auto input = makeSignal (2, 4096, 0.0f, 0.3f, 3000.0f);

    for (int os = 1; os <= 3; ++os)
    {
        SCOPED_TRACE (os);
        auto processor = makePrepared (Settings {}
                                           .with ("oversampling", (float) os)
                                           .with ("mode", 1.0f)
                                           .with ("shape", 0.0f)
                                           .with ("lowProtect", 0.0f)
                                           .with ("ceiling", 0.0f));
        auto output = input;
        processInBlocks (*processor, output, 512);

        const int latency = processor->getLatencySamples();
        ASSERT_EQ (latency, oversamplerLatency (os));

        float worst = 0.0f;
        for (int i = 2048; i < input.getNumSamples(); ++i)
            worst = std::max (worst, std::abs (output.getSample (0, i) - input.getSample (0, i - latency) / 0.95f));

        EXPECT_LT (worst, 0.01f);
    }
}

TEST (ProcessorChain, EmptyBlockUpdatesLatencyAndMetersAndWritesNothing)
{
    auto processor = makePrepared (Settings {}.with ("oversampling", 0.0f).with ("input", 12.0f));
    auto loud = makeSignal (2, 512, 0.5f, 0.5f);
    processInBlocks (*processor, loud, 512);

    const float in0 = processor->inputLevel[0], in1 = processor->inputLevel[1];
    const float out0 = processor->outputLevel[0], out1 = processor->outputLevel[1];
    const float clip = processor->clipAmount;
    ASSERT_GT (clip, 0.0f);

    processor->setParamValue ("oversampling", 2.0f);

    juce::AudioBuffer<float> host (2, 64);
    host.clear();
    host.setSample (0, 0, 0.25f);
    const auto untouched = host;

    juce::AudioBuffer<float> empty (host.getArrayOfWritePointers(), 2, 0, 0);
    juce::MidiBuffer midi;
    processor->processBlock (empty, midi);

    EXPECT_EQ (processor->getLatencySamples(), oversamplerLatency (2));
    EXPECT_FLOAT_EQ (processor->inputLevel[0], in0 * 0.87f);
    EXPECT_FLOAT_EQ (processor->inputLevel[1], in1 * 0.87f);
    EXPECT_FLOAT_EQ (processor->outputLevel[0], out0 * 0.87f);
    EXPECT_FLOAT_EQ (processor->outputLevel[1], out1 * 0.87f);
    EXPECT_FLOAT_EQ (processor->clipAmount, clip * 0.86f);
    EXPECT_EQ (maxAbsDifference (host, untouched), 0.0f);
}

TEST (ProcessorChain, NonFiniteInputDoesNotPoisonLaterBlocks)
{
    auto processor = makePrepared ({});
    auto bad = makeSignal (2, 512, 0.5f, 0.5f);
    bad.setSample (0, 100, std::numeric_limits<float>::quiet_NaN());
    bad.setSample (1, 200, std::numeric_limits<float>::infinity());
    processInBlocks (*processor, bad, 512);

    auto good = makeSignal (2, 2048, 0.5f, 0.5f);
    processInBlocks (*processor, good, 512);

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < good.getNumSamples(); ++i)
            ASSERT_TRUE (std::isfinite (good.getSample (c, i))) << c << ", " << i;

    EXPECT_TRUE (std::isfinite (processor->inputLevel[0].load()));
    EXPECT_TRUE (std::isfinite (processor->clipAmount.load()));
}

//==============================================================================
namespace
{
/** Runs buffer samples from `start` on through the host's bypass, as blocks of blockSize. */
void processBypassedInBlocks (OstrelAudioProcessor& processor, juce::AudioBuffer<float>& buffer, int start,
                              int blockSize)
{
    juce::MidiBuffer midi;

    for (; start < buffer.getNumSamples(); start += blockSize)
    {
        const int n = std::min (blockSize, buffer.getNumSamples() - start);
        juce::AudioBuffer<float> block (buffer.getArrayOfWritePointers(), buffer.getNumChannels(), start, n);
        processor.processBlockBypassed (block, midi);
    }
}

float sanitised (float x) { return std::isfinite (x) ? x : 0.0f; }
} // namespace

TEST (ProcessorBypass, BypassedOutputIsTheInputDelayedByTheReportedLatency)
{
    struct Case
    {
        int oversampling, preparedBlock, hostBlock;
    };

    const Case cases[] = { { 0, 512, 512 }, { 1, 512, 256 }, { 2, 512, 1200 }, { 3, 256, 1000 } };

    auto input = makeSignal (2, 4096, 0.5f, 0.5f);
    input.setSample (0, 2500, std::numeric_limits<float>::quiet_NaN());
    input.setSample (1, 2600, std::numeric_limits<float>::infinity());
    constexpr int processed = 1024;

    for (const auto& c : cases)
    {
        SCOPED_TRACE ("oversampling " + std::to_string (c.oversampling) + ", blocks of " + std::to_string (c.hostBlock)
                      + ", prepared for " + std::to_string (c.preparedBlock));
        auto processor = makePrepared (Settings {}.with ("oversampling", (float) c.oversampling), c.preparedBlock);
        const int latency = c.oversampling == 0 ? 0 : oversamplerLatency (c.oversampling);

        // Processed first, then bypassed: the delay runs on without a gap across the switch.
        auto output = input;
        juce::AudioBuffer<float> head (output.getArrayOfWritePointers(), 2, 0, processed);
        processInBlocks (*processor, head, c.preparedBlock);
        processBypassedInBlocks (*processor, output, processed, c.hostBlock);

        EXPECT_EQ (processor->getLatencySamples(), latency);

        for (int ch = 0; ch < 2; ++ch)
            for (int i = processed; i < input.getNumSamples(); ++i)
                ASSERT_EQ (output.getSample (ch, i), sanitised (input.getSample (ch, i - latency))) << ch << ", " << i;
    }
}

TEST (ProcessorBypass, BypassedMetersFallOncePerPreparedChunkAsForSilence)
{
    struct Case
    {
        int blockLength, chunks;
    };

    for (const auto& c : { Case { 512, 1 }, Case { 1200, 3 }, Case { 0, 1 } })
    {
        SCOPED_TRACE (c.blockLength);
        auto processor = makePrepared (Settings {}.with ("input", 12.0f), 512);
        auto loud = makeSignal (2, 512, 0.5f, 0.5f);
        processInBlocks (*processor, loud, 512);

        const float in0 = processor->inputLevel[0], out1 = processor->outputLevel[1];
        const float clip = processor->clipAmount;
        ASSERT_GT (clip, 0.0f);

        auto bypassed = makeSignal (2, c.blockLength, 0.5f, 0.5f);
        juce::MidiBuffer midi;
        processor->processBlockBypassed (bypassed, midi);

        EXPECT_FLOAT_EQ (processor->inputLevel[0], in0 * std::pow (0.87f, (float) c.chunks));
        EXPECT_FLOAT_EQ (processor->outputLevel[1], out1 * std::pow (0.87f, (float) c.chunks));
        EXPECT_FLOAT_EQ (processor->clipAmount, clip * std::pow (0.86f, (float) c.chunks));
    }
}

TEST (ProcessorBypass, UnpreparedBypassPassesTheInputThroughMadeSafe)
{
    OstrelAudioProcessor processor;
    auto input = makeSignal (2, 300, 0.5f, 0.5f);
    input.setSample (0, 10, std::numeric_limits<float>::quiet_NaN());
    input.setSample (1, 20, -std::numeric_limits<float>::infinity());

    auto output = input;
    juce::MidiBuffer midi;
    processor.processBlockBypassed (output, midi);

    EXPECT_EQ (processor.getLatencySamples(), 0);
    for (int ch = 0; ch < 2; ++ch)
        for (int i = 0; i < input.getNumSamples(); ++i)
            ASSERT_EQ (output.getSample (ch, i), sanitised (input.getSample (ch, i))) << ch << ", " << i;
}

//==============================================================================
TEST (ProcessorMeters, LevelScaleIsLinearInDecibelsFromMinus60To0)
{
    const std::pair<float, float> cases[] = {
        { 0.0f, 0.0f },
        { 0.000001f, 0.0f },
        { 0.001f, 0.0f },
        { 0.0001f, 0.0f },
        { gainFromDb (-30.0f), 0.5f },
        { -gainFromDb (-30.0f), 0.5f },
        { gainFromDb (-20.0f), 2.0f / 3.0f },
        { gainFromDb (-54.0f), 0.1f },
        { 1.0f, 1.0f },
        { 4.0f, 1.0f },
        { std::numeric_limits<float>::quiet_NaN(), 0.0f },
    };

    for (const auto& [sample, level] : cases)
        EXPECT_NEAR (OstrelAudioProcessor::levelFromSample (sample), level, 1.0e-5f) << sample;
}

TEST (ProcessorMeters, InputMeterReadsThePeakAfterTheInputGain)
{
    struct Case
    {
        float inputDb, peak, expected;
    };

    const Case cases[] = {
        { 0.0f, gainFromDb (-30.0f), 0.5f },
        { 6.0f, gainFromDb (-36.0f), 0.5f },
        { -12.0f, 1.0f, 0.8f },
        { 0.0f, 1.0f, 1.0f },
        { 24.0f, 0.5f, 1.0f },
        { 0.0f, 0.0000005f, 0.0f },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.inputDb);
        auto processor = makePrepared (Settings {}.with ("input", c.inputDb));
        juce::AudioBuffer<float> audio (2, 512);
        audio.clear();
        audio.setSample (0, 300, c.peak);
        audio.setSample (1, 10, -c.peak);
        processInBlocks (*processor, audio, 512);

        EXPECT_NEAR (processor->inputLevel[0].load(), c.expected, 1.0e-5f);
        EXPECT_NEAR (processor->inputLevel[1].load(), c.expected, 1.0e-5f);
    }
}

TEST (ProcessorMeters, MetersFallByTheirFactorPerBlock)
{
    // Mix 0 makes the output the exact dry signal, so silence in is silence out.
    auto processor = makePrepared (Settings {}.with ("oversampling", 0.0f).with ("mix", 0.0f).with ("master", -6.0f));
    juce::AudioBuffer<float> audio (2, 256);
    audio.clear();
    audio.setSample (0, 17, 1.0f);
    audio.setSample (1, 99, -0.5f);
    processInBlocks (*processor, audio, 256);

    EXPECT_FLOAT_EQ (processor->inputLevel[0], 1.0f);
    EXPECT_NEAR (processor->inputLevel[1], OstrelAudioProcessor::levelFromSample (0.5f), 1.0e-6f);
    EXPECT_NEAR (processor->outputLevel[0], OstrelAudioProcessor::levelFromSample (gainFromDb (-6.0f)), 1.0e-6f);

    const float out0 = processor->outputLevel[0], in1 = processor->inputLevel[1];

    for (int block = 0; block < 10; ++block)
    {
        juce::AudioBuffer<float> silence (2, 256);
        silence.clear();
        processInBlocks (*processor, silence, 256);
    }

    EXPECT_NEAR (processor->inputLevel[0], 0.2484f, 1.0e-4f);
    EXPECT_NEAR (processor->inputLevel[1], in1 * std::pow (0.87f, 10.0f), 1.0e-6f);
    EXPECT_NEAR (processor->outputLevel[0], out0 * std::pow (0.87f, 10.0f), 1.0e-6f);
}

TEST (ProcessorMeters, ClipAmountIsSixTimesTheMeanExcessOverTheCeiling)
{
    // A Nyquist-rate square wave, hot enough that Hard mode clips every sample to exactly ±1:
    // with no low band protected, each sample exceeds the ceiling by 1 - ceiling.
    struct Case
    {
        float ceilingDb;
        int channels;
        bool power;
    };

    const Case cases[] = {
        { -1.0f, 2, true }, { -0.5f, 2, true }, { -1.0f, 1, true }, { -1.0f, 2, false }, { -12.0f, 2, true },
    };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.ceilingDb);
        const auto layout = c.channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
        auto processor = makePrepared (Settings {}
                                           .with ("oversampling", 0.0f)
                                           .with ("mode", 1.0f)
                                           .with ("lowProtect", 0.0f)
                                           .with ("input", 6.0f)
                                           .with ("ceiling", c.ceilingDb)
                                           .with ("power", c.power ? 1.0f : 0.0f),
                                       512, layout);

        juce::AudioBuffer<float> audio (c.channels, 512);
        for (int ch = 0; ch < c.channels; ++ch)
            for (int i = 0; i < 512; ++i)
                audio.setSample (ch, i, (i & 1) != 0 ? 0.9f : -0.9f);

        processInBlocks (*processor, audio, 512);

        const float expected = std::min (1.0f, 6.0f * (1.0f - gainFromDb (c.ceilingDb)));
        EXPECT_NEAR (processor->clipAmount.load(), expected, 1.0e-4f);

        processEmptyBlock (*processor);
        EXPECT_NEAR (processor->clipAmount.load(), expected * 0.86f, 1.0e-4f);
    }
}

//==============================================================================
TEST (PresetRecord, FreshInstanceHasNoPreset)
{
    OstrelAudioProcessor processor;
    EXPECT_EQ (processor.getCurrentPresetName(), "Presets");
    EXPECT_FALSE (processor.isCurrentPresetUser());
    EXPECT_FALSE (processor.isCurrentPresetModified());
}

TEST (PresetRecord, SetCurrentPresetInfoStoresTheWholeRecord)
{
    struct Case
    {
        const char* name;
        bool isUser, modified;
        const char* storedName;
    };

    const Case cases[] = {
        { "", true, true, "Presets" },
        { "   ", false, false, "   " },
        { "Punchy Drums", false, true, "Punchy Drums" },
        { "My Bus", true, false, "My Bus" },
    };

    OstrelAudioProcessor processor;

    for (const auto& c : cases)
    {
        processor.setCurrentPresetInfo (c.name, c.isUser, c.modified);
        EXPECT_EQ (processor.getCurrentPresetName(), c.storedName);
        EXPECT_EQ (processor.isCurrentPresetUser(), c.isUser);
        EXPECT_EQ (processor.isCurrentPresetModified(), c.modified);
    }
}

TEST (PresetRecord, ParameterChangesMarkModifiedExceptWhileStateIsRestored)
{
    OstrelAudioProcessor source;
    source.setParamValue ("mix", 25.0f);
    source.setParamValue ("mode", 0.0f);
    source.setCurrentPresetInfo ("Punchy Drums", false, false);
    juce::MemoryBlock state;
    source.getStateInformation (state);

    OstrelAudioProcessor processor;
    processor.setCurrentPresetInfo ("Other", true, false);

    // Restoring changes parameters, but those changes are not modifications: the flag stays
    // false while each change is announced, not only once the stored record is applied.
    struct Watcher : juce::AudioProcessorValueTreeState::Listener
    {
        explicit Watcher (OstrelAudioProcessor& p) : processor (p) {}
        void parameterChanged (const juce::String&, float) override
        {
            seenModified.push_back (processor.isCurrentPresetModified());
        }

        OstrelAudioProcessor& processor;
        std::vector<bool> seenModified;
    } watcher (processor);

    for (auto* id : ParamIDs::all)
        processor.apvts.addParameterListener (id, &watcher);

    processor.setStateInformation (state.getData(), (int) state.getSize());

    for (auto* id : ParamIDs::all)
        processor.apvts.removeParameterListener (id, &watcher);

    EXPECT_EQ (watcher.seenModified, std::vector<bool> (2, false));
    EXPECT_FLOAT_EQ (processor.apvts.getRawParameterValue ("mix")->load(), 25.0f);
    EXPECT_EQ (processor.getCurrentPresetName(), "Punchy Drums");
    EXPECT_FALSE (processor.isCurrentPresetUser());
    EXPECT_FALSE (processor.isCurrentPresetModified());

    // Any parameter afterwards marks the preset modified, master and power included.
    for (const auto* id : { "master", "power", "oversampling" })
    {
        SCOPED_TRACE (id);
        processor.setCurrentPresetInfo ("Punchy Drums", false, false);
        auto* param = processor.apvts.getParameter (id);
        param->setValueNotifyingHost (param->getValue() > 0.5f ? 0.0f : 1.0f);
        EXPECT_TRUE (processor.isCurrentPresetModified());
        EXPECT_EQ (processor.getCurrentPresetName(), "Punchy Drums");
    }
}
