#pragma once

#include <juce_graphics/juce_graphics.h>

#include <algorithm>
#include <array>
#include <cmath>

/** The control panel's geometry as pure functions of its size.

    The panel's resized() and paint() call these, so the layout can be checked without a
    component or a single pixel. All arithmetic is single precision; juce::Rectangle's removal and
    reduction operations take at most what is left and never produce negative sizes.
*/
namespace PanelGeometry
{
using Box = juce::Rectangle<float>;
using IntBox = juce::Rectangle<int>;

/** Rounds to the nearest integer, halves away from zero. */
inline int nearest (float v) noexcept { return (int) std::lround (v); }

/** A box with each of its four numbers rounded to the nearest integer. */
inline IntBox rounded (Box r) noexcept
{
    return { nearest (r.getX()), nearest (r.getY()), nearest (r.getWidth()), nearest (r.getHeight()) };
}

/** A box with each of its four numbers truncated towards zero. */
inline IntBox truncated (Box r) noexcept
{
    return { (int) r.getX(), (int) r.getY(), (int) r.getWidth(), (int) r.getHeight() };
}

/** A text's integer box and its font height. */
struct TextBox
{
    IntBox box;
    float fontHeight = 0.0f;
};

//==============================================================================
/** The regions shared by the child layout and the painted layout. Only the width of the knob
    column differs between the two (0.146 of the content width for the children, 0.11 for
    painting), which makes the painted centre panel wider than the area of the centre's children.
*/
struct BodyRegions
{
    Box content, body;
    Box leftColumn, rightColumn, knobColumn, centre;
    float mainHeight = 0.0f;
    Box bottomRow;
    Box inputPanel, outputPanel, knobPanel, centrePanel;
};

inline BodyRegions bodyRegions (float W, float H, float knobColumnShare) noexcept
{
    BodyRegions b;
    b.content = Box (0.0f, 0.0f, W, H).reduced (0.022f * W, 0.02f * H);
    const auto cw = b.content.getWidth();

    auto body = b.content;
    body.removeFromTop (0.11f * H);
    b.body = body;

    b.leftColumn = body.removeFromLeft (0.128f * cw);
    body.removeFromLeft (0.01f * W);
    b.rightColumn = body.removeFromRight (0.128f * cw);
    body.removeFromRight (0.01f * W);
    b.knobColumn = body.removeFromRight (knobColumnShare * cw);
    body.removeFromRight (0.008f * W);
    b.centre = body;

    const auto bodyH = b.body.getHeight();
    b.mainHeight = 0.76f * bodyH;
    b.bottomRow = { b.content.getX(), b.body.getY() + b.mainHeight, cw, bodyH - b.mainHeight };

    const auto top = b.body.getY() + 6.0f;
    const auto height = std::max (0.0f, b.mainHeight - 12.0f);
    const auto atMainRow = [&] (Box column) { return Box (column.getX(), top, column.getWidth(), height); };

    b.inputPanel = atMainRow (b.leftColumn);
    b.outputPanel = atMainRow (b.rightColumn);
    b.knobPanel = atMainRow (b.knobColumn);
    b.centrePanel = atMainRow (b.centre).reduced (0.01f * W, 0.0f);
    return b;
}

//==============================================================================
/** Knob indices: the order of every per-knob array of the panel. */
enum Knob
{
    inputKnob,
    shapeKnob,
    ceilingKnob,
    driveKnob,
    masterKnob,
    mixKnob,
    edgeKnob,
    lowProtectKnob,
    numKnobs
};

/** The bounds of the panel's children. */
struct ChildLayout
{
    std::array<IntBox, numKnobs> knobs;
    std::array<IntBox, 3> modeButtons;         // SOFT, HARD, PUNCH
    std::array<IntBox, 4> oversamplingButtons; // OFF, 2X, 4X, 8X
    IntBox powerButton;
    std::array<IntBox, numKnobs> valueLabels;
    float valueLabelFontHeight = 0.0f;
    Box inputPanel, outputPanel, brandPanel;
};

/** A square of side s centred in the area. */
inline Box centredSquare (Box area, float s) noexcept { return Box (s, s).withCentre (area.getCentre()); }

inline ChildLayout childLayout (float W, float H) noexcept
{
    ChildLayout l;
    const auto b = bodyRegions (W, H, 0.146f);
    const auto cw = b.content.getWidth();

    l.inputPanel = b.inputPanel;
    l.outputPanel = b.outputPanel;

    // Knob column: ceiling, drive and mix in three cells.
    {
        auto inner = b.knobPanel.reduced (0.06f * b.knobPanel.getWidth(), 0.05f * b.knobPanel.getHeight());
        const auto gap = 0.045f * inner.getHeight();
        const auto cellHeight = (inner.getHeight() - 2.0f * gap) / 3.0f;
        const auto placeIn = [] (Box cell)
        {
            const auto s = std::min (0.72f * cell.getHeight(), 0.84f * cell.getWidth());
            return centredSquare (cell, s).translated (0.0f, -0.01f * cell.getHeight());
        };

        const auto ceilingCell = inner.removeFromTop (cellHeight);
        inner.removeFromTop (gap);
        const auto driveCell = inner.removeFromTop (cellHeight);
        inner.removeFromTop (gap);

        l.knobs[ceilingKnob] = rounded (placeIn (ceilingCell));
        l.knobs[driveKnob] = rounded (placeIn (driveCell));
        l.knobs[mixKnob] = rounded (placeIn (inner));
    }

    // Centre: the mode buttons and the shape knob in the top strip.
    {
        auto inner = b.centrePanel.reduced (0.04f * b.centrePanel.getWidth(), 0.08f * b.centrePanel.getHeight());
        auto strip = inner.removeFromTop (0.2f * inner.getHeight());
        const auto stripHeight = strip.getHeight();
        const auto modeArea = strip.removeFromLeft (0.46f * strip.getWidth());

        const auto total = 0.96f * modeArea.getWidth();
        const auto bw = total / 3.0f;
        const auto top = strip.getY() + 0.56f * stripHeight;
        const auto height = 0.34f * stripHeight;
        const auto x0 = modeArea.getX();
        l.modeButtons[0] = rounded ({ x0, top, bw, height });
        l.modeButtons[1] = rounded ({ x0 + bw, top, bw, height });
        l.modeButtons[2] = rounded ({ x0 + 2.0f * bw, top, total - 2.0f * bw, height });

        const auto r = strip.getWidth();
        const auto s = std::min (0.72f * stripHeight, 0.22f * r);
        l.knobs[shapeKnob] = rounded (centredSquare (strip, s).translated (0.01f * r, -0.2f * stripHeight));
    }

    // Bottom row: brand panel, edge and low-protect knobs, oversampling buttons.
    {
        auto row = b.bottomRow;
        const auto rowHeight = row.getHeight();
        const auto brandArea = row.removeFromRight (0.28f * cw);
        l.brandPanel = brandArea.reduced (0.02f * brandArea.getWidth(), 0.08f * brandArea.getHeight());

        row.removeFromRight (0.012f * W);
        row.removeFromLeft (0.04f * row.getWidth());
        row.removeFromLeft (0.4f * (0.012f * W));
        const auto edgeCell = row.removeFromLeft (0.19f * row.getWidth());
        row.removeFromLeft (0.012f * W);
        const auto lowProtectCell = row.removeFromLeft (0.21f * row.getWidth());
        row.removeFromLeft (0.012f * W);
        const auto area = row;

        l.knobs[edgeKnob] =
            rounded (centredSquare (edgeCell, std::min (0.6f * rowHeight, 0.88f * edgeCell.getWidth())));
        l.knobs[lowProtectKnob] =
            rounded (centredSquare (lowProtectCell, std::min (0.6f * rowHeight, 0.68f * lowProtectCell.getWidth())));

        const auto h = 0.22f * rowHeight;
        const auto top = area.getY() + rowHeight / 2.0f - h / 2.0f;
        const auto total = 0.8f * area.getWidth();
        const auto bw = total / 4.0f;
        const auto x0 = area.getX() + 0.08f * area.getWidth();

        for (int i = 0; i < 3; ++i)
            l.oversamplingButtons[(size_t) i] = rounded ({ x0 + (float) i * bw, top, bw, h });

        l.oversamplingButtons[3] = rounded ({ x0 + 3.0f * bw, top, total - 3.0f * bw, h });
    }

    // Input and master knobs below the meters of their side panels.
    const auto meterKnob = [] (Box panel)
    {
        auto inner = panel.reduced (0.16f * panel.getWidth(), 0.1f * panel.getHeight());
        inner.removeFromTop (0.11f * inner.getHeight());
        inner.removeFromTop (0.72f * inner.getHeight());
        const auto r = inner.getHeight();
        const Box area (inner.getX(), inner.getY() + 0.18f * r, inner.getWidth(), 0.78f * r);
        const auto s = std::min (0.92f * area.getHeight(), 0.92f * area.getWidth());
        return centredSquare (area, s).translated (0.0f, 0.02f * area.getHeight());
    };

    l.knobs[inputKnob] = rounded (meterKnob (b.inputPanel));
    l.knobs[masterKnob] = rounded (meterKnob (b.outputPanel));

    const auto side = std::min (0.08f * H, 0.044f * W);
    l.powerButton =
        rounded ({ b.outputPanel.getCentreX() - side / 2.0f, b.outputPanel.getY() - 0.72f * side, side, side });

    l.valueLabelFontHeight = 0.025f * H;

    for (size_t i = 0; i < numKnobs; ++i)
    {
        const auto k = l.knobs[i];
        l.valueLabels[i] = i == shapeKnob ? IntBox (k.getX(), k.getBottom() - 1, k.getWidth(), 22)
                                          : IntBox (k.getX(), k.getBottom(), k.getWidth(), 20);
    }

    return l;
}

//==============================================================================
/** The painted layout: the outer panel, header texts and the boxes of the centre panel. */
struct PaintLayout
{
    Box outerPanel;
    TextBox title, subtitle;
    Box inputPanel, outputPanel, centrePanel;
    TextBox modeTitle, shapeTitle;
    Box display;
    TextBox oversamplingTitle;
    Box bottomRow;
};

/** The painted layout for a panel of W × H whose brand panel has the given bounds (empty before
    the first layout).
*/
inline PaintLayout paintLayout (float W, float H, Box brandPanel) noexcept
{
    PaintLayout p;
    p.outerPanel = Box (0.0f, 0.0f, W, H).reduced (0.012f * W, 0.012f * H);

    const auto hh = 0.12f * H;
    const Box titleArea (0.0f, 0.12f * hh, W, 0.88f * hh);
    p.title = { rounded (titleArea), 0.48f * titleArea.getHeight() };
    const auto sh = 0.28f * titleArea.getHeight();
    p.subtitle = { rounded ({ 0.0f, titleArea.getBottom() - sh, W, sh }), 0.62f * sh };

    const auto b = bodyRegions (W, H, 0.11f);
    p.inputPanel = b.inputPanel;
    p.outputPanel = b.outputPanel;
    p.centrePanel = b.centrePanel;
    p.bottomRow = b.bottomRow;

    const auto& P = b.centrePanel;
    auto inner = P.reduced (0.05f * P.getWidth(), 0.06f * P.getHeight());
    const auto iw = inner.getWidth();
    const auto strip = inner.removeFromTop (0.18f * inner.getHeight());
    const auto sH = strip.getHeight();
    p.modeTitle = { rounded ({ strip.getX(), strip.getY(), 0.42f * iw, 0.72f * sH }), 0.38f * sH };
    p.shapeTitle = { truncated ({ strip.getX() + 0.42f * iw + 0.2f * 0.58f * iw, strip.getY(), 0.58f * iw, sH }),
                     0.35f * sH };

    const auto g = std::min (inner.getHeight(), 0.026f * P.getHeight());
    p.display = { inner.getX(), strip.getBottom() + g + 4.0f, std::min (iw, 0.82f * iw), inner.getHeight() - g - 8.0f };

    auto row = b.bottomRow.reduced (0.0f, 0.005f * H);
    const auto rowTop = row.getY();
    const auto rowHeight = row.getHeight();

    if (brandPanel.getWidth() > 0.0f && brandPanel.getHeight() > 0.0f)
    {
        row.removeFromRight (brandPanel.getWidth());
        row.removeFromRight (0.012f * W);
    }

    const auto w0 = row.getWidth();
    const auto a = 0.04f * w0;
    row.removeFromLeft (a);
    row.removeFromLeft (0.4f * 0.012f * W);
    row.removeFromLeft (0.19f * (w0 - a));
    row.removeFromLeft (0.012f * W);
    row.removeFromLeft (0.21f * (w0 - a));
    row.removeFromLeft (0.012f * W);
    p.oversamplingTitle = { truncated ({ row.getX() - 0.03f * row.getWidth(), rowTop + 0.1f * rowHeight, row.getWidth(),
                                         0.28f * rowHeight }),
                            20.0f };
    return p;
}

/** A knob's caption box, just above the knob bounds k. */
inline TextBox captionBox (Box k) noexcept
{
    return { rounded ({ k.getX() - 0.03f * k.getWidth(), k.getY() - 0.09f * k.getHeight(), 1.06f * k.getWidth(),
                        0.13f * k.getHeight() }),
             1.02f * 0.13f * k.getHeight() };
}

/** The brand name's box and font height inside the brand panel. */
inline TextBox brandNameBox (Box brandPanel) noexcept
{
    return { rounded (brandPanel), 0.1872f * brandPanel.getHeight() };
}

/** Where the logo is drawn, centred with its aspect ratio kept, inside the brand panel. */
inline Box logoArea (Box brandPanel) noexcept
{
    return { brandPanel.getX(), brandPanel.getY() + 0.1f * brandPanel.getHeight(), brandPanel.getWidth(),
             0.8f * brandPanel.getHeight() };
}

//==============================================================================
// Meters

inline constexpr int stereoSegments = 16;
inline constexpr int clipSegments = 12;

/** The number of lit segments of an N-segment bar for a value in 0 … 1; none while bypassed, and
    none for negative or non-numeric values.
*/
inline int litSegments (float value, int numSegments, bool powerOn) noexcept
{
    if (! powerOn || ! (value > 0.0f))
        return 0;

    return std::clamp (nearest (std::min (value, 1.0f) * (float) numSegments), 0, numSegments);
}

/** The colour of segment i (counted from the bottom) of an N-segment bar. */
inline juce::Colour segmentColour (int i, int numSegments, bool lit, float brightnessBase, juce::Colour meterColour,
                                   juce::Colour meterOffColour) noexcept
{
    if (! lit)
        return meterOffColour;

    const auto k = (float) (i + 1) / (float) numSegments;

    if (k > 0.875f)
        return juce::Colour (0xffff5c2c);

    if (k > 0.68f)
        return juce::Colour (0xffffbc2e);

    return meterColour.withMultipliedBrightness (brightnessBase + 0.1f * k);
}

/** The layout of a stereo meter drawn into area. */
struct StereoMeterLayout
{
    TextBox label;
    Box barArea;
    std::array<Box, 2> wells;
    std::array<TextBox, 2> channelLetters; // "L", "R"
    std::array<IntBox, 6> scaleBoxes;      // "0" … "-INF"
    float scaleFontHeight = 0.0f;
};

inline StereoMeterLayout stereoMeterLayout (Box area) noexcept
{
    StereoMeterLayout m;
    const auto w = area.getWidth();
    const auto h = area.getHeight();
    auto inner = area.reduced (0.16f * w, 0.05f * h);

    const auto labelBox = inner.removeFromTop (0.11f * inner.getHeight());
    m.label = { rounded (labelBox), std::min (0.16f * w, 0.62f * labelBox.getHeight()) };

    const auto r = inner.getHeight();
    const auto meterArea = inner.withHeight (0.77f * r);

    m.barArea = { inner.getX() + 0.1f * inner.getWidth(), meterArea.getY() + 0.06f * meterArea.getHeight(),
                  std::max (0.0f, 0.8f * inner.getWidth()), std::max (0.0f, 0.88f * meterArea.getHeight()) };

    const auto bw = m.barArea.getWidth();
    const auto gap = 0.22f * bw;
    const auto barWidth = (bw - gap) / 2.0f;
    const Box left (m.barArea.getX(), m.barArea.getY(), barWidth, m.barArea.getHeight());
    m.wells[0] = left.reduced (0.0f, 8.0f);
    m.wells[1] = left.withX (m.barArea.getX() + barWidth + gap).reduced (0.0f, 8.0f);

    const auto r2 = r - meterArea.getHeight();
    const auto stripTop = meterArea.getBottom() + 0.02f * r2;
    const auto stripHeight = 0.18f * r2;
    const auto letterFont = 0.6f * stripHeight;
    const auto lWidth = 0.44f * bw;
    const auto rest = bw - lWidth;
    const auto rGap = 0.12f * rest;
    m.channelLetters[0] = { rounded ({ m.barArea.getX(), stripTop, lWidth, stripHeight }), letterFont };
    m.channelLetters[1] = { rounded ({ m.barArea.getX() + lWidth + rGap, stripTop, rest - rGap, stripHeight }),
                            letterFont };

    m.scaleFontHeight = 0.03f * h;
    const auto top = m.barArea.getY() + 10.0f;
    const auto bottom = m.barArea.getBottom() - 10.0f;

    for (size_t j = 0; j < m.scaleBoxes.size(); ++j)
        m.scaleBoxes[j] = rounded ({ area.getX(), top + (float) j * (bottom - top) / 5.0f - 8.0f, 0.16f * w, 16.0f });

    return m;
}

/** Segment i (from the bottom) of a stereo meter's well: 16 segments 1 px apart, inset 4 px from
    the well's sides, bottom and top, so the stack fills the well exactly.
*/
inline Box stereoSegment (Box well, int i) noexcept
{
    const auto height = (well.getHeight() - 8.0f - 15.0f) / (float) stereoSegments;
    const auto top = well.getBottom() - 4.0f - (float) (i + 1) * height - (float) i;
    return { well.getX() + 4.0f, top, std::max (0.0f, well.getWidth() - 8.0f), std::max (0.0f, height) };
}

/** The clip-amount meter inside the centre panel P. */
struct ClipMeterLayout
{
    Box panel;
    TextBox title;
    Box well;
    float segmentHeight = 0.0f;
    std::array<IntBox, 5> scaleBoxes; // "100%", "75%", "50%", "25%", "0%"
    float scaleFontHeight = 0.0f;
    TextBox readout;
};

inline ClipMeterLayout clipMeterLayout (Box P) noexcept
{
    ClipMeterLayout c;
    auto inner = P.reduced (0.04f * P.getWidth(), 0.08f * P.getHeight());
    const auto strip = inner.removeFromTop (0.18f * inner.getHeight());
    const auto rest = inner.getHeight();

    c.panel = { inner.getRight() - 0.155f * inner.getWidth(), strip.getBottom() + 0.1f * rest, 0.16f * inner.getWidth(),
                0.72f * rest };
    const auto cw = c.panel.getWidth();
    const auto ch = c.panel.getHeight();

    auto inner2 = c.panel.reduced (0.18f * cw, 0.1f * ch);
    const auto titleBox = inner2.removeFromTop (0.18f * inner2.getHeight());
    c.title = { rounded (titleBox), std::min (0.18f * cw, 0.58f * titleBox.getHeight()) };

    c.well = inner2.reduced (0.16f * inner2.getWidth(), 0.04f * inner2.getHeight());
    c.segmentHeight = (c.well.getHeight() - 24.5f) / (float) clipSegments;

    const auto wh = c.well.getHeight();
    c.scaleFontHeight = 0.075f * wh;
    const auto x = (int) (c.well.getRight() + 0.08f * cw);
    const auto width = (int) (0.28f * cw);
    c.scaleBoxes[0] = { x, (int) c.well.getY(), width, 18 };

    for (size_t j = 1; j < 4; ++j)
        c.scaleBoxes[j] = { x, nearest (c.well.getY() + 0.25f * (float) j * wh), width, 18 };

    c.scaleBoxes[4] = { x, nearest (c.well.getBottom() - 18.0f), width, 18 };

    c.readout = { rounded ({ c.panel.getX(), c.panel.getBottom() - 0.11f * ch, cw, 0.08f * ch }), 0.7f * (0.08f * ch) };
    return c;
}

/** Segment i (from the bottom) of the clip meter's well: 1.5 px apart, 5 px bottom margin. */
inline Box clipSegment (Box well, float segmentHeight, int i) noexcept
{
    return { well.getX() + 5.0f, well.getBottom() - 5.0f - (float) (i + 1) * segmentHeight - 1.5f * (float) i,
             std::max (0.0f, well.getWidth() - 10.0f), std::max (0.0f, segmentHeight) };
}

/** The clip meter's readout text: the amount in whole percent, 0% while bypassed. */
inline juce::String clipReadoutText (float clipAmount, bool powerOn)
{
    return juce::String (powerOn ? nearest (clipAmount * 100.0f) : 0) + "%";
}

//==============================================================================
// Transfer display

/** The x positions (grid verticals) or y positions (grid horizontals) of the display's 8 × 8
    grid: the seven inner lines at i/8 of the box, rounded to whole pixels.
*/
inline std::array<int, 7> gridLines (float start, float length) noexcept
{
    std::array<int, 7> lines {};

    for (size_t i = 0; i < lines.size(); ++i)
        lines[i] = nearest (start + (float) (i + 1) * length / 8.0f);

    return lines;
}

/** The vertical pixel position of the output level o in the display: +1 at the top, −1 at the
    bottom, pinned to the edges beyond.
*/
inline float curveY (Box display, float o) noexcept
{
    const auto v = o < -1.0f ? 1.0f : (o > 1.0f ? 0.0f : 1.0f - (o + 1.0f) / 2.0f);
    return display.getY() + display.getHeight() * v;
}

/** The power button's icon: ring centre and radius, and the ends of its bar. */
struct PowerIcon
{
    Box frame;
    juce::Point<float> centre;
    float radius = 0.0f;
    float barTop = 0.0f, barBottom = 0.0f;
};

inline PowerIcon powerIcon (float width, float height) noexcept
{
    PowerIcon p;
    p.frame = Box (width, height).reduced (1.0f);
    const auto square = p.frame.reduced (0.28f * (height - 2.0f));
    p.centre = square.getCentre();
    p.radius = 0.44f * std::min (square.getWidth(), square.getHeight());
    p.barTop = p.centre.y - 1.18f * p.radius;
    p.barBottom = p.centre.y - 0.08f * p.radius;
    return p;
}
} // namespace PanelGeometry
