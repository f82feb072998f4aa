#pragma once

#include <algorithm>
#include <cmath>

/** The three clipping curves written out directly from their formulas, without the precomputed
    terms of ClipCurve, for the reference renditions of the chain in the tests.
*/
inline float referenceCurve (int mode, float v, float s)
{
    constexpr float pi = 3.14159265358979323846f;

    if (mode == 0)
    {
        const float d = 1.0f + 0.75f * s;
        return std::tanh (d * v) / std::max (std::tanh (d), 0.001f);
    }

    if (mode == 1)
    {
        const float t = std::clamp ((s - 1.0f) * 0.125f, 0.0f, 1.0f);
        const float th = 0.95f - 0.53f * t;
        return std::clamp (v, -th, th) / std::max (th, 0.001f);
    }

    const float k = s + 1.25f;
    const float a = std::atan (k * v) / std::max (std::atan (k), 0.001f);
    const float q = std::clamp ((s - 1.0f) / 7.0f, 0.0f, 1.0f);
    return std::clamp (a + 0.16f * q * std::sin (v * pi / 2.0f), -1.1f, 1.1f);
}
