#include "DialogTestHelpers.h"

using namespace ostrel_test;

namespace
{
/** The bounds of the pixels that differ from fully transparent. */
juce::Rectangle<int> paintedBounds (const juce::Image& image)
{
    juce::Rectangle<int> bounds;

    for (int y = 0; y < image.getHeight(); ++y)
        for (int x = 0; x < image.getWidth(); ++x)
            if (image.getPixelAt (x, y).getAlpha() != 0)
                bounds = bounds.isEmpty() ? juce::Rectangle<int> (x, y, 1, 1)
                                          : bounds.getUnion (juce::Rectangle<int> (x, y, 1, 1));

    return bounds;
}

juce::Image blankImage (int w, int h) { return juce::Image (juce::Image::ARGB, w, h, true); }

bool imagesEqual (const juce::Image& a, const juce::Image& b)
{
    for (int y = 0; y < a.getHeight(); ++y)
        for (int x = 0; x < a.getWidth(); ++x)
            if (a.getPixelAt (x, y) != b.getPixelAt (x, y))
                return false;

    return true;
}

/** An icon that fills its whole view box, so its drawn bounds are visible in the image. */
std::unique_ptr<juce::Drawable> squareIcon()
{
    auto icon = std::make_unique<juce::DrawableRectangle>();
    icon->setRectangle (juce::Parallelogram<float> (juce::Rectangle<float> (0.0f, 0.0f, 10.0f, 10.0f)));
    icon->setFill (juce::Colours::red);
    return icon;
}

juce::Image paintButton (IconButton& button, bool highlighted)
{
    auto image = blankImage (button.getWidth(), button.getHeight());
    juce::Graphics g (image);
    button.paintButton (g, highlighted, false);
    return image;
}
} // namespace

TEST (IconButtonStyle, IconAndHoverGeometryAt56Square)
{
    IconButton button ("Settings");
    button.setSize (56, 56);

    const auto area = IconButton::getIconArea (56.0f, 56.0f);
    EXPECT_NEAR (area.getX(), 1.68f, 1e-4f);
    EXPECT_NEAR (area.getWidth(), 52.64f, 1e-4f);

    const auto circle = IconButton::getHoverCircle (56.0f, 56.0f);
    EXPECT_NEAR (circle.getX(), 5.8912f, 1e-3f);
    EXPECT_NEAR (circle.getWidth(), 44.2176f, 1e-3f);

    EXPECT_NEAR (button.getIconBounds().getWidth(), 32.6368f, 1e-3f);
    button.setIconSize (28.0f, 28.0f);
    const auto icon = button.getIconBounds();
    EXPECT_NEAR (icon.getX(), 14.0f, 1e-4f);
    EXPECT_NEAR (icon.getY(), 14.0f, 1e-4f);
    EXPECT_FLOAT_EQ (icon.getWidth(), 28.0f);
    EXPECT_FLOAT_EQ (icon.getHeight(), 28.0f);

    // What is painted: the icon alone, then the hover circle around it.
    button.setIcon (squareIcon());
    EXPECT_EQ (paintedBounds (paintButton (button, false)), juce::Rectangle<int> (14, 14, 28, 28));

    const auto hovered = paintedBounds (paintButton (button, true));
    EXPECT_NEAR (hovered.getX(), 5, 1);
    EXPECT_NEAR (hovered.getWidth(), 46, 2); // the circle plus its outline
}

TEST (IconButtonStyle, CaptionFrameAndFont)
{
    EXPECT_EQ (IconButton::getCaptionFrame (285.0f, 47.0f), juce::Rectangle<float> (0.5f, 0.5f, 284.0f, 46.0f));
    EXPECT_EQ (IconButton::getCaptionFrame (0.0f, 0.0f), juce::Rectangle<float> (0.5f, 0.5f, 0.0f, 0.0f));

    EXPECT_FLOAT_EQ (IconButton::getCaptionFont (46.0f).getHeight(), 23.0f);
    EXPECT_TRUE (IconButton::getCaptionFont (46.0f).isBold());
    EXPECT_FLOAT_EQ (IconButton::getCaptionFont (22.0f).getHeight(), 11.0f); // a button 23 high
}

TEST (MenuStyle, ItemsAndSeparatorsTooNarrowDrawNothing)
{
    MenuBarLookAndFeel lf;

    auto drawItem = [&] (int width, bool separator)
    {
        auto image = blankImage (60, 30);
        juce::Graphics g (image);
        lf.drawPopupMenuItem (g, { 0, 0, width, 30 }, separator, true, false, false, false, "l", {}, nullptr, nullptr);
        return paintedBounds (image);
    };

    EXPECT_TRUE (drawItem (32, false).isEmpty());
    EXPECT_FALSE (drawItem (40, false).isEmpty());
    EXPECT_TRUE (drawItem (16, true).isEmpty());
    EXPECT_EQ (drawItem (17, true), juce::Rectangle<int> (8, 15, 1, 1));
    EXPECT_EQ (drawItem (60, true), juce::Rectangle<int> (8, 15, 44, 1));
}

TEST (MenuStyle, SectionHeadersAreDrawnInCapitals)
{
    MenuBarLookAndFeel lf;

    auto drawHeader = [&] (const juce::String& name)
    {
        auto image = blankImage (300, 30);
        juce::Graphics g (image);
        lf.drawPopupMenuSectionHeader (g, { 0, 0, 300, 30 }, name);
        return image;
    };

    const auto mixed = drawHeader ("Display Resolution");
    EXPECT_TRUE (imagesEqual (mixed, drawHeader ("DISPLAY RESOLUTION")));
    EXPECT_FALSE (imagesEqual (mixed, drawHeader ("Display Resolutio")));
}

