// The panel's geometry at 1000 × 620 against the layout worked out by hand, without pixels.

#include "PanelGeometry.h"
#include "TransferCurve.h"
#include "ValueReadout.h"

#include <gtest/gtest.h>

using namespace PanelGeometry;

namespace
{
constexpr float W = 1000.0f;
constexpr float H = 620.0f;

struct Expected
{
    float x, y, w, h;
};

void expectBox (Box actual, Expected e, const char* what)
{
    SCOPED_TRACE (what);
    EXPECT_NEAR (actual.getX(), e.x, 0.001f);
    EXPECT_NEAR (actual.getY(), e.y, 0.001f);
    EXPECT_NEAR (actual.getWidth(), e.w, 0.001f);
    EXPECT_NEAR (actual.getHeight(), e.h, 0.001f);
}

void expectText (const TextBox& actual, IntBox box, float fontHeight, const char* what)
{
    SCOPED_TRACE (what);
    EXPECT_EQ (actual.box, box);
    EXPECT_NEAR (actual.fontHeight, fontHeight, 0.005f);
}
} // namespace

TEST (PanelGeometry, PanelsOfTheChildLayout)
{
    const auto l = childLayout (W, H);
    expectBox (l.inputPanel, { 22.0f, 86.6f, 122.368f, 388.52f }, "input panel");
    expectBox (l.outputPanel, { 855.632f, 86.6f, 122.368f, 388.52f }, "output panel");
    expectBox (l.brandPanel, { 715.674f, 491.238f, 256.973f, 106.243f }, "brand panel");
    EXPECT_NEAR (l.valueLabelFontHeight, 15.5f, 0.001f);
}

TEST (PanelGeometry, PaintedLayoutMatchesTheWorkedExample)
{
    const auto p = paintLayout (W, H, childLayout (W, H).brandPanel);

    expectBox (p.outerPanel, { 12.0f, 7.44f, 976.0f, 605.12f }, "outer panel");
    expectBox (p.centrePanel, { 164.368f, 86.6f, 558.104f, 388.52f }, "centre panel");
    expectBox (p.display, { 192.273f, 185.554f, 411.881f, 262.254f }, "display");

    expectText (p.title, { 0, 9, 1000, 65 }, 31.43f, "title");
    expectText (p.subtitle, { 0, 56, 1000, 18 }, 11.37f, "subtitle");
    expectText (p.modeTitle, { 192, 110, 211, 44 }, 23.39f, "MODE");
    expectText (p.shapeTitle, { 461, 109, 291, 61 }, 21.54f, "SHAPE");
    expectText (p.oversamplingTitle, { 331, 496, 366, 33 }, 20.0f, "OVERSAMPLING");
    expectText (captionBox ({ 738.0f, 120.0f, 76.0f, 76.0f }), { 736, 113, 81, 10 }, 10.08f, "ceiling caption");
    expectText (brandNameBox (childLayout (W, H).brandPanel), { 716, 491, 257, 106 }, 19.89f, "brand name");
}

TEST (PanelGeometry, OversamplingTitleSpansTheBottomRowBeforeTheFirstLayout)
{
    // Without a brand panel nothing is taken from the row's right: w0 = 956 and the box keeps
    // what is left after the knob cells, 0.03 of its width further left.
    const auto p = paintLayout (W, H, {});
    EXPECT_EQ (p.oversamplingTitle.box, IntBox (440, 496, 521, 33));
}

TEST (PanelGeometry, StereoMeterMatchesTheWorkedExample)
{
    const auto m = stereoMeterLayout ({ 22.0f, 86.6f, 122.368f, 388.52f });

    expectText (m.label, { 42, 106, 83, 38 }, 19.58f, "label");
    expectBox (m.wells[0], { 49.9f, 166.867f, 25.962f, 194.872f }, "left well");
    expectBox (m.wells[1], { 90.507f, 166.867f, 25.962f, 194.872f }, "right well");
    EXPECT_EQ (m.channelLetters[0].box, IntBox (50, 386, 29, 13));
    EXPECT_EQ (m.channelLetters[1].box, IntBox (84, 386, 33, 13));

    const std::array<int, 6> scaleTops { 161, 199, 237, 275, 314, 352 };

    for (size_t j = 0; j < scaleTops.size(); ++j)
        EXPECT_EQ (m.scaleBoxes[j], IntBox (22, scaleTops[j], 20, 16)) << "scale row " << j;
}

