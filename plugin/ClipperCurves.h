#pragma once

#include <algorithm>
#include <cmath>

/** The three clipping curves of the clipper stage.

    Each curve maps a sample v to the shaped sample, for a shape value s in 1 … 8 (the "shape"
    parameter mapped as 1 + 0.07 × percent). Soft and Hard map v = 1 to exactly 1, Punch does so
    before its added sine term. All arithmetic is single precision.

    A ClipCurve holds the terms that depend only on the mode and shape, so that they are computed
    once per base-rate sample rather than once per oversampled sample; apply() then evaluates the
    same expression as the direct formula, bit for bit.
*/
struct ClipCurve
{
    enum Mode
    {
        soft = 0,
        hard = 1,
        punch = 2
    };

    static constexpr float pi = 3.14159265358979323846f;

    /** Prepares the curve for a clip mode (clamped to 0 … 2) and a shape value s. */
    static ClipCurve make (int clipMode, float s) noexcept
    {
        ClipCurve c;
        c.mode = std::clamp (clipMode, 0, 2);

        switch (c.mode)
        {
            case soft:
                c.k = 1.0f + 0.75f * s;
                c.norm = std::max (std::tanh (c.k), 0.001f);
                break;
            case hard:
            {
                const auto t = std::clamp ((s - 1.0f) * 0.125f, 0.0f, 1.0f);
                c.k = 0.95f - 0.53f * t;
                c.norm = std::max (c.k, 0.001f);
                break;
            }
            default:
                c.k = s + 1.25f;
                c.norm = std::max (std::atan (c.k), 0.001f);
                c.sineAmount = 0.16f * std::clamp ((s - 1.0f) / 7.0f, 0.0f, 1.0f);
                break;
        }

        return c;
    }

    /** Shapes one sample. */
    float apply (float v) const noexcept
    {
        switch (mode)
        {
            case soft:
                return std::tanh (k * v) / norm;
            case hard:
                return std::clamp (v, -k, k) / norm;
            default:
                return std::clamp (std::atan (k * v) / norm + sineAmount * std::sin (v * pi / 2.0f), -1.1f, 1.1f);
        }
    }

    int mode = punch;
    float k = 1.0f;          // Soft: drive d; Hard: threshold th; Punch: slope k
    float norm = 1.0f;       // the normalising divisor
    float sineAmount = 0.0f; // Punch only: 0.16 · q
};

/** The clipper curve for one sample: clipMode 0 Soft, 1 Hard, 2 Punch, shape value s in 1 … 8. */
inline float clipCurve (int clipMode, float v, float s) noexcept { return ClipCurve::make (clipMode, s).apply (v); }
