#include "Loudness.h"

#include "Options.h"

#include <cmath>
#include <limits>

namespace
{
double toDecibels (double gain)
{
    return gain > 0.0 ? 20.0 * std::log10 (gain) : -std::numeric_limits<double>::infinity();
}

/** libebur128 reports the loudness of silence as −HUGE_VAL; anything not finite is −∞ here. */
double finiteOrMinusInfinity (double value)
{
    return std::isfinite (value) ? value : -std::numeric_limits<double>::infinity();
}
} // namespace

void LoudnessMeter::StateDeleter::operator() (ebur128_state* s) const noexcept { ebur128_destroy (&s); }

LoudnessMeter::LoudnessMeter (int channels, double sampleRate, float ceilingGain) :
    state (ebur128_init ((unsigned) channels, (unsigned long) std::lround (sampleRate),
                         EBUR128_MODE_I | EBUR128_MODE_LRA | EBUR128_MODE_TRUE_PEAK)),
    numChannels (channels), threshold ((float) (ceilingGain * std::pow (10.0, -ceilingToleranceDb / 20.0)))
{
    if (state == nullptr)
        throw RenderFailure { ExitCode::input, "cannot measure loudness of " + juce::String (channels) + " channels at "
                                                   + juce::String (sampleRate) + " Hz" };
}

LoudnessMeter::~LoudnessMeter() = default;

void LoudnessMeter::add (const float* const* channels, int numSamples)
{
    if (numSamples <= 0)
        return;

    interleaved.resize ((size_t) numSamples * (size_t) numChannels);

    for (int c = 0; c < numChannels; ++c)
        for (int i = 0; i < numSamples; ++i)
        {
            const float v = channels[c][i];
            interleaved[(size_t) (i * numChannels + c)] = v;
            samplesAtCeiling += std::abs (v) >= threshold ? 1 : 0;
        }

    samplesSeen += (std::int64_t) numSamples * numChannels;
    ebur128_add_frames_float (state.get(), interleaved.data(), (size_t) numSamples);
}

LoudnessFigures LoudnessMeter::figures() const
{
    LoudnessFigures f;
    double samplePeak = 0.0, truePeak = 0.0;

    for (int c = 0; c < numChannels; ++c)
    {
        double peak = 0.0;

        if (ebur128_sample_peak (state.get(), (unsigned) c, &peak) == EBUR128_SUCCESS)
            samplePeak = std::max (samplePeak, peak);

        if (ebur128_true_peak (state.get(), (unsigned) c, &peak) == EBUR128_SUCCESS)
            truePeak = std::max (truePeak, peak);
    }

    f.samplePeakDb = toDecibels (samplePeak);
    f.truePeakDb = toDecibels (truePeak);

    double value = 0.0;
    f.integratedLufs = ebur128_loudness_global (state.get(), &value) == EBUR128_SUCCESS
                           ? finiteOrMinusInfinity (value)
                           : -std::numeric_limits<double>::infinity();
    f.loudnessRangeLu = ebur128_loudness_range (state.get(), &value) == EBUR128_SUCCESS ? value : 0.0;
    f.atCeilingShare = samplesSeen > 0 ? (double) samplesAtCeiling / (double) samplesSeen : 0.0;
    return f;
}
