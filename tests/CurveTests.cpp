#include "ClipperCurves.h"

#include <gtest/gtest.h>

namespace
{
/** The "shape" parameter (percent) as the chain hands it to the curves. */
float shapeValue (float percent) { return 1.0f + 0.07f * percent; }

struct CurvePoint
{
    int mode;
    float shapePercent;
    float in;
    float expected;
};

// Four decimals are what the reference values carry.
constexpr float tolerance = 5.0e-5f;
} // namespace

TEST (ClipperCurves, MatchTheReferenceValues)
{
    const CurvePoint points[] = {
        // Soft: the drive runs from 1.75 to 7 over the shape range.
        { ClipCurve::soft, 0.0f, 0.5f, 0.7477f },
        { ClipCurve::soft, 0.0f, 1.0f, 1.0f },
        { ClipCurve::soft, 0.0f, 2.0f, 1.0603f },
        { ClipCurve::soft, 0.0f, -2.0f, -1.0603f },
        { ClipCurve::soft, 100.0f, 0.5f, 0.9982f },
        { ClipCurve::soft, 100.0f, 1.0f, 1.0f },
        // Hard: linear up to the threshold, which is normalised to 1.
        { ClipCurve::hard, 40.0f, 0.5f, 0.6540f },
        { ClipCurve::hard, 40.0f, 0.7645f, 1.0f },
        { ClipCurve::hard, 40.0f, 3.0f, 1.0f },
        { ClipCurve::hard, 40.0f, -3.0f, -1.0f },
        { ClipCurve::hard, 100.0f, 0.3f, 0.3f / 0.48625f },
        { ClipCurve::hard, 100.0f, 0.48625f, 1.0f },
        { ClipCurve::hard, 0.0f, 0.95f, 1.0f },
        { ClipCurve::hard, 0.0f, 0.5f, 0.5f / 0.95f },
        // Punch: the added sine term lifts 1 above 1, the clamp holds it at 1.1.
        { ClipCurve::punch, 40.0f, 0.5f, 0.9132f },
        { ClipCurve::punch, 40.0f, 1.0f, 1.0640f },
        { ClipCurve::punch, 40.0f, -1.0f, -1.0640f },
        { ClipCurve::punch, 0.0f, 1.0f, 1.0f },
        { ClipCurve::punch, 100.0f, 1.0f, 1.1f },
        { ClipCurve::punch, 100.0f, 1.2f, 1.1f },
        { ClipCurve::punch, 100.0f, -1.2f, -1.1f },
        // Every curve keeps silence silent.
        { ClipCurve::soft, 40.0f, 0.0f, 0.0f },
        { ClipCurve::hard, 40.0f, 0.0f, 0.0f },
        { ClipCurve::punch, 40.0f, 0.0f, 0.0f },
    };

    for (const auto& p : points)
        EXPECT_NEAR (clipCurve (p.mode, p.in, shapeValue (p.shapePercent)), p.expected, tolerance)
            << "mode " << p.mode << ", shape " << p.shapePercent << "%, input " << p.in;
}
