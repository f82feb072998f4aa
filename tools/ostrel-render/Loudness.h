#pragma once

#include <ebur128.h>

#include <cstdint>
#include <memory>
#include <vector>

/** The figures the report gives for one signal. Levels of silence are minus infinity. */
struct LoudnessFigures
{
    double samplePeakDb = 0.0;    // dBFS
    double truePeakDb = 0.0;      // dBTP, libebur128's oversampled peak
    double integratedLufs = 0.0;  // gated integrated loudness
    double loudnessRangeLu = 0.0; // loudness range
    double atCeilingShare = 0.0;  // share of samples (all channels) at or above the ceiling, 0 … 1
};

/** Measures one signal as it streams past: loudness, loudness range and true peak through
    libebur128, and how many samples reach a given ceiling.
*/
class LoudnessMeter
{
public:
    /** Throws RenderFailure when libebur128 cannot measure this channel count or rate. */
    LoudnessMeter (int numChannels, double sampleRate, float ceilingGain);
    ~LoudnessMeter();

    void add (const float* const* channels, int numSamples);
    LoudnessFigures figures() const;

    /** Samples within this many dB below the ceiling count as at the ceiling: the mix arithmetic
        after the hard clip may leave a clipped sample a few rounding steps short of it.
    */
    static constexpr double ceilingToleranceDb = 0.01;

private:
    struct StateDeleter
    {
        void operator() (ebur128_state*) const noexcept;
    };

    std::unique_ptr<ebur128_state, StateDeleter> state;
    int numChannels;
    float threshold;
    std::vector<float> interleaved;
    std::int64_t samplesAtCeiling = 0, samplesSeen = 0;
};