TEST (MenuStyle, ItemHeightsComeFromTheMetrics)
{
    MenuBarLookAndFeel lf;
    lf.itemHeight = 23;
    int w = 0, h = 0;

    lf.getIdealPopupMenuItemSize ("Punchy Drums", false, 30, w, h);
    EXPECT_EQ (h, 23);
    EXPECT_GT (w, 0);

    lf.getIdealPopupMenuItemSize ({}, true, 30, w, h);
    EXPECT_EQ (h, 6);
}

//==============================================================================
TEST (DialogStyle, AlertButtonsArePlacedByTheWindowSize)
{
    DialogLookAndFeel lf;

    struct Case
    {
        int buttons;
        std::vector<juce::Rectangle<int>> expected;
    };

    const Case cases[] = {
        { 1, { { 132, 144, 136, 36 } } },
        { 2, { { 74, 144, 120, 36 }, { 206, 144, 120, 36 } } },
    };

    for (const auto& c : cases)
    {
        juce::AlertWindow alert ("Title", "Message", juce::MessageBoxIconType::NoIcon);
        alert.setLookAndFeel (&lf);

        for (int i = 0; i < c.buttons; ++i)
            alert.addButton ("B" + juce::String (i), i);

        alert.setSize (400, 200);
        auto image = blankImage (400, 200);
        juce::Graphics g (image);
        alert.paintEntireComponent (g, false);

        std::vector<juce::Rectangle<int>> placed;
        for (auto* child : alert.getChildren())
            if (dynamic_cast<juce::TextButton*> (child) != nullptr)
                placed.push_back (child->getBounds());

        EXPECT_EQ (placed, c.expected) << c.buttons << " buttons";
        alert.setLookAndFeel (nullptr);
    }
}

TEST (DialogStyle, FontsAndButtonsFollowTheDialogStyle)
{
    DialogLookAndFeel lf;
    juce::TextButton button ("OK");

    EXPECT_FLOAT_EQ (lf.getTextButtonFont (button, 10).getHeight(), 9.0f);
    EXPECT_FLOAT_EQ (lf.getTextButtonFont (button, 36).getHeight(), 16.0f);
    EXPECT_TRUE (lf.getAlertWindowTitleFont().isBold());
    EXPECT_FLOAT_EQ (lf.getAlertWindowTitleFont().getHeight(), 20.0f);
    EXPECT_FLOAT_EQ (lf.getAlertWindowMessageFont().getHeight(), 16.0f);
    EXPECT_FALSE (lf.getAlertWindowMessageFont().isBold());

    // The colour passed in is ignored: the button is drawn like the bar's captioned buttons.
    button.setSize (60, 24);
    auto drawn = [&] (juce::Colour colour)
    {
        auto image = blankImage (60, 24);
        juce::Graphics g (image);
        lf.drawButtonBackground (g, button, colour, false, false);
        return image;
    };

    const auto image = drawn (juce::Colours::red);
    EXPECT_TRUE (imagesEqual (image, drawn (juce::Colours::blue)));
    EXPECT_EQ (image.getPixelAt (30, 12), juce::Colour (0xff181e24));
}

TEST (DialogStyle, MenuBarSetsTheDialogColourScheme)
{
    MenuBar bar;
    const auto& lf = bar.dialogLookAndFeel;

    EXPECT_EQ (lf.findColour (juce::AlertWindow::backgroundColourId), juce::Colour (0xff12161b));
    EXPECT_EQ (lf.findColour (juce::AlertWindow::textColourId), juce::Colour (0xdcd2e1eb));
    EXPECT_EQ (lf.findColour (juce::TextEditor::focusedOutlineColourId), juce::Colour (0xff4eff24));
    EXPECT_EQ (lf.findColour (juce::TextButton::textColourOnId), juce::Colour (0xffeff5ff));
}

namespace
{
struct PlainEditor : juce::AudioProcessorEditor
{
    explicit PlainEditor (juce::AudioProcessor& p) : juce::AudioProcessorEditor (p) {}
};
} // namespace

using DialogPlacement = MenuBarFixture;

TEST_F (DialogPlacement, DialogsStayWithinTheEditorAndCentreOnIt)
{
    PlainEditor editor (processor);
    editor.setBounds (300, 200, 600, 400);
    editor.addAndMakeVisible (*bar);
    bar->setBounds (0, 0, 600, 36);

    struct Case
    {
        int w, h;
        int expectedW, expectedH;
    };

    const Case cases[] = {
        { 800, 100, 600, 175 }, // too wide, and raised to the minimum height
        { 350, 300, 350, 300 },
        { 300, 500, 300, 400 }, // too high
    };

    for (const auto& c : cases)
    {
        juce::AlertWindow dialog ("Title", "Message", juce::MessageBoxIconType::NoIcon);
        dialog.setSize (c.w, c.h);
        bar->centerDialogInWindow (dialog);

        EXPECT_EQ (dialog.getWidth(), c.expectedW) << c.w << " x " << c.h;
        EXPECT_EQ (dialog.getHeight(), c.expectedH) << c.w << " x " << c.h;
        EXPECT_EQ (dialog.getBounds().getCentre(), editor.getScreenBounds().getCentre()) << c.w << " x " << c.h;
    }

    editor.removeChildComponent (bar.get());
}