TEST (PanelGeometry, StereoSegmentsFillTheirWellWithoutLeavingIt)
{
    const Box well (49.9f, 166.867f, 25.962f, 194.872f);
    const auto height = (194.872f - 23.0f) / 16.0f;

    for (int i = 0; i < stereoSegments; ++i)
    {
        const auto s = stereoSegment (well, i);
        SCOPED_TRACE (i);
        EXPECT_NEAR (s.getX(), well.getX() + 4.0f, 0.001f);
        EXPECT_NEAR (s.getWidth(), well.getWidth() - 8.0f, 0.001f);
        EXPECT_NEAR (s.getHeight(), height, 0.001f);

        if (i > 0)
        {
            EXPECT_NEAR (stereoSegment (well, i - 1).getY() - s.getBottom(), 1.0f, 0.001f);
        }
    }

    EXPECT_NEAR (stereoSegment (well, 0).getBottom(), well.getBottom() - 4.0f, 0.001f);
    EXPECT_NEAR (stereoSegment (well, stereoSegments - 1).getY(), well.getY() + 4.0f, 0.001f);
}

TEST (PanelGeometry, ClipMeterMatchesTheWorkedExample)
{
    const auto c = clipMeterLayout ({ 164.368f, 86.6f, 558.104f, 388.52f });

    expectBox (c.panel, { 620.562f, 203.187f, 82.153f, 192.681f }, "clip panel");
    expectBox (c.well, { 643.762f, 255.257f, 35.753f, 116.287f }, "well");
    EXPECT_NEAR (c.segmentHeight, 7.649f, 0.001f);
    EXPECT_EQ (litSegments (0.4f, clipSegments, true), 5);
    EXPECT_EQ (clipReadoutText (0.4f, true), "40%");

    // The stack stays inside the well: 5 px below, 3 px left at the top.
    EXPECT_NEAR (clipSegment (c.well, c.segmentHeight, 0).getBottom(), c.well.getBottom() - 5.0f, 0.001f);
    EXPECT_NEAR (clipSegment (c.well, c.segmentHeight, 11).getY(), c.well.getY() + 3.0f, 0.001f);
}

TEST (PanelGeometry, PowerIconOfA44PixelButton)
{
    const auto p = powerIcon (44.0f, 44.0f);
    expectBox (p.frame, { 1.0f, 1.0f, 42.0f, 42.0f }, "frame");
    EXPECT_NEAR (p.centre.x, 22.0f, 0.001f);
    EXPECT_NEAR (p.centre.y, 22.0f, 0.001f);
    EXPECT_NEAR (p.radius, 8.1312f, 0.0001f);
    EXPECT_NEAR (p.barTop, 12.405f, 0.001f);
    EXPECT_NEAR (p.barBottom, 21.350f, 0.001f);
}

//==============================================================================
TEST (MeterSegments, LitCounts)
{
    const struct
    {
        float value;
        int segments;
        bool powerOn;
        int lit;
    } cases[] = {
        { 0.5f, 16, true, 8 }, { 1.0f, 16, true, 16 }, { 1.7f, 16, true, 16 },          { -0.3f, 16, true, 0 },
        { 0.0f, 16, true, 0 }, { 0.03f, 16, true, 0 }, { 0.04f, 16, true, 1 },          { 1.0f, 16, false, 0 },
        { 0.4f, 12, true, 5 }, { 1.0f, 12, false, 0 }, { std::nanf (""), 16, true, 0 },
    };

    for (const auto& c : cases)
        EXPECT_EQ (litSegments (c.value, c.segments, c.powerOn), c.lit)
            << c.value << " of " << c.segments << (c.powerOn ? "" : " bypassed");
}

