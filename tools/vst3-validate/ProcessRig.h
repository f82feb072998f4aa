#pragma once

#include "Instance.h"

#include <pluginterfaces/vst/ivstprocesscontext.h>

#include <random>

/** Drives a plug-in's audio processing like a host: prepares it, feeds blocks with test signals
    and sample-accurate parameter changes, and checks every output sample.
*/
class ProcessRig
{
public:
    enum class Signal
    {
        silence,
        noise,
        fullScale
    };

    static const char* signalName (Signal signal);

    ProcessRig (PluginInstance& instance, std::mt19937& random, double outputBound);
    ~ProcessRig();

    /** setupProcessing, setActive (true) and setProcessing (true) with buffers for every bus.
        In place means the output buffers are the input buffers, as some hosts arrange it. The
        process mode is realtime, prefetch or offline (rendering).
    */
    bool start (double sampleRate, int maxBlockSize, Steinberg::int32 sampleSize = Steinberg::Vst::kSample32,
                bool inPlace = false, Steinberg::int32 processMode = Steinberg::Vst::kRealtime);

    /** setProcessing (false) and setActive (false). */
    void stop();

    bool isStarted() const noexcept { return started; }

    /** Processes a block of numSamples (0 allowed). With automation, random parameter changes
        (single points, several points and ramps) arrive with it. Returns false on a failure.
    */
    bool process (int numSamples, Signal signal, bool automate);

    /** A call with no samples and no audio buffers that only delivers parameter changes, as
        hosts send while the transport is stopped.
    */
    bool flushParameters (bool withEmptyBuses);

    /** Queues a parameter change for the next block. */
    void queueChange (Steinberg::Vst::ParamID id, double value, Steinberg::int32 offset = 0);

    int getMaxBlockSize() const noexcept { return maxBlock; }
    double getSampleRate() const noexcept { return rate; }
    int getNumOutputChannels (int bus) const { return (int) outputs[(std::size_t) bus].numChannels; }

    /** The largest |sample| of the last block's outputs. */
    double getLastOutputPeak() const noexcept { return lastPeak; }

    /** A sample of the last block on the first input or output bus. */
    double lastInputSample (std::size_t channel, int index) const;
    double lastOutputSample (std::size_t channel, int index) const;
    int getLastBlockSize() const noexcept { return lastBlockSize; }

    /** Appends the last block's output samples (every bus and channel) to the list. */
    void appendLastOutput (std::vector<double>& samples) const;

    /** Where the rig is, for failure messages: rate, block size, precision. */
    std::string where() const;

private:
    struct Bus
    {
        std::vector<std::vector<float>> channels32;
        std::vector<std::vector<double>> channels64;
        std::vector<float*> pointers32;
        std::vector<double*> pointers64;
        std::size_t numChannels = 0;
    };

    void allocateBuses (Steinberg::Vst::BusDirection direction, std::vector<Bus>& buses);
    void fillInput (int numSamples, Signal signal);
    void addRandomAutomation (int numSamples);
    bool checkOutput (int numSamples, Signal signal);
    void bindBuffers (std::vector<Steinberg::Vst::AudioBusBuffers>& buffers, std::vector<Bus>& buses);

    PluginInstance& instance;
    std::mt19937& rng;
    double bound;

    ParameterChanges inputChanges, outputChanges;
    EventList inputEvents, outputEvents;
    Steinberg::Vst::ProcessContext context {};

    std::vector<Bus> inputs, outputs;
    std::vector<Steinberg::Vst::AudioBusBuffers> inputBuffers, outputBuffers;
    std::vector<Steinberg::Vst::ParamID> automatable;

    double rate = 0.0;
    int maxBlock = 0;
    Steinberg::int32 symbolicSize = Steinberg::Vst::kSample32;
    bool inPlaceBuffers = false;
    Steinberg::int32 mode = Steinberg::Vst::kRealtime;
    bool started = false;
    bool reportedBadOutput = false;
    long long sampleClock = 0;
    int lastBlockSize = 0;
    double lastPeak = 0.0;
    int blockCounter = 0;
    double phase = 0.0;
};
