#include "IconButton.h"

#include <cmath>

namespace
{
// Rounds halves away from zero, unlike juce::roundToInt, which rounds them to even.
int nearest (float x) noexcept { return (int) std::round (x); }

constexpr float cornerSize = 5.0f;
const juce::Colour frameDownColour { 0xff3b4045 };
const juce::Colour frameOverColour { 0xff30363b };
const juce::Colour frameColour { 0xff181e24 };
const juce::Colour frameOutlineColour { 0xff384452 };
const juce::Colour captionColour { 0xffdce6f0 };
const juce::Colour hoverDownColour { 0x3cffffff };
const juce::Colour hoverColour { 0x28ffffff };
const juce::Colour hoverDownOutlineColour { 0x788296af };
const juce::Colour hoverOutlineColour { 0x528296af };
} // namespace

IconButton::IconButton (const juce::String& name) : juce::Button (name) {}

void IconButton::setText (juce::String newText)
{
    caption = std::move (newText);
    repaint();
}

void IconButton::setIcon (std::unique_ptr<juce::Drawable> newIcon)
{
    icon = std::move (newIcon);
    repaint();
}

void IconButton::setIconSize (float width, float height)
{
    hasIconSizeOverride = true;
    iconOverrideWidth = width;
    iconOverrideHeight = height;
    repaint();
}

void IconButton::paintButton (juce::Graphics& g, bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown)
{
    if (caption.isNotEmpty())
        paintCaption (g, shouldDrawButtonAsHighlighted, shouldDrawButtonAsDown);
    else
        paintIcon (g, shouldDrawButtonAsHighlighted, shouldDrawButtonAsDown);
}

juce::Rectangle<float> IconButton::getCaptionFrame (float width, float height) noexcept
{
    return { 0.5f, 0.5f, juce::jmax (width - 1.0f, 0.0f), juce::jmax (height - 1.0f, 0.0f) };
}

void IconButton::drawCaptionFrame (juce::Graphics& g, juce::Rectangle<float> frame, bool highlighted, bool down)
{
    g.setColour (down ? frameDownColour : (highlighted ? frameOverColour : frameColour));
    g.fillRoundedRectangle (frame, cornerSize);
    g.setColour (frameOutlineColour);
    g.drawRoundedRectangle (frame, cornerSize, 1.0f);
}

juce::Font IconButton::getCaptionFont (float frameHeight)
{
    return juce::Font (juce::jmax (0.5f * frameHeight, 11.0f), juce::Font::bold);
}

void IconButton::paintCaption (juce::Graphics& g, bool highlighted, bool down)
{
    const auto frame = getCaptionFrame ((float) getWidth(), (float) getHeight());
    drawCaptionFrame (g, frame, highlighted, down);

    const auto font = getCaptionFont (frame.getHeight());
    const float pad = 0.1f * frame.getWidth();
    const float available = juce::jmax (frame.getWidth() - 2.0f * pad, 0.0f);

    // Centred in the padded area by its measured width; a caption wider than that area starts
    // further left and is squeezed or shortened by the fitted drawing.
    const float textWidth = font.getStringWidthFloat (caption);
    const int tx = nearest (0.5f + pad + 0.5f * available - 0.5f * textWidth);

    g.setColour (captionColour);
    g.setFont (font);
    g.drawFittedText (caption, tx, 0, getWidth() - tx - 6, getHeight(), juce::Justification::centredLeft, 1);
}

juce::Rectangle<float> IconButton::getIconArea (float width, float height) noexcept
{
    const float mx = 0.03f * width, my = 0.03f * height;
    return { mx, my, juce::jmax (width - 2.0f * mx, 0.0f), juce::jmax (height - 2.0f * my, 0.0f) };
}

juce::Rectangle<float> IconButton::getHoverCircle (float width, float height) noexcept
{
    const auto area = getIconArea (width, height);
    const float kx = 0.08f * area.getWidth(), ky = 0.08f * area.getHeight();
    return { area.getX() + kx, area.getY() + ky, juce::jmax (area.getWidth() - 2.0f * kx, 0.0f),
             juce::jmax (area.getHeight() - 2.0f * ky, 0.0f) };
}

juce::Rectangle<float> IconButton::getIconBounds() const noexcept
{
    const auto area = getIconArea ((float) getWidth(), (float) getHeight());

    float w = 0.0f, h = 0.0f;

    if (hasIconSizeOverride)
    {
        w = juce::jmin (area.getWidth(), iconOverrideWidth);
        h = juce::jmin (area.getHeight(), iconOverrideHeight);
    }
    else
    {
        w = h = 0.62f * juce::jmin (area.getWidth(), area.getHeight());
    }

    return juce::Rectangle<float> (w, h).withCentre (area.getCentre());
}

void IconButton::paintIcon (juce::Graphics& g, bool highlighted, bool down)
{
    if (highlighted || down)
    {
        const auto circle = getHoverCircle ((float) getWidth(), (float) getHeight());
        g.setColour (down ? hoverDownColour : hoverColour);
        g.fillEllipse (circle);
        g.setColour (down ? hoverDownOutlineColour : hoverOutlineColour);
        g.drawEllipse (circle, juce::jmax (0.03f * (float) getHeight(), 1.0f));
    }

    if (icon != nullptr)
        icon->drawWithin (g, getIconBounds(), juce::RectanglePlacement::centred, 1.0f);
}
