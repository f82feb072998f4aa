#include "ProcessRig.h"

#include "Report.h"

#include <cmath>
#include <limits>

using namespace Steinberg;

const char* ProcessRig::signalName (Signal signal)
{
    switch (signal)
    {
        case Signal::silence:
            return "silence";
        case Signal::noise:
            return "noise";
        case Signal::fullScale:
            return "full-scale";
    }

    return "?";
}

ProcessRig::ProcessRig (PluginInstance& inst, std::mt19937& random, double outputBound) :
    instance (inst), rng (random), bound (outputBound), inputChanges (inst.parameters.size()),
    outputChanges (inst.parameters.size())
{
    for (const auto& p : instance.parameters)
        if ((p.flags & Vst::ParameterInfo::kIsReadOnly) == 0)
            automatable.push_back (p.id);
}

ProcessRig::~ProcessRig() { stop(); }

std::string ProcessRig::where() const
{
    return std::to_string ((int) rate) + " Hz, max block " + std::to_string (maxBlock)
           + (symbolicSize == Vst::kSample64 ? ", 64-bit" : "") + (inPlaceBuffers ? ", in place" : "")
           + (mode == Vst::kOffline ? ", offline" : "");
}

void ProcessRig::allocateBuses (Vst::BusDirection direction, std::vector<Bus>& buses)
{
    const auto count = instance.component->getBusCount (Vst::kAudio, direction);
    buses.assign ((std::size_t) std::max (count, 0), {});

    for (int32 b = 0; b < count; ++b)
    {
        Vst::SpeakerArrangement arrangement = 0;

        if (instance.processor->getBusArrangement (direction, b, arrangement) != kResultOk)
        {
            Vst::BusInfo info {};
            instance.component->getBusInfo (Vst::kAudio, direction, b, info);
            arrangement = info.channelCount > 0 ? (Vst::SpeakerArrangement) ((1ull << info.channelCount) - 1) : 0;
        }

        auto& bus = buses[(std::size_t) b];
        const auto numChannels = Vst::SpeakerArr::getChannelCount (arrangement);

        bus.numChannels = (std::size_t) std::max (numChannels, 0);

        for (int c = 0; c < numChannels; ++c)
        {
            bus.channels32.emplace_back ((std::size_t) maxBlock);
            bus.channels64.emplace_back ((std::size_t) maxBlock);
        }

        for (int c = 0; c < numChannels; ++c)
        {
            bus.pointers32.push_back (bus.channels32[(std::size_t) c].data());
            bus.pointers64.push_back (bus.channels64[(std::size_t) c].data());
        }
    }
}

bool ProcessRig::start (double sampleRate, int maxBlockSize, int32 sampleSize, bool inPlace, int32 processMode)
{
    stop();
    rate = sampleRate;
    maxBlock = maxBlockSize;
    symbolicSize = sampleSize;
    inPlaceBuffers = inPlace;
    mode = processMode;
    reportedBadOutput = false;
    sampleClock = 0;

    Vst::ProcessSetup setup { processMode, sampleSize, maxBlockSize, sampleRate };

    if (! report::expect (instance.processor->setupProcessing (setup) == kResultOk,
                          "setupProcessing failed at " + where()))
        return false;

    allocateBuses (Vst::kInput, inputs);
    allocateBuses (Vst::kOutput, outputs);

    // In place, each output channel shares the input channel's memory where there is one.
    if (inPlace)
        for (std::size_t b = 0; b < outputs.size() && b < inputs.size(); ++b)
            for (std::size_t c = 0; c < outputs[b].numChannels && c < inputs[b].numChannels; ++c)
            {
                outputs[b].pointers32[c] = inputs[b].pointers32[c];
                outputs[b].pointers64[c] = inputs[b].pointers64[c];
            }

    if (! report::expect (instance.component->setActive (true) == kResultOk, "setActive (true) failed at " + where()))
        return false;

    const auto processing = instance.processor->setProcessing (true);
    started = true;
    return report::expect (processing == kResultOk || processing == kNotImplemented,
                           "setProcessing (true) failed at " + where());
}

void ProcessRig::stop()
{
    if (! started)
        return;

    started = false;
    const auto processing = instance.processor->setProcessing (false);
    report::expect (processing == kResultOk || processing == kNotImplemented,
                    "setProcessing (false) failed at " + where());
    report::expect (instance.component->setActive (false) == kResultOk, "setActive (false) failed at " + where());
}

