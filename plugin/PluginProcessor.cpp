#include "PluginProcessor.h"

#include "ClipperCurves.h"
#include "Float4.h"
#include "ParameterIDs.h"
#include "PluginEditor.h"
#include "XmlText.h"

#include <algorithm>
#include <cmath>

namespace
{
/** Choice parameters are stored as floats; the chain rounds them (halves away from zero). */
int roundIndex (float value, int lastIndex) noexcept { return juce::jlimit (0, lastIndex, (int) std::lround (value)); }

float dbToGain (const std::atomic<float>* raw) noexcept
{
    return juce::Decibels::decibelsToGain (raw->load (std::memory_order_relaxed));
}

float percent (const std::atomic<float>* raw) noexcept { return raw->load (std::memory_order_relaxed) * 0.01f; }

float shapeValue (const std::atomic<float>* raw) noexcept
{
    return 1.0f + 0.07f * raw->load (std::memory_order_relaxed);
}

float powerValue (const std::atomic<float>* raw) noexcept
{
    return raw->load (std::memory_order_relaxed) >= 0.5f ? 1.0f : 0.0f;
}

/** Host samples beyond ±1e6 (+120 dBFS), and non-finite ones, are not audio: they are treated as
    silence so they never reach a filter's memory. A finite sample near the float limit would
    otherwise overflow the filters and leave NaN in their state for good.
*/
constexpr float largestInputMagnitude = 1.0e6f;

constexpr juce::int64 largestPresetFileBytes = 1 << 20;
float sanitise (float x) noexcept { return std::abs (x) <= largestInputMagnitude ? x : 0.0f; }

void sanitiseInPlace (float* data, int n) noexcept
{
    for (int i = 0; i < n; ++i)
        data[i] = sanitise (data[i]);
}

/** Calls span (ringPosition, offset, count) for the one or two contiguous pieces that n ring
    positions from position on take up, offset counting from the first of them.
*/
template <typename Span>
void forEachRingSpan (int ringSize, int position, int n, Span&& span) noexcept
{
    const int first = juce::jmin (n, ringSize - position);
    span (position, 0, first);
    span (0, first, n - first);
}

/** Copies n samples into a delay ring at the write position, then reads the n samples that lie
    latency samples behind them back into the same array. The ring is longer than n + latency, so
    every sample read is either from an earlier block or one just written.
*/
void delayThroughRing (float* ring, int ringSize, int writePosition, int latency, float* data, int n) noexcept
{
    forEachRingSpan (ringSize, writePosition, n,
                     [&] (int position, int offset, int count)
                     { std::copy (data + offset, data + offset + count, ring + position); });

    int readPosition = writePosition - latency;
    while (readPosition < 0)
        readPosition += ringSize;

    forEachRingSpan (ringSize, readPosition, n,
                     [&] (int position, int offset, int count)
                     { std::copy (ring + position, ring + position + count, data + offset); });
}

juce::ParameterID pid (const char* id) { return { id, 1 }; }
} // namespace

//==============================================================================
OstrelAudioProcessor::OstrelAudioProcessor() :
    AudioProcessor (BusesProperties()
                        .withInput ("Input", juce::AudioChannelSet::stereo(), true)
                        .withOutput ("Output", juce::AudioChannelSet::stereo(), true)),
    apvts (*this, nullptr, "PARAMETERS", createParameterLayout())
{
    raw.power = apvts.getRawParameterValue (ParamIDs::power);
    raw.mode = apvts.getRawParameterValue (ParamIDs::mode);
    raw.input = apvts.getRawParameterValue (ParamIDs::input);
    raw.shape = apvts.getRawParameterValue (ParamIDs::shape);
    raw.ceiling = apvts.getRawParameterValue (ParamIDs::ceiling);
    raw.output = apvts.getRawParameterValue (ParamIDs::output);
    raw.master = apvts.getRawParameterValue (ParamIDs::master);
    raw.mix = apvts.getRawParameterValue (ParamIDs::mix);
    raw.edge = apvts.getRawParameterValue (ParamIDs::edge);
    raw.lowProtect = apvts.getRawParameterValue (ParamIDs::lowProtect);
    raw.oversampling = apvts.getRawParameterValue (ParamIDs::oversampling);

    for (auto* id : ParamIDs::all)
        apvts.addParameterListener (id, this);
}

OstrelAudioProcessor::~OstrelAudioProcessor()
{
    for (auto* id : ParamIDs::all)
        apvts.removeParameterListener (id, this);
}

