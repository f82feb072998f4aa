#pragma once

#include <juce_gui_basics/juce_gui_basics.h>

#include <memory>

/** The menu bar's flat button. With a caption it is drawn as a rounded text button; without one
    it is drawn as an icon with a circular hover mark.
*/
class IconButton : public juce::Button
{
public:
    explicit IconButton (const juce::String& name);

    /** Replaces the caption and repaints, even when the text is unchanged. */
    void setText (juce::String newText);
    const juce::String& getText() const noexcept { return caption; }

    void setIcon (std::unique_ptr<juce::Drawable> newIcon);
    const juce::Drawable* getIcon() const noexcept { return icon.get(); }

    /** Limits the drawn icon to at most this size. */
    void setIconSize (float width, float height);

    void paintButton (juce::Graphics&, bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;

    //==============================================================================
    // Geometry shared by the drawing code and by the dialog buttons, which look the same.

    /** The frame of a captioned button of the given size. */
    static juce::Rectangle<float> getCaptionFrame (float width, float height) noexcept;

    /** Fills and outlines a captioned button's frame in the state's colour. */
    static void drawCaptionFrame (juce::Graphics&, juce::Rectangle<float> frame, bool highlighted, bool down);

    /** The bold caption font for a frame of the given height. */
    static juce::Font getCaptionFont (float frameHeight);

    /** The area an icon and its hover mark live in, for a button of the given size. */
    static juce::Rectangle<float> getIconArea (float width, float height) noexcept;

    /** The hover circle's bounds for a button of the given size. */
    static juce::Rectangle<float> getHoverCircle (float width, float height) noexcept;

    /** Where the icon is drawn in this button at its current size. */
    juce::Rectangle<float> getIconBounds() const noexcept;

private:
    void paintCaption (juce::Graphics&, bool highlighted, bool down);
    void paintIcon (juce::Graphics&, bool highlighted, bool down);

    juce::String caption;
    std::unique_ptr<juce::Drawable> icon;
    bool hasIconSizeOverride = false;
    float iconOverrideWidth = 0.0f, iconOverrideHeight = 0.0f;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (IconButton)
};