TEST (MeterSegments, ColourRule)
{
    const juce::Colour on (0xffff9b20), off (0xff1f2226), red (0xffff5c2c), amber (0xffffbc2e);

    // A full stereo bar: the top two red, the four below amber, the rest orange growing brighter.
    for (int i = 0; i < 16; ++i)
    {
        const auto colour = segmentColour (i, 16, true, 0.92f, on, off);
        const auto k = (float) (i + 1) / 16.0f;
        const auto expected = i >= 14 ? red : (i >= 10 ? amber : on.withMultipliedBrightness (0.92f + 0.1f * k));
        EXPECT_EQ (colour, expected) << "segment " << i;
        EXPECT_EQ (segmentColour (i, 16, false, 0.92f, on, off), off);
    }

    // Twelve segments: 11/12 is red, 10/12 and 9/12 amber; the clip meter's base is 0.78.
    EXPECT_EQ (segmentColour (10, 12, true, 0.78f, on, off), red);
    EXPECT_EQ (segmentColour (9, 12, true, 0.78f, on, off), amber);
    EXPECT_EQ (segmentColour (8, 12, true, 0.78f, on, off), amber);
    EXPECT_EQ (segmentColour (7, 12, true, 0.78f, on, off), on.withMultipliedBrightness (0.78f + 0.1f * 8.0f / 12.0f));
}

TEST (MeterSegments, ClipReadout)
{
    EXPECT_EQ (clipReadoutText (0.0f, true), "0%");
    EXPECT_EQ (clipReadoutText (0.125f, true), "13%");
    EXPECT_EQ (clipReadoutText (1.0f, true), "100%");
    EXPECT_EQ (clipReadoutText (0.9f, false), "0%");
}

//==============================================================================
TEST (TransferDisplay, GridAndFirstPointOfTheWorkedExample)
{
    const Box display (192.273f, 185.554f, 411.881f, 262.254f);

    EXPECT_EQ (gridLines (display.getX(), display.getWidth()),
               (std::array<int, 7> { 244, 295, 347, 398, 450, 501, 553 }));
    EXPECT_EQ (gridLines (display.getY(), display.getHeight()),
               (std::array<int, 7> { 218, 251, 284, 317, 349, 382, 415 }));

    // Soft, shape 50 %, input 0 dB, drive +3 dB, ceiling −0.3 dB: the first point sits at −C.
    const auto curve = TransferCurve::make (0.0f, 3.0f, -0.3f, 50.0f, 0.0f);
    EXPECT_NEAR (curve.ceiling, 0.96605f, 0.00001f);
    EXPECT_NEAR (curve.driveGain, 1.41254f, 0.00001f);
    EXPECT_NEAR (curve.softDrive, 3.925f, 0.00001f);
    EXPECT_NEAR (curveY (display, curve.output (-1.0f)), 443.357f, 0.001f);
}