juce::AudioProcessorValueTreeState::ParameterLayout OstrelAudioProcessor::createParameterLayout()
{
    std::vector<std::unique_ptr<juce::RangedAudioParameter>> params;

    const auto range = [] (float min, float max) { return juce::NormalisableRange<float> (min, max, 0.01f); };
    const auto addFloat = [&] (const char* id, const char* name, float min, float max, float def)
    { params.push_back (std::make_unique<juce::AudioParameterFloat> (pid (id), name, range (min, max), def)); };

    params.push_back (std::make_unique<juce::AudioParameterBool> (pid (ParamIDs::power), "Power", true));
    params.push_back (std::make_unique<juce::AudioParameterChoice> (pid (ParamIDs::mode), "Mode",
                                                                    juce::StringArray { "Soft", "Hard", "Punch" }, 2));
    addFloat (ParamIDs::input, "Input", -24.0f, 24.0f, 0.0f);
    addFloat (ParamIDs::shape, "Shape", 0.0f, 100.0f, 40.0f);
    addFloat (ParamIDs::ceiling, "Ceiling", -12.0f, 0.0f, -1.0f);
    addFloat (ParamIDs::output, "Output", -24.0f, 24.0f, 0.0f);
    addFloat (ParamIDs::master, "Master", -24.0f, 24.0f, 0.0f);
    addFloat (ParamIDs::mix, "Mix", 0.0f, 100.0f, 100.0f);
    addFloat (ParamIDs::edge, "Edge", -100.0f, 100.0f, 0.0f);
    addFloat (ParamIDs::lowProtect, "Low Protect", 0.0f, 100.0f, 50.0f);
    params.push_back (std::make_unique<juce::AudioParameterChoice> (pid (ParamIDs::oversampling), "Oversampling",
                                                                    juce::StringArray { "Off", "2x", "4x", "8x" }, 2));

    return { params.begin(), params.end() };
}

//==============================================================================
void OstrelAudioProcessor::prepareToPlay (double sampleRate, int samplesPerBlock)
{
    currentSampleRate = sampleRate;
    numProcessChannels = juce::jlimit (1, 2, getTotalNumInputChannels());

    oversamplers[0].reset();
    for (size_t k = 1; k < oversamplers.size(); ++k)
        oversamplers[k] = std::make_unique<juce::dsp::Oversampling<float>> (
            (size_t) numProcessChannels, k, juce::dsp::Oversampling<float>::filterHalfBandFIREquiripple, true, true);

    const int blockLength = juce::jmax (1, samplesPerBlock);
    for (size_t k = 1; k < oversamplers.size(); ++k)
    {
        oversamplers[k]->reset();
        oversamplers[k]->initProcessing ((size_t) blockLength);
        oversamplers[k]->setUsingIntegerLatency (true);
    }

    clipBuffer.setSize (2, blockLength);
    dryBuffer.setSize (2, blockLength);
    lowBandBuffer.setSize (2, blockLength);

    int maxLatency = 0;
    for (size_t k = 1; k < oversamplers.size(); ++k)
        maxLatency = juce::jmax (maxLatency, (int) std::ceil (oversamplers[k]->getLatencyInSamples()));

    delayRingSize = juce::jmax (samplesPerBlock + juce::jmax (maxLatency, 0), 504) + 8;
    dryDelayRing.setSize (numProcessChannels, delayRingSize);
    lowBandDelayRing.setSize (numProcessChannels, delayRingSize);
    dryDelayRing.clear();
    lowBandDelayRing.clear();

    delayWritePosition = 0;

    // Report the latency of the present choice now: a host re-activates the plug-in after a
    // latency change, and a 0 here would start the change over again on the next block.
    const int osIndex = roundIndex (raw.oversampling->load(), 3);
    currentLatency = osIndex >= 1 ? (int) std::lround (oversamplers[(size_t) osIndex]->getLatencyInSamples()) : 0;
    setLatencySamples (currentLatency);

    using Coefficients = juce::dsp::IIR::Coefficients<float>;
    const auto lowProtectCoefficients = Coefficients::makeLowPass (currentSampleRate, 150.0f);
    const auto edgeCoefficients = Coefficients::makeHighPass (currentSampleRate, 2200.0f);
    const auto dcCoefficients = Coefficients::makeHighPass (currentSampleRate, 18.0f);

    const float* dc = dcCoefficients->getRawCoefficients();
    const float* lowPass = lowProtectCoefficients->getRawCoefficients();
    const float* highPass = edgeCoefficients->getRawCoefficients();
    dcFilter.setCoefficients (dc, dc, dc, dc);
    bandFilter.setCoefficients (lowPass, lowPass, highPass, highPass);

    for (auto& os : oversamplers)
        if (os != nullptr)
            os->reset();

    const auto prepareSmoother = [this] (juce::SmoothedValue<float>& smoother, double seconds, float value)
    {
        smoother.reset (currentSampleRate, seconds);
        smoother.setCurrentAndTargetValue (value);
    };

    prepareSmoother (inputGainSmoother, 0.02, dbToGain (raw.input));
    prepareSmoother (shapeSmoother, 0.03, shapeValue (raw.shape));
    prepareSmoother (outputGainSmoother, 0.03, dbToGain (raw.output));
    prepareSmoother (masterGainSmoother, 0.03, dbToGain (raw.master));
    prepareSmoother (mixSmoother, 0.03, percent (raw.mix));
    prepareSmoother (edgeSmoother, 0.04, percent (raw.edge));
    prepareSmoother (lowProtectSmoother, 0.04, percent (raw.lowProtect));
    prepareSmoother (ceilingSmoother, 0.02, dbToGain (raw.ceiling));
    prepareSmoother (powerSmoother, 0.02, powerValue (raw.power));

    for (auto& array : workArrays)
        array.assign ((size_t) blockLength, 0.0f);

    preparedBlockSize = blockLength;
}

void OstrelAudioProcessor::releaseResources() {}

