#pragma once

#include "ClipperCurves.h"

#include <juce_audio_basics/juce_audio_basics.h>

#include <algorithm>
#include <cmath>

/** The static transfer curve that the panel's display draws: output level over input level for
    the current clipping mode, shape, input gain, drive and ceiling.

    The shaping stage is the clipper's own curve (ClipCurve), so the display shows the curve that
    the audio path applies; input gain, ceiling and drive follow it as they do on the wet path.
*/
struct TransferCurve
{
    /** The clipping curve drawn for a raw "mode" value: rounded to the nearest integer (halves
        away from zero); 0 is Soft, 1 Hard and anything else Punch.
    */
    static int curveMode (float mode) noexcept
    {
        const auto m = std::lround (mode);
        return m == 0 ? ClipCurve::soft : (m == 1 ? ClipCurve::hard : ClipCurve::punch);
    }

    /** Gains are in dB (−100 dB or less is silence), the shape in percent. */
    static TransferCurve make (float inputDb, float driveDb, float ceilingDb, float shapePercent, float mode) noexcept
    {
        TransferCurve t;
        t.curve = ClipCurve::make (curveMode (mode), 1.0f + 0.07f * shapePercent);
        t.inputGain = juce::Decibels::decibelsToGain (inputDb);
        t.driveGain = juce::Decibels::decibelsToGain (driveDb);
        t.ceiling = juce::Decibels::decibelsToGain (ceilingDb);
        return t;
    }

    /** The output level for an input level u (−1 … 1 across the display). */
    float output (float u) const noexcept
    {
        const auto shaped = std::clamp (curve.apply (u * inputGain), -ceiling, ceiling) * driveGain;
        return std::clamp (shaped, -ceiling, ceiling);
    }

    ClipCurve curve;
    float inputGain = 1.0f, driveGain = 1.0f, ceiling = 1.0f;
};