void ProcessRig::queueChange (Vst::ParamID id, double value, int32 offset)
{
    int32 index = 0;

    if (auto* queue = inputChanges.addParameterData (id, index))
        queue->addPoint (offset, value, index);
}

void ProcessRig::fillInput (int numSamples, Signal signal)
{
    std::uniform_real_distribution<float> noise (-1.0f, 1.0f);
    const double period = 16.0 + (double) (rng() % 200);

    for (auto& bus : inputs)
    {
        for (std::size_t c = 0; c < bus.numChannels; ++c)
        {
            for (int i = 0; i < numSamples; ++i)
            {
                float x = 0.0f;

                if (signal == Signal::noise)
                    x = noise (rng);
                else if (signal == Signal::fullScale)
                    x = std::fmod (phase + i, period) < period * 0.5 ? 1.0f : -1.0f;

                bus.channels32[c][(std::size_t) i] = x;
                bus.channels64[c][(std::size_t) i] = x;
            }
        }
    }

    phase += numSamples;
}

void ProcessRig::addRandomAutomation (int numSamples)
{
    if (automatable.empty() || rng() % 2 == 0)
        return;

    std::uniform_real_distribution<double> unit (0.0, 1.0);
    const auto lastOffset = std::max (numSamples - 1, 0);
    const auto numParams = 1 + (int) (rng() % std::min<std::size_t> (4, automatable.size()));

    for (int n = 0; n < numParams; ++n)
    {
        const auto id = automatable[rng() % automatable.size()];
        int32 index = 0;
        auto* queue = inputChanges.addParameterData (id, index);

        if (queue == nullptr)
            continue;

        switch (rng() % 3)
        {
            case 0: // one point anywhere in the block
                queue->addPoint ((int32) (rng() % (unsigned) (lastOffset + 1)), unit (rng), index);
                break;

            case 1: // a few points at random offsets
                for (int k = 0, count = 2 + (int) (rng() % 3); k < count; ++k)
                    queue->addPoint ((int32) (rng() % (unsigned) (lastOffset + 1)), unit (rng), index);
                break;

            default: // a ramp across the block
            {
                const double from = unit (rng), to = unit (rng);

                for (int k = 0; k <= 4; ++k)
                    queue->addPoint ((int32) (lastOffset * k / 4), from + (to - from) * k / 4.0, index);
                break;
            }
        }
    }
}

void ProcessRig::bindBuffers (std::vector<Vst::AudioBusBuffers>& buffers, std::vector<Bus>& buses)
{
    buffers.assign (buses.size(), {});

    for (std::size_t b = 0; b < buses.size(); ++b)
    {
        buffers[b].numChannels = (int32) buses[b].numChannels;
        buffers[b].silenceFlags = 0;

        if (symbolicSize == Vst::kSample64)
            buffers[b].channelBuffers64 = buses[b].pointers64.data();
        else
            buffers[b].channelBuffers32 = buses[b].pointers32.data();
    }
}

double ProcessRig::lastInputSample (std::size_t channel, int index) const
{
    const auto& bus = inputs.at (0);
    return symbolicSize == Vst::kSample64 ? bus.pointers64.at (channel)[index]
                                          : (double) bus.pointers32.at (channel)[index];
}

double ProcessRig::lastOutputSample (std::size_t channel, int index) const
{
    const auto& bus = outputs.at (0);
    return symbolicSize == Vst::kSample64 ? bus.pointers64.at (channel)[index]
                                          : (double) bus.pointers32.at (channel)[index];
}

void ProcessRig::appendLastOutput (std::vector<double>& samples) const
{
    for (const auto& bus : outputs)
        for (std::size_t c = 0; c < bus.numChannels; ++c)
            for (int i = 0; i < lastBlockSize; ++i)
                samples.push_back (symbolicSize == Vst::kSample64 ? bus.pointers64[c][i]
                                                                  : (double) bus.pointers32[c][i]);
}