bool OstrelAudioProcessor::isBusesLayoutSupported (const BusesLayout& layouts) const
{
    const auto& out = layouts.getMainOutputChannelSet();

    if (out != juce::AudioChannelSet::mono() && out != juce::AudioChannelSet::stereo())
        return false;

    return layouts.getMainInputChannelSet() == out;
}

//==============================================================================
template <typename ChunkFunction>
void OstrelAudioProcessor::forEachChunk (juce::AudioBuffer<float>& buffer, ChunkFunction&& processOneChunk) noexcept
{
    const int totalIn = getTotalNumInputChannels();
    const int numSamples = buffer.getNumSamples();

    for (int ch = totalIn; ch < juce::jmin (getTotalNumOutputChannels(), buffer.getNumChannels()); ++ch)
        buffer.clear (ch, 0, numSamples);

    const int numChannels = juce::jmin (totalIn, buffer.getNumChannels(), numProcessChannels);

    if (preparedBlockSize <= 0)
    {
        // Not prepared yet (outside the host contract; no latency is reported): the input passes
        // through, made safe.
        for (int c = 0; c < numChannels; ++c)
            sanitiseInPlace (buffer.getWritePointer (c), numSamples);

        return;
    }

    float* channels[2] = {};

    // A block longer than the prepared size runs as consecutive blocks of at most that size.
    int start = 0;
    do
    {
        const int n = juce::jmin (preparedBlockSize, numSamples - start);

        for (int c = 0; c < numChannels; ++c)
            channels[c] = buffer.getWritePointer (c, start);

        processOneChunk (channels, numChannels, n);
        start += n;
    } while (start < numSamples);
}

void OstrelAudioProcessor::processBlock (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    juce::ScopedNoDenormals noDenormals;

    forEachChunk (buffer, [this] (float* const* channels, int numChannels, int numSamples)
                  { processChunk (channels, numChannels, numSamples); });
}

void OstrelAudioProcessor::processBlockBypassed (juce::AudioBuffer<float>& buffer, juce::MidiBuffer&)
{
    juce::ScopedNoDenormals noDenormals;

    // The input goes through the dry ring with the shared write position, so the delay stays
    // continuous across a switch in or out of bypass. The low-band ring gets silence, so nothing
    // from before the bypass comes back when processing resumes. The meters fall once per
    // prepared-size chunk, as they do for a silent processed block.
    forEachChunk (buffer,
                  [this] (float* const* channels, int numChannels, int numSamples)
                  {
                      for (int c = 0; c < numChannels; ++c)
                      {
                          sanitiseInPlace (channels[c], numSamples);
                          delayThroughRing (dryDelayRing.getWritePointer (c), delayRingSize, delayWritePosition,
                                            currentLatency, channels[c], numSamples);

                          auto* lowRing = lowBandDelayRing.getWritePointer (c);
                          forEachRingSpan (delayRingSize, delayWritePosition, numSamples,
                                           [lowRing] (int position, int, int count)
                                           { std::fill (lowRing + position, lowRing + position + count, 0.0f); });
                      }

                      delayWritePosition = (delayWritePosition + numSamples) % delayRingSize;
                      accumulators = {};
                      publishMeters (numSamples, numChannels);
                  });
}

void OstrelAudioProcessor::setSmootherTargets() noexcept
{
    inputGainSmoother.setTargetValue (dbToGain (raw.input));
    shapeSmoother.setTargetValue (shapeValue (raw.shape));
    outputGainSmoother.setTargetValue (dbToGain (raw.output));
    masterGainSmoother.setTargetValue (dbToGain (raw.master));
    mixSmoother.setTargetValue (percent (raw.mix));
    edgeSmoother.setTargetValue (percent (raw.edge));
    lowProtectSmoother.setTargetValue (percent (raw.lowProtect));
    ceilingSmoother.setTargetValue (dbToGain (raw.ceiling));
    powerSmoother.setTargetValue (powerValue (raw.power));
}

namespace
{
/** The smoothed values, in the order of the work arrays. */
enum SmoothedIndex : size_t
{
    gainIndex,
    shapeIndex,
    outputIndex,
    masterIndex,
    mixIndex,
    edgeIndex,
    lowProtectIndex,
    ceilingIndex,
    powerIndex,
    numSmoothedIndices
};

/** The chain's values while no smoother moves: the same for every sample. */
struct SteadyValues
{
    Float4 values[numSmoothedIndices];
    float shape = 1.0f;

    Float4 get (SmoothedIndex index, int, int) const noexcept { return values[index]; }
    const float* shapes() const noexcept { return &shape; }
    bool shapeIsSteady (int) const noexcept { return true; }
};

/** The chain's values while a smoother moves: one per sample, from the work arrays. */
struct RampValues
{
    const float* values[numSmoothedIndices];

