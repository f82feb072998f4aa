#include "DemoLoop.h"

#include <array>
#include <cmath>
#include <cstdint>

namespace
{
constexpr double twoPi = 6.283185307179586;
constexpr double bpm = 174.0;
constexpr int bars = 6;
constexpr int stepsPerBar = 16;

/** A small xorshift generator: the same noise on every machine. */
struct Noise
{
    std::uint32_t state = 0x2545f491u;

    double next() noexcept
    {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        return (double) state / 2147483648.0 - 1.0;
    }
};

/** Adds one voice into both channels from sample `start` on, with the given pan (−1 … 1). */
template <typename Voice>
void addVoice (juce::AudioBuffer<float>& out, int start, int length, double gain, double pan, Voice&& voice)
{
    const double left = gain * std::sqrt (0.5 * (1.0 - pan));
    const double right = gain * std::sqrt (0.5 * (1.0 + pan));
    const int end = std::min (out.getNumSamples(), start + length);

    for (int i = start; i < end; ++i)
    {
        const double v = voice ((double) (i - start) / DemoLoop::sampleRate);
        out.addSample (0, i, (float) (v * left));
        out.addSample (1, i, (float) (v * right));
    }
}

double kick (double t)
{
    // A falling pitch gives the thump, a short burst the click.
    const double phase = twoPi * (45.0 * t + (150.0 - 45.0) * 0.03 * (1.0 - std::exp (-t / 0.03)));
    return std::sin (phase) * std::exp (-t / 0.28) + 0.3 * std::exp (-t / 0.002) * std::sin (twoPi * 1800.0 * t);
}

struct Snare
{
    Noise noise;
    double lowPassed = 0.0;

    double operator() (double t)
    {
        const double n = noise.next();
        lowPassed += 0.35 * (n - lowPassed);
        const double body = std::sin (twoPi * 190.0 * t) * std::exp (-t / 0.06);
        return 0.8 * (n - 0.6 * lowPassed) * std::exp (-t / 0.14) + 0.7 * body;
    }
};

struct Hat
{
    Noise noise;
    double previous = 0.0;
    double decay;

    double operator() (double t)
    {
        const double n = noise.next();
        const double high = n - previous; // a first difference leaves mostly the top octaves
        previous = n;
        return high * std::exp (-t / decay);
    }
};

/** The bass: a sub sine under two detuned, low-passed saws for the growl. */
struct Bass
{
    double frequency;
    double lowPassed = 0.0;

    double operator() (double t)
    {
        const auto saw = [t] (double f) { return 2.0 * (f * t - std::floor (f * t + 0.5)); };
        const double growl = saw (frequency * 1.006) + saw (frequency * 0.994);
        lowPassed += 0.04 * (growl - lowPassed);
        const double envelope = std::min (1.0, t / 0.005) * std::exp (-t / 0.9);
        return envelope * (std::sin (twoPi * frequency * t) + 0.45 * lowPassed);
    }
};
} // namespace

juce::AudioBuffer<float> DemoLoop::render()
{
    const double stepSeconds = 60.0 / bpm / 4.0;
    const int stepLength = (int) std::lround (stepSeconds * sampleRate);
    const int totalSteps = bars * stepsPerBar;

    juce::AudioBuffer<float> out (2, totalSteps * stepLength);
    out.clear();

    // A two-step beat: kicks on 1 and the "and" of 3, snares on 2 and 4, busy hats.
    constexpr std::array<int, 2> kickSteps { 0, 10 };
    constexpr std::array<int, 2> snareSteps { 4, 12 };
    constexpr std::array<double, 4> bassNotes { 41.20, 41.20, 49.00, 36.71 }; // E1 E1 G1 D1, one per bar

    Noise accents;

    for (int step = 0; step < totalSteps; ++step)
    {
        const int start = step * stepLength;
        const int inBar = step % stepsPerBar;
        const int bar = step / stepsPerBar;

        for (int k : kickSteps)
            if (inBar == k)
                addVoice (out, start, (int) sampleRate, 0.85, 0.0, kick);

        for (int s : snareSteps)
            if (inBar == s)
                addVoice (out, start, (int) (0.5 * sampleRate), 0.6, 0.05, Snare {});

        // A ghost snare before the last beat of every second bar.
        if (bar % 2 == 1 && inBar == 14)
            addVoice (out, start, (int) (0.3 * sampleRate), 0.22, 0.05, Snare {});

        const double hatGain = (inBar % 2 == 0 ? 0.22 : 0.12) * (0.8 + 0.2 * accents.next());
        addVoice (out, start, (int) (0.12 * sampleRate), hatGain, inBar % 4 == 2 ? 0.35 : -0.25,
                  Hat { Noise { 0x9e3779b9u + (std::uint32_t) step }, 0.0, inBar % 8 == 6 ? 0.09 : 0.03 });

        if (inBar == 0 || inBar == 6)
            addVoice (out, start, (int) ((inBar == 0 ? 6 : 10) * stepSeconds * sampleRate), 0.5, 0.0,
                      Bass { bassNotes[(size_t) bar % bassNotes.size()] });
    }

    // Peaks at −6 dBFS, the headroom a drum bus leaves for the clipper.
    const float peak = out.getMagnitude (0, out.getNumSamples());

    if (peak > 0.0f)
        out.applyGain (0.5f / peak);

    return out;
}