bool ProcessRig::checkOutput (int numSamples, Signal signal)
{
    lastBlockSize = numSamples;
    lastPeak = 0.0;

    for (std::size_t b = 0; b < outputs.size(); ++b)
    {
        for (std::size_t c = 0; c < outputs[b].numChannels; ++c)
        {
            for (int i = 0; i < numSamples; ++i)
            {
                const double x =
                    symbolicSize == Vst::kSample64 ? outputs[b].pointers64[c][i] : (double) outputs[b].pointers32[c][i];

                if (std::isfinite (x) && std::abs (x) <= bound)
                {
                    lastPeak = std::max (lastPeak, std::abs (x));
                    continue;
                }

                if (! reportedBadOutput)
                    report::fail ("output bus " + std::to_string (b) + " channel " + std::to_string (c) + " sample "
                                  + std::to_string (i) + " is " + std::to_string (x)
                                  + (std::isfinite (x) ? " (beyond the bound)" : " (not finite or not written)")
                                  + " at " + where() + ", block " + std::to_string (numSamples) + ", "
                                  + signalName (signal) + " input");

                reportedBadOutput = true;
                return false;
            }
        }
    }

    return true;
}

bool ProcessRig::process (int numSamples, Signal signal, bool automate)
{
    fillInput (numSamples, signal);

    // Output samples start as NaN, so a sample the plug-in does not write is caught.
    if (! inPlaceBuffers)
        for (auto& bus : outputs)
            for (std::size_t c = 0; c < bus.numChannels; ++c)
                for (int i = 0; i < numSamples; ++i)
                {
                    bus.channels32[c][(std::size_t) i] = std::numeric_limits<float>::quiet_NaN();
                    bus.channels64[c][(std::size_t) i] = std::numeric_limits<double>::quiet_NaN();
                }

    if (automate)
        addRandomAutomation (numSamples);

    bindBuffers (inputBuffers, inputs);
    bindBuffers (outputBuffers, outputs);

    context.state = Vst::ProcessContext::kPlaying | Vst::ProcessContext::kTempoValid
                    | Vst::ProcessContext::kTimeSigValid | Vst::ProcessContext::kProjectTimeMusicValid;
    context.sampleRate = rate;
    context.projectTimeSamples = sampleClock;
    context.tempo = 120.0;
    context.projectTimeMusic = (double) sampleClock / rate * 2.0;
    context.timeSigNumerator = 4;
    context.timeSigDenominator = 4;

    Vst::ProcessData data;
    data.processMode = mode;
    data.symbolicSampleSize = symbolicSize;
    data.numSamples = numSamples;
    data.numInputs = (int32) inputBuffers.size();
    data.numOutputs = (int32) outputBuffers.size();
    data.inputs = inputBuffers.empty() ? nullptr : inputBuffers.data();
    data.outputs = outputBuffers.empty() ? nullptr : outputBuffers.data();
    data.inputParameterChanges = &inputChanges;
    data.outputParameterChanges = &outputChanges;
    data.inputEvents = &inputEvents;
    data.outputEvents = &outputEvents;
    // Some hosts pass no context now and then.
    data.processContext = (++blockCounter % 7 == 0) ? nullptr : &context;

    const auto result = instance.processor->process (data);

    inputChanges.clear();
    outputChanges.clear();
    outputEvents.clear();
    sampleClock += numSamples;

    if (! report::expect (result == kResultOk,
                          "process returned an error at " + where() + ", block " + std::to_string (numSamples)))
        return false;

    return checkOutput (numSamples, signal);
}

bool ProcessRig::flushParameters (bool withEmptyBuses)
{
    addRandomAutomation (1);

    std::vector<Vst::AudioBusBuffers> emptyIn (inputs.size()), emptyOut (outputs.size());

    Vst::ProcessData data;
    data.processMode = mode;
    data.symbolicSampleSize = symbolicSize;
    data.numSamples = 0;
    data.inputParameterChanges = &inputChanges;
    data.outputParameterChanges = &outputChanges;

    if (withEmptyBuses)
    {
        data.numInputs = (int32) emptyIn.size();
        data.numOutputs = (int32) emptyOut.size();
        data.inputs = emptyIn.empty() ? nullptr : emptyIn.data();
        data.outputs = emptyOut.empty() ? nullptr : emptyOut.data();
    }

    const auto result = instance.processor->process (data);
    inputChanges.clear();
    outputChanges.clear();

    return report::expect (result == kResultOk, std::string ("a parameter flush (no samples, ")
                                                    + (withEmptyBuses ? "buses without channels" : "no buses")
                                                    + ") returned an error at " + where());
}