    Float4 get (SmoothedIndex index, int i, int count) const noexcept
    {
        return Float4::loadPartial (values[index] + i, count);
    }
    const float* shapes() const noexcept { return values[shapeIndex]; }
    bool shapeIsSteady (int numSamples) const noexcept
    {
        const float* s = values[shapeIndex];
        return std::all_of (s + 1, s + numSamples, [s0 = s[0]] (float v) { return v == s0; });
    }
};

float largestLane (Float4 lanes) noexcept
{
    float values[4];
    lanes.store (values);
    return juce::jmax (values[0], values[1], values[2], values[3]);
}

/** The front end of up to four consecutive frames of both channels: sanitised input (kept as the
    dry signal), input gain, DC blocker, band split, edge and low protect. Writes the signal to be
    clipped and the low band that bypasses the clipper; the input meter's peaks are updated.

    The gain and the band arithmetic run with the frames in lanes; the filters run frame by frame
    with the channels in lanes.
*/
template <typename Values>
inline void frontEndFrames (const float* inL, const float* inR, float* const* pre, float* const* low, float* const* dry,
                            int i, int count, const Values& values, BiquadLanes& dc, BiquadLanes& band, Float4& peakL,
                            Float4& peakR) noexcept
{
    const Float4 xL = Float4::keepWithin (Float4::loadPartial (inL + i, count), largestInputMagnitude);
    const Float4 xR = Float4::keepWithin (Float4::loadPartial (inR + i, count), largestInputMagnitude);
    xL.storePartial (dry[0] + i, count);
    xR.storePartial (dry[1] + i, count);

    const Float4 gain = values.get (gainIndex, i, count);
    const Float4 gainedL = xL * gain, gainedR = xR * gain;
    peakL = Float4::max (Float4::abs (gainedL), peakL);
    peakR = Float4::max (Float4::abs (gainedR), peakR);

    // Frame f as { L, R, L, R }.
    const Float4 first = Float4::interleaveLow (gainedL, gainedR), second = Float4::interleaveHigh (gainedL, gainedR);
    const Float4 frames[4] = { Float4::lowHalves (first, first), Float4::highHalves (first, first),
                               Float4::lowHalves (second, second), Float4::highHalves (second, second) };

    Float4 y[4] = { Float4::zero(), Float4::zero(), Float4::zero(), Float4::zero() };
    Float4 bands[4] = { Float4::zero(), Float4::zero(), Float4::zero(), Float4::zero() };

    for (int f = 0; f < count; ++f)
    {
        y[f] = dc.step (frames[f]);
        bands[f] = band.step (y[f]);
    }

    // Back to frames in lanes, one register per channel and signal.
    const Float4 y01 = Float4::lowHalves (y[0], y[1]), y23 = Float4::lowHalves (y[2], y[3]);
    const Float4 low01 = Float4::lowHalves (bands[0], bands[1]), low23 = Float4::lowHalves (bands[2], bands[3]);
    const Float4 high01 = Float4::highHalves (bands[0], bands[1]), high23 = Float4::highHalves (bands[2], bands[3]);

    const Float4 edge = Float4::broadcast (1.5f) * values.get (edgeIndex, i, count);
    const Float4 protect = values.get (lowProtectIndex, i, count);

    const auto split = [&] (Float4 y0, Float4 lowBand, Float4 highBand, float* preOut, float* lowOut)
    {
        const Float4 lowPart = lowBand * protect;
        ((y0 + edge * highBand) - Float4::broadcast (0.28f) * lowPart).storePartial (preOut + i, count);
        (Float4::broadcast (0.2f) * lowPart).storePartial (lowOut + i, count);
    };

    split (Float4::evenLanes (y01, y23), Float4::evenLanes (low01, low23), Float4::evenLanes (high01, high23), pre[0],
           low[0]);
    split (Float4::oddLanes (y01, y23), Float4::oddLanes (low01, low23), Float4::oddLanes (high01, high23), pre[1],
           low[1]);
}

/** Output gain, the ceiling, the dry/wet mix, the master gain and the power crossfade for up to
    four consecutive frames of one channel. Returns |wet − limited| per frame for the clip meter.

    The two crossfades are weighted sums rather than dry + (x - dry) * w: that form rounds twice
    through a value as large as the dry sample, so a hot input (beyond about 2.5) could push a
    fully wet output a few ulps past the ceiling. As weighted sums, w = 1 gives the limited
    sample and w = 0 the dry sample exactly; the same holds for the power fade.
*/
template <typename Values>
inline Float4 outputFrames (const float* clipped, const float* lowBack, const float* dry, float* out, int i, int count,
                            const Values& values, Float4& peak) noexcept
{
    const Float4 one = Float4::broadcast (1.0f);
    const Float4 ceiling = values.get (ceilingIndex, i, count);
    const Float4 mix = values.get (mixIndex, i, count);
    const Float4 power = values.get (powerIndex, i, count);
    const Float4 drySample = Float4::loadPartial (dry + i, count);

    const Float4 wet = (Float4::loadPartial (clipped + i, count) + Float4::loadPartial (lowBack + i, count))
                       * values.get (outputIndex, i, count);
    const Float4 limited = Float4::max (Float4::negate (ceiling), Float4::min (ceiling, wet));
    const Float4 mixed = limited * mix + drySample * (one - mix);
    const Float4 result = (mixed * values.get (masterIndex, i, count)) * power + drySample * (one - power);

    peak = Float4::max (Float4::abs (result), peak);
    result.storePartial (out + i, count);
    return Float4::abs (wet - limited);
}
} // namespace