TEST (TransferDisplay, CurveOfEachMode)
{
    // Expected values from the display's own model, worked out independently: s = shape / 100,
    // k = 7 s + 1, knee M = 0.95 - 0.53 s, soft drive 0.65 k + 1, punch drive k + 1.25.
    const struct
    {
        float mode, shape, u, output;
    } cases[] = {
        { 0.0f, 50.0f, 0.5f, 0.962030f },   // tanh (3.925 u) / tanh (3.925)
        { 0.0f, 50.0f, -0.2f, -0.656078f }, //
        { 0.0f, 0.0f, 0.5f, 0.729694f },    // tanh (1.65 u) / tanh (1.65)
        { 1.0f, 100.0f, 0.3f, 0.714286f },  // u / 0.42
        { 1.0f, 100.0f, 0.42f, 1.0f },      // clamped at the knee …
        { 1.0f, 100.0f, 0.9f, 1.0f },       // … and beyond it
        { 1.0f, 50.0f, 0.5f, 0.729927f },   // u / 0.685
        { 2.0f, 50.0f, 0.5f, 0.933277f },   // atan (5.75 u) / atan (5.75) + 0.07 sin (π u / 2)
        { 2.0f, 50.0f, -0.2f, -0.632992f }, //
        { 2.0f, 0.0f, 0.5f, 0.732409f },    // atan (2.25 u) / atan (2.25), no sine at shape 0
        { 2.0f, 100.0f, 1.0f, 1.0f },       // 1.14 before the 0 dB ceiling
        { 1.0f, 0.0f, 0.5f, 0.5f / 0.95f }, // hard at shape 0: slope 1/0.95 …
        { 1.0f, 0.0f, -0.95f, -1.0f },      // … from the bottom edge at −0.95 …
        { 1.0f, 0.0f, 0.95f, 1.0f },        // … to the top edge at +0.95 …
        { 1.0f, 0.0f, -1.0f, -1.0f },       // … and along the edges outside
        { 1.0f, 0.0f, 1.0f, 1.0f },
    };

    for (const auto& c : cases)
        EXPECT_NEAR (TransferCurve::make (0.0f, 0.0f, 0.0f, c.shape, c.mode).output (c.u), c.output, 0.00001f)
            << "mode " << c.mode << ", shape " << c.shape << ", u " << c.u;
}

TEST (TransferDisplay, ShapingIsNotLimitedBeforeTheCeiling)
{
    // The display's punch curve overshoots to 1 + 0.14 s at full input; only the ceiling limits
    // it, so a ceiling above 0 dB shows the whole overshoot.
    const auto punch = TransferCurve::make (0.0f, 0.0f, 0.0f, 100.0f, 2.0f);
    EXPECT_NEAR (punch.shape (1.0f), 1.14f, 0.00001f);
    EXPECT_NEAR (punch.shape (-0.8f), -1.114946f, 0.00001f);

    const auto highCeiling = TransferCurve::make (0.0f, 0.0f, 3.0f, 100.0f, 2.0f);
    EXPECT_NEAR (highCeiling.output (1.0f), 1.14f, 0.00001f);
}

TEST (TransferDisplay, ModeIsRoundedAndOutputPinnedToTheEdges)
{
    EXPECT_EQ (TransferCurve::curveMode (1.6f), TransferCurve::punch);
    EXPECT_EQ (TransferCurve::curveMode (0.4f), TransferCurve::soft);
    EXPECT_EQ (TransferCurve::curveMode (0.5f), TransferCurve::hard);
    EXPECT_EQ (TransferCurve::curveMode (-1.0f), TransferCurve::punch);

    const auto asPunch = TransferCurve::make (0.0f, 0.0f, 0.0f, 50.0f, 1.6f);
    EXPECT_NEAR (asPunch.output (0.5f), 0.933277f, 0.00001f);

    const Box display (10.0f, 20.0f, 200.0f, 100.0f);
    EXPECT_FLOAT_EQ (curveY (display, 1.5f), 20.0f);
    EXPECT_FLOAT_EQ (curveY (display, -7.0f), 120.0f);
    EXPECT_FLOAT_EQ (curveY (display, 0.0f), 70.0f);
    EXPECT_FLOAT_EQ (curveY (display, 0.5f), 45.0f);
}

//==============================================================================
TEST (ValueReadout, Formatting)
{
    const struct
    {
        double value;
        bool decibels;
        const char* text;
    } cases[] = {
        { -0.0004, true, "0.0 dB" }, { 0.0, true, "0.0 dB" },  { 3.5, true, "+3.5 dB" }, { -12.0, true, "-12.0 dB" },
        { 24.0, true, "+24.0 dB" },  { 0.4, false, "0%" },     { -0.4, false, "0%" },    { 49.5, false, "50%" },
        { -49.5, false, "-50%" },    { 100.0, false, "100%" }, { 49.49, false, "49%" },
    };

    for (const auto& c : cases)
        EXPECT_EQ (ValueReadout::format (c.value, c.decibels), c.text) << c.value;
}
