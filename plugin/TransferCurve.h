#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

#include <algorithm>
#include <cmath>

/** The static transfer curve that the panel's display draws: output level over input level for
    the current clipping mode, shape, input gain, drive and ceiling.

    This is the panel's own light-weight model of the shaping stage. Its constants are simpler
    than the clipper's (soft drive 0.65·k + 1, knee 0.95 − 0.53·s, punch sine 0.14·s), so the
    drawn curve follows the audio path's character without reproducing it sample for sample.
*/
struct TransferCurve
{
    enum Mode
    {
        soft = 0,
        hard = 1,
        punch = 2
    };

    /** The curve drawn for a raw "mode" value: rounded to the nearest integer (halves away from
        zero); 0 is Soft, 1 Hard and anything else Punch.
    */
    static Mode curveMode (float mode) noexcept
    {
        const auto m = std::lround (mode);
        return m == 0 ? soft : (m == 1 ? hard : punch);
    }

    /** Gains are in dB (−100 dB or less is silence), the shape in percent. */
    static TransferCurve make (float inputDb, float driveDb, float ceilingDb, float shapePercent, float mode) noexcept
    {
        TransferCurve t;
        t.mode = curveMode (mode);
        t.s = shapePercent * 0.01f;

        const float k = 7.0f * t.s + 1.0f;
        t.knee = 0.95f - 0.53f * t.s;
        t.softDrive = 0.65f * k + 1.0f;
        t.punchDrive = k + 1.25f;

        t.inputGain = juce::Decibels::decibelsToGain (inputDb);
        t.driveGain = juce::Decibels::decibelsToGain (driveDb);
        t.ceiling = juce::Decibels::decibelsToGain (ceilingDb);
        return t;
    }

    /** The shaping function f(x) of the display's model. */
    float shape (float x) const noexcept
    {
        constexpr float pi = 3.14159265358979323846f;

        switch (mode)
        {
            case soft:
                return std::tanh (softDrive * x) / std::tanh (softDrive);
            case hard:
                return std::clamp (x, -knee, knee) / std::max (knee, 0.001f);
            case punch:
            default:
                return std::atan (punchDrive * x) / std::atan (punchDrive) + 0.14f * s * std::sin (pi * x / 2.0f);
        }
    }

    /** The output level for an input level u (−1 … 1 across the display). */
    float output (float u) const noexcept
    {
        const auto shaped = std::clamp (shape (u * inputGain), -ceiling, ceiling) * driveGain;
        return std::clamp (shaped, -ceiling, ceiling);
    }

    // Until make() sets them: punch at shape 0.
    Mode mode = punch;
    float s = 0.0f;
    float knee = 0.95f, softDrive = 1.65f, punchDrive = 2.25f;
    float inputGain = 1.0f, driveGain = 1.0f, ceiling = 1.0f;
};