// The chain's loops call small helpers (the lanes' arithmetic, the per-frame kernels) that the
// compiler would otherwise leave as calls; inlining them changes no arithmetic, only the cost.
#if defined(__GNUC__)
#define CHAIN_FLATTEN __attribute__ ((flatten))
#else
#define CHAIN_FLATTEN
#endif

namespace
{
/** Applies one curve to n samples. The mode is a constant of each loop, so the curve's switch
    is decided once rather than per sample.
*/
template <int clipMode>
void shapeSamplesAs (float* data, int n, ClipCurve curve) noexcept
{
    curve.mode = clipMode;

    for (int j = 0; j < n; ++j)
        data[j] = curve.apply (data[j]);
}

void shapeSamples (float* data, int n, const ClipCurve& curve) noexcept
{
    switch (curve.mode)
    {
        case ClipCurve::soft:
            shapeSamplesAs<ClipCurve::soft> (data, n, curve);
            break;
        case ClipCurve::hard:
            shapeSamplesAs<ClipCurve::hard> (data, n, curve);
            break;
        default:
            shapeSamplesAs<ClipCurve::punch> (data, n, curve);
            break;
    }
}
} // namespace

void OstrelAudioProcessor::shapeClipBuffer (int numChannels, int numSamples, int clipMode, int osIndex,
                                            const float* shapes, bool steadyShape) noexcept
{
    auto* oversampler = osIndex >= 1 ? oversamplers[(size_t) osIndex].get() : nullptr;
    auto block = juce::dsp::AudioBlock<float> (clipBuffer)
                     .getSubsetChannelBlock (0, (size_t) numProcessChannels)
                     .getSubBlock (0, (size_t) numSamples);
    auto shaped = oversampler != nullptr ? oversampler->processSamplesUp (block) : block;
    const int factor = oversampler != nullptr ? 1 << osIndex : 1;

    for (int c = 0; c < numChannels; ++c)
    {
        auto* data = shaped.getChannelPointer ((size_t) c);
        float curveShape = shapes[0];
        auto curve = ClipCurve::make (clipMode, curveShape);

        // While the shape holds still over the block, which is most of the time, one plain loop
        // applies the same curve to every sample, as the per-sample loop below would.
        if (steadyShape)
        {
            shapeSamples (data, numSamples * factor, curve);
            continue;
        }

        // The shape changes once per base-rate sample: sample j uses shapes[j / factor].
        for (int i = 0; i < numSamples; ++i, data += factor)
        {
            if (shapes[i] != curveShape)
            {
                curveShape = shapes[i];
                curve = ClipCurve::make (clipMode, curveShape);
            }

            for (int k = 0; k < factor; ++k)
                data[k] = curve.apply (data[k]);
        }
    }

    if (oversampler != nullptr)
        oversampler->processSamplesDown (block);
}

template <typename Values>
CHAIN_FLATTEN void OstrelAudioProcessor::processChain (float* const* channels, int numChannels, int numSamples,
                                                       int clipMode, int osIndex, const Values& values) noexcept
{
    // A host may hand over a buffer without channels; the smoothers have moved on regardless.
    if (numChannels < 1)
        return;

    auto& acc = accumulators;
    float* const pre[2] = { clipBuffer.getWritePointer (0), clipBuffer.getWritePointer (1) };
    float* const low[2] = { lowBandBuffer.getWritePointer (0), lowBandBuffer.getWritePointer (1) };
    float* const dry[2] = { dryBuffer.getWritePointer (0), dryBuffer.getWritePointer (1) };
    const bool stereo = numChannels > 1;

    {
        // Mono runs its channel on both sides; the right side's results go unused.
        const float* inL = channels[0];
        const float* inR = stereo ? channels[1] : channels[0];
        auto dc = dcFilter, band = bandFilter;
        Float4 peakL = Float4::zero(), peakR = Float4::zero();

        int i = 0;
        for (; i + 4 <= numSamples; i += 4)
            frontEndFrames (inL, inR, pre, low, dry, i, 4, values, dc, band, peakL, peakR);

        if (i < numSamples)
            frontEndFrames (inL, inR, pre, low, dry, i, numSamples - i, values, dc, band, peakL, peakR);

        dcFilter = dc;
        bandFilter = band;
        acc.inputPeak[0] = juce::jmax (acc.inputPeak[0], largestLane (peakL));

        if (stereo)
            acc.inputPeak[1] = juce::jmax (acc.inputPeak[1], largestLane (peakR));
    }

    // The dry signal and the low band wait for the oversampler's latency.
    if (osIndex >= 1)
    {
        for (int c = 0; c < numChannels; ++c)
        {
            delayThroughRing (dryDelayRing.getWritePointer (c), delayRingSize, delayWritePosition, currentLatency,
                              dry[c], numSamples);
            delayThroughRing (lowBandDelayRing.getWritePointer (c), delayRingSize, delayWritePosition, currentLatency,
                              low[c], numSamples);
        }

        delayWritePosition = (delayWritePosition + numSamples) % delayRingSize;
    }

    shapeClipBuffer (numChannels, numSamples, clipMode, osIndex, values.shapes(), values.shapeIsSteady (numSamples));

    Float4 peakL = Float4::zero(), peakR = Float4::zero();
    float clipSum = acc.clipSum;

    // The clip meter sums frame by frame, left before right, as the samples come.
    const auto outputStage = [&] (int i, int count)
    {
        const Float4 left = outputFrames (pre[0], low[0], dry[0], channels[0], i, count, values, peakL);
        const Float4 right =
            stereo ? outputFrames (pre[1], low[1], dry[1], channels[1], i, count, values, peakR) : Float4::zero();

        if (! (left.anyNonZero() || right.anyNonZero()))
            return;

        float l[4], r[4];
        left.store (l);
        right.store (r);

        for (int f = 0; f < count; ++f)
        {
            clipSum += l[f];

            if (stereo)
                clipSum += r[f];
        }
    };

    int i = 0;
    for (; i + 4 <= numSamples; i += 4)
        outputStage (i, 4);

    if (i < numSamples)
        outputStage (i, numSamples - i);

    acc.clipSum = clipSum;
    acc.outputPeak[0] = juce::jmax (acc.outputPeak[0], largestLane (peakL));

    if (stereo)
        acc.outputPeak[1] = juce::jmax (acc.outputPeak[1], largestLane (peakR));
}

void OstrelAudioProcessor::processChunk (float* const* channels, int numChannels, int numSamples) noexcept
{
    setSmootherTargets();

    const int clipMode = roundIndex (raw.mode->load (std::memory_order_relaxed), 2);
    const int osIndex = roundIndex (raw.oversampling->load (std::memory_order_relaxed), 3);
    const bool oversampled = osIndex >= 1 && oversamplers[(size_t) osIndex] != nullptr;

    const int newLatency = oversampled ? (int) std::lround (oversamplers[(size_t) osIndex]->getLatencyInSamples()) : 0;

    if (newLatency != currentLatency)
    {
        currentLatency = newLatency;
        setLatencySamples (newLatency);
        dryDelayRing.clear();
        lowBandDelayRing.clear();
        delayWritePosition = 0;
    }

    accumulators = {};

    if (numSamples > 0)
    {
        juce::SmoothedValue<float>* const smoothers[] = { &inputGainSmoother,  &shapeSmoother,   &outputGainSmoother,
                                                          &masterGainSmoother, &mixSmoother,     &edgeSmoother,
                                                          &lowProtectSmoother, &ceilingSmoother, &powerSmoother };
        static_assert (std::size (smoothers) == numSmoothedIndices && numSmoothedIndices == numSmoothedValues);

        const bool moving = std::any_of (std::begin (smoothers), std::end (smoothers),
                                         [] (const auto* smoother) { return smoother->isSmoothing(); });
        const int chainOsIndex = oversampled ? osIndex : 0;

        if (moving)
        {
            RampValues values;

            for (size_t k = 0; k < numSmoothedIndices; ++k)
            {
                auto* array = workArrays[k].data();

                for (int i = 0; i < numSamples; ++i)
                    array[i] = smoothers[k]->getNextValue();

                values.values[k] = array;
            }

            processChain (channels, numChannels, numSamples, clipMode, chainOsIndex, values);
        }
        else
        {
            // No smoother moves in this block, so every step would return its target.
            SteadyValues values;

            for (size_t k = 0; k < numSmoothedIndices; ++k)
                values.values[k] = Float4::broadcast (smoothers[k]->getTargetValue());

            values.shape = shapeSmoother.getTargetValue();
            processChain (channels, numChannels, numSamples, clipMode, chainOsIndex, values);
        }
    }

    publishMeters (numSamples, numChannels);
}

//==============================================================================
float OstrelAudioProcessor::levelFromSample (float v) noexcept
{
    const float magnitude = std::abs (v);

    if (! (magnitude > 0.000001f))
        return 0.0f;

    const float db = juce::jmax (-72.0f, 20.0f * std::log10 (magnitude));
    return juce::jlimit (0.0f, 1.0f, (db + 60.0f) / 60.0f);
}

void OstrelAudioProcessor::publishMeters (int numSamples, int numChannels) noexcept
{
    // The meter scale is monotonic in |v|, so converting the block's largest magnitude gives the
    // same value as taking the largest converted sample.
    const auto& acc = accumulators;
    const auto decay = [] (std::atomic<float>& meter, float factor, float peak)
    { meter.store (juce::jmax (meter.load() * factor, peak)); };

    decay (inputLevel[0], 0.87f, levelFromSample (acc.inputPeak[0]));
    decay (outputLevel[0], 0.87f, levelFromSample (acc.outputPeak[0]));
    decay (inputLevel[1], 0.87f, levelFromSample (acc.inputPeak[1]));
    decay (outputLevel[1], 0.87f, levelFromSample (acc.outputPeak[1]));

    const auto divisor = (float) juce::jmax (1, numSamples * juce::jmax (1, numChannels));
    decay (clipAmount, 0.86f, juce::jlimit (0.0f, 1.0f, 6.0f * acc.clipSum / divisor));
}

//==============================================================================
void OstrelAudioProcessor::setParamValue (const juce::String& parameterID, float value)
{
    if (auto* parameter = apvts.getParameter (parameterID))
        parameter->setValueNotifyingHost (parameter->convertTo0to1 (value));
}

void OstrelAudioProcessor::parameterChanged (const juce::String&, float)
{
    if (! suppressModified.load())
        currentPresetModified.store (true);
}

void OstrelAudioProcessor::setCurrentPresetInfo (const juce::String& name, bool isUser, bool modified)
{
    {
        const juce::ScopedLock lock (presetInfoLock);
        currentPresetName = name.isEmpty() ? juce::String ("Presets") : name;
        currentPresetIsUser = isUser;
    }

    currentPresetModified.store (modified);
}

juce::String OstrelAudioProcessor::getCurrentPresetName() const
{
    const juce::ScopedLock lock (presetInfoLock);
    return currentPresetName;
}

bool OstrelAudioProcessor::isCurrentPresetUser() const
{
    const juce::ScopedLock lock (presetInfoLock);
    return currentPresetIsUser;
}

// The VST3 wrapper publishes a program list for a single program, and a program without a name
// fails validation.
const juce::String OstrelAudioProcessor::getProgramName (int) { return "Default"; }

//==============================================================================
void OstrelAudioProcessor::getStateInformation (juce::MemoryBlock& destData)
{
    auto state = apvts.copyState();

    {
        const juce::ScopedLock lock (presetInfoLock);
        state.setProperty ("uiCurrentPresetName", currentPresetName, nullptr);
        state.setProperty ("uiCurrentPresetIsUser", currentPresetIsUser, nullptr);
    }

    state.setProperty ("uiCurrentPresetModified", currentPresetModified.load(), nullptr);

    if (state.isValid())
        if (auto xml = state.createXml())
            copyXmlToBinary (*xml, destData);
}

void OstrelAudioProcessor::setStateInformation (const void* data, int sizeInBytes)
{
    // getXmlFromBinary checks the magic, the length and the XML, and cuts the length to the data;
    // the text it would take must be safe to parse first (see XmlText).
    if (sizeInBytes > 8 && data != nullptr)
    {
        const auto storedLength = (int) juce::ByteOrder::littleEndianInt (juce::addBytesToPointer (data, 4));

        if (! XmlText::isSafeToParse (juce::addBytesToPointer (data, 8), juce::jmin (storedLength, sizeInBytes - 8)))
            return;
    }

    const auto xml = getXmlFromBinary (data, sizeInBytes);

    if (xml == nullptr)
        return;

    auto state = juce::ValueTree::fromXml (*xml);

    if (! state.isValid())
        return;

    const auto name = state.getProperty ("uiCurrentPresetName", "Presets").toString();
    const bool isUser = state.getProperty ("uiCurrentPresetIsUser", false);
    const bool modified = state.getProperty ("uiCurrentPresetModified", false);

    suppressModified.store (true);
    apvts.replaceState (completeParameterTree (std::move (state)));
    suppressModified.store (false);

    setCurrentPresetInfo (name, isUser, modified);
}

juce::ValueTree OstrelAudioProcessor::completeParameterTree (juce::ValueTree tree) const
{
    for (auto* id : ParamIDs::all)
    {
        const float present = apvts.getRawParameterValue (id)->load();
        bool found = false;

        // The framework applies every child that names a parameter, so each one is checked.
        for (auto child : tree)
        {
            if (child.getProperty ("id").toString() != id)
                continue;

            found = true;

            // The framework gives a child without a value the default, and would pass "nan" or
            // "inf" on to the parameter; both keep the present value instead.
            if (! child.hasProperty ("value") || ! std::isfinite ((double) child.getProperty ("value")))
                child.setProperty ("value", present, nullptr);
        }

        // replaceState would reset a parameter without a child to its default.
        if (! found)
        {
            juce::ValueTree child ("PARAM");
            child.setProperty ("id", id, nullptr);
            child.setProperty ("value", present, nullptr);
            tree.appendChild (child, nullptr);
        }
    }

    return tree;
}

//==============================================================================
namespace
{
/** A factory preset's values in the parameters' own units; master is never part of one. */
struct FactoryPreset
{
    const char* name;
    float mode, input, shape, ceiling, output, mix, edge, lowProtect, oversampling;
};

constexpr FactoryPreset factoryPresets[] = {
    { "Punchy Drums", 2, 6.0f, 56, -1.0f, 2.0f, 100, 18, 52, 2 },
    { "Loud Mix Bus", 0, 3.0f, 34, -1.0f, 1.0f, 80, 8, 68, 2 },
    { "Snare Forward", 2, 8.0f, 62, -1.8f, 0.5f, 88, 36, 34, 1 },
    { "Clipper Glue", 1, 4.0f, 46, -0.8f, 1.5f, 72, 4, 72, 2 },
    { "Warm Masters", 0, 2.0f, 24, -1.2f, 0.0f, 64, -10, 84, 3 },
    { "Parallel Smash", 2, 10.0f, 72, -2.2f, 0.0f, 42, 20, 40, 2 },
    { "Vocal Peak Tame", 0, 3.0f, 28, -1.4f, -0.5f, 68, 6, 78, 1 },
    { "808 Grip", 1, 5.0f, 52, -1.5f, 1.0f, 100, -8, 92, 2 },
    { "Aggro Guitars", 2, 7.0f, 58, -1.2f, 1.2f, 90, 28, 38, 1 },
    { "Clean Loudness", 0, 1.5f, 18, -0.8f, 0.5f, 100, 0, 88, 3 },
};

const FactoryPreset* findFactoryPreset (const juce::String& name)
{
    for (const auto& preset : factoryPresets)
        if (name == preset.name)
            return &preset;

    return nullptr;
}
} // namespace

const juce::StringArray OstrelAudioProcessor::factoryPresetNames = []
{
    juce::StringArray names;

    for (const auto& preset : factoryPresets)
        names.add (preset.name);

    return names;
}();

void OstrelAudioProcessor::applyFactoryPreset (const juce::String& name)
{
    const auto* preset = findFactoryPreset (name);

    if (preset == nullptr)
        return;

    suppressModified.store (true);

    const float master = raw.master->load();

    setParamValue (ParamIDs::power, 1.0f);
    setParamValue (ParamIDs::mode, preset->mode);
    setParamValue (ParamIDs::input, preset->input);
    setParamValue (ParamIDs::shape, preset->shape);
    setParamValue (ParamIDs::ceiling, preset->ceiling);
    setParamValue (ParamIDs::output, preset->output);
    setParamValue (ParamIDs::mix, preset->mix);
    setParamValue (ParamIDs::edge, preset->edge);
    setParamValue (ParamIDs::lowProtect, preset->lowProtect);
    setParamValue (ParamIDs::oversampling, preset->oversampling);
    setParamValue (ParamIDs::master, master);

    suppressModified.store (false);
    setCurrentPresetInfo (name, false, false);
}

//==============================================================================
juce::StringArray OstrelAudioProcessor::getUserPresetNames() const
{
    juce::StringArray names;
    const auto folder = presetManager.getPresetsDirectory();

    if (! folder.isDirectory())
        return names;

    for (const auto& file : folder.findChildFiles (juce::File::findFiles, false, "*.xml"))
        names.add (file.getFileNameWithoutExtension());

    names.sort (true);
    return names;
}

bool OstrelAudioProcessor::saveUserPreset (const juce::String& name)
{
    const auto state = apvts.copyState();
    const auto folder = presetManager.getPresetsDirectory();

    // The folder may have been removed since construction; if this fails, so does the write.
    if (! folder.isDirectory())
        folder.createDirectory();

    if (! state.isValid())
        return false;

    const auto xml = state.createXml();

    // writeTo goes through a temporary file, so an existing preset is replaced only by a
    // complete new one.
    if (xml == nullptr || ! xml->writeTo (presetManager.getPresetFile (name)))
        return false;

    setCurrentPresetInfo (name, true, false);
    return true;
}

bool OstrelAudioProcessor::loadUserPreset (const juce::String& name)
{
    const auto file = presetManager.getPresetFile (name);

    // A preset file is about a kilobyte. A far larger one is not a preset, and parsing it would
    // read all of it into memory on the message thread first.
    if (! file.existsAsFile() || file.getSize() > largestPresetFileBytes)
        return false;

    juce::MemoryBlock bytes;

    if (! file.loadFileAsData (bytes))
        return false;

    const auto xml = XmlText::parseFileData (bytes);

    if (xml == nullptr)
        return false;

    auto tree = juce::ValueTree::fromXml (*xml);

    if (! tree.isValid())
        return false;

    const float master = raw.master->load();

    // Processing is suspended only now, so a file that cannot be read never interrupts audio.
    const ScopedProcessingSuspend suspend (*this);

    suppressModified.store (true);
    apvts.replaceState (completeParameterTree (std::move (tree)));
    setParamValue (ParamIDs::master, master);
    suppressModified.store (false);

    setCurrentPresetInfo (name, true, false);
    return true;
}

bool OstrelAudioProcessor::renameUserPreset (const juce::String& oldName, const juce::String& newName)
{
    const auto oldFile = presetManager.getPresetFile (oldName);
    const auto newFile = presetManager.getPresetFile (newName);

    if (! oldFile.existsAsFile() || newName.trim().isEmpty())
        return false;

    // Never overwrite: names that reduce to the same file name (such as "A" and "A!") fail here.
    if (newFile.existsAsFile() || ! oldFile.moveFileTo (newFile))
        return false;

    const juce::ScopedLock lock (presetInfoLock);

    if (isCurrentUserPreset (oldName))
        setCurrentPresetInfo (newName, true, false);

    return true;
}

bool OstrelAudioProcessor::deleteUserPreset (const juce::String& name)
{
    const auto file = presetManager.getPresetFile (name);

    if (! file.existsAsFile() || ! file.deleteFile())
        return false;

    const juce::ScopedLock lock (presetInfoLock);

    if (isCurrentUserPreset (name))
        setCurrentPresetInfo ("Presets", false, false);

    return true;
}

bool OstrelAudioProcessor::isCurrentUserPreset (const juce::String& name) const
{
    const juce::ScopedLock lock (presetInfoLock);
    return currentPresetIsUser && currentPresetName.equalsIgnoreCase (name);
}

juce::AudioProcessorEditor* OstrelAudioProcessor::createEditor() { return new OstrelAudioProcessorEditor (*this); }

juce::AudioProcessor* JUCE_CALLTYPE createPluginFilter() { return new OstrelAudioProcessor(); }
