// The control panel as a component: its children, wiring, poll and readouts.

#include "GuiTestHelpers.h"
#include "ParameterIDs.h"

#include <gtest/gtest.h>

#include <thread>

using namespace GuiTest;

namespace
{
struct Panel : ::testing::Test
{
    OstrelAudioProcessor processor;
    std::unique_ptr<OstrelGUI> panel = std::make_unique<OstrelGUI> (processor);

    juce::Slider& knob (const char* name) { return *child<juce::Slider> (*panel, name); }
    juce::Button& button (const char* name) { return *child<juce::Button> (*panel, name); }

    std::vector<juce::String> litButtons (std::initializer_list<const char*> names)
    {
        std::vector<juce::String> lit;

        for (auto* name : names)
            if (button (name).getToggleState())
                lit.push_back (name);

        return lit;
    }

    std::vector<juce::String> litModes() { return litButtons ({ "Soft", "Hard", "Punch" }); }
};
} // namespace

TEST_F (Panel, ChildLayoutAt1000By620)
{
    panel->setSize (1000, 620);

    const struct
    {
        const char* name;
        juce::Rectangle<int> bounds;
    } cases[] = {
        { "Input", { 55, 376, 56, 56 } },  { "Shape", { 516, 114, 47, 47 } },       { "Ceiling", { 738, 120, 76, 76 } },
        { "Drive", { 738, 242, 76, 76 } }, { "Master", { 889, 376, 56, 56 } },      { "Mix", { 738, 363, 76, 76 } },
        { "Edge", { 77, 506, 76, 76 } },   { "Low Protect", { 205, 508, 73, 73 } }, { "Soft", { 185, 154, 71, 22 } },
        { "Hard", { 256, 154, 71, 22 } },  { "Punch", { 327, 154, 71, 22 } },       { "Off", { 339, 530, 78, 28 } },
        { "2X", { 417, 530, 78, 28 } },    { "4X", { 495, 530, 78, 28 } },          { "8X", { 573, 530, 78, 28 } },
        { "Power", { 895, 55, 44, 44 } },
    };

    for (const auto& c : cases)
    {
        auto* component = child (*panel, c.name);
        ASSERT_NE (component, nullptr) << c.name;
        EXPECT_EQ (component->getBounds(), c.bounds) << c.name;
    }

    const auto labels = valueLabels (*panel);
    ASSERT_EQ (labels.size(), 8);
    EXPECT_EQ (labels[0]->getBounds(), juce::Rectangle<int> (55, 432, 56, 20));
    EXPECT_EQ (labels[1]->getBounds(), juce::Rectangle<int> (516, 160, 47, 22));
    EXPECT_EQ (labels[7]->getBounds(), juce::Rectangle<int> (205, 581, 73, 20));
    EXPECT_EQ (labels[0]->getFont(), juce::Font (15.5f, juce::Font::bold));
}

TEST_F (Panel, EveryChildStaysInsideThePanelAtOtherSizes)
{
    const juce::Point<int> sizes[] = { { 720, 437 }, { 1187, 712 }, { 1600, 971 }, { 1215, 737 },
                                       { 984, 597 }, { 600, 364 },  { 400, 900 },  { 2400, 500 } };

    for (auto size : sizes)
    {
        panel->setSize (size.x, size.y);

        for (auto* c : panel->getChildren())
            EXPECT_TRUE (panel->getLocalBounds().contains (c->getBounds()))
                << size.x << " x " << size.y << ": " << c->getName() << " at " << c->getBounds().toString();
    }
}

TEST_F (Panel, ControlsAreAttachedToTheirParameters)
{
    const struct
    {
        const char* knob;
        const char* parameter;
        double value;
    } cases[] = {
        { "Input", ParamIDs::input, -6.5 },     { "Shape", ParamIDs::shape, 72.0 },
        { "Ceiling", ParamIDs::ceiling, -3.0 }, { "Drive", ParamIDs::output, 4.25 },
        { "Master", ParamIDs::master, -2.0 },   { "Mix", ParamIDs::mix, 35.0 },
        { "Edge", ParamIDs::edge, -40.0 },      { "Low Protect", ParamIDs::lowProtect, 80.0 },
    };

    for (const auto& c : cases)
    {
        knob (c.knob).setValue (c.value, juce::sendNotificationSync);
        EXPECT_NEAR (rawValue (processor, c.parameter), c.value, 1.0e-4) << c.knob;
    }
}

//==============================================================================
TEST_F (Panel, FreshPanelShowsPowerAndReadoutsBeforeTheFirstTick)
{
    auto* power = child<OstrelGUI::PowerButton> (*panel, "Power");
    ASSERT_NE (power, nullptr);
    EXPECT_TRUE (power->isOn);

    const juce::StringArray expected { "0.0 dB", "40%", "-1.0 dB", "0.0 dB", "0.0 dB", "100%", "0%", "50%" };
    const auto labels = valueLabels (*panel);

    for (int i = 0; i < labels.size(); ++i)
    {
        EXPECT_TRUE (labels[i]->isVisible()) << i;
        EXPECT_EQ (labels[i]->getText(), expected[i]) << i;
        EXPECT_EQ (labels[i]->findColour (juce::Label::textColourId), panel->accentColour) << i;
    }
}

TEST_F (Panel, PollLightsExactlyTheHostsMode)
{
    for (int mode : { 0, 1, 2, 1 })
    {
        processor.setParamValue (ParamIDs::mode, (float) mode);
        const juce::String expected = mode == 0 ? "Soft" : (mode == 1 ? "Hard" : "Punch");
        EXPECT_TRUE (pumpUntil ([&] { return litModes() == std::vector<juce::String> { expected }; }))
            << "mode " << mode;
    }

    processor.setParamValue (ParamIDs::oversampling, 3.0f);
    EXPECT_TRUE (pumpUntil (
        [&] {
            return litButtons ({ "Off", "2X", "4X", "8X" }) == std::vector<juce::String> { "8X" };
        }));
}

TEST_F (Panel, ModeOutsideItsRangeLightsNoSegment)
{
    processor.setParamValue (ParamIDs::mode, 1.0f);
    ASSERT_TRUE (pumpUntil ([&] { return litModes() == std::vector<juce::String> { "Hard" }; }));

    processor.apvts.getRawParameterValue (ParamIDs::mode)->store (3.0f);
    processor.apvts.getRawParameterValue (ParamIDs::oversampling)->store (-1.0f);
    EXPECT_TRUE (pumpUntil ([&] { return litModes().empty(); }));
    EXPECT_TRUE (litButtons ({ "Off", "2X", "4X", "8X" }).empty());

    processor.apvts.getRawParameterValue (ParamIDs::mode)->store (1.6f);
    EXPECT_TRUE (pumpUntil ([&] { return litModes() == std::vector<juce::String> { "Punch" }; }));
}

TEST_F (Panel, SegmentClicksSetTheirValues)
{
    const struct
    {
        const char* button;
        const char* parameter;
        float value;
    } cases[] = {
        { "Soft", ParamIDs::mode, 0.0f },        { "Hard", ParamIDs::mode, 1.0f },
        { "Punch", ParamIDs::mode, 2.0f },       { "Punch", ParamIDs::mode, 2.0f }, // clicking a lit segment
        { "Off", ParamIDs::oversampling, 0.0f }, { "2X", ParamIDs::oversampling, 1.0f },
        { "4X", ParamIDs::oversampling, 2.0f },  { "8X", ParamIDs::oversampling, 3.0f },
    };

    for (const auto& c : cases)
    {
        button (c.button).triggerClick();
        EXPECT_TRUE (pumpUntil ([&] { return rawValue (processor, c.parameter) == c.value; })) << c.button;
        EXPECT_TRUE (pumpUntil ([&] { return button (c.button).getToggleState(); })) << c.button;
    }
}

TEST_F (Panel, TwoPowerClicksReturnPowerToItsFirstValue)
{
    auto& power = *child<OstrelGUI::PowerButton> (*panel, "Power");

    power.triggerClick();
    ASSERT_TRUE (pumpUntil ([&] { return rawValue (processor, ParamIDs::power) == 0.0f; }));
    EXPECT_TRUE (pumpUntil ([&] { return ! power.isOn; }));
    pumpFor (100);
    EXPECT_EQ (rawValue (processor, ParamIDs::power), 0.0f);

    power.triggerClick();
    ASSERT_TRUE (pumpUntil ([&] { return rawValue (processor, ParamIDs::power) == 1.0f; }));
    EXPECT_TRUE (pumpUntil ([&] { return power.isOn; }));
    pumpFor (100);
    EXPECT_EQ (rawValue (processor, ParamIDs::power), 1.0f);
}

TEST_F (Panel, PowerSetByTheHostIsNotFlippedBack)
{
    // Hosts change parameters from the message thread and from their own threads (automation
    // arrives with the audio). Either way the panel only follows; it never writes "power" back.
    auto& power = *child<OstrelGUI::PowerButton> (*panel, "Power");

    processor.setParamValue (ParamIDs::power, 0.0f);
    pumpFor (100);
    EXPECT_EQ (rawValue (processor, ParamIDs::power), 0.0f);
    EXPECT_FALSE (power.getToggleState());
    EXPECT_FALSE (power.isOn);

    std::thread host ([this] { processor.setParamValue (ParamIDs::power, 1.0f); });
    host.join();
    pumpFor (100);
    EXPECT_EQ (rawValue (processor, ParamIDs::power), 1.0f);
    EXPECT_TRUE (power.getToggleState());
    EXPECT_TRUE (power.isOn);
}

//==============================================================================
TEST_F (Panel, TypedValuesAreParsedAndClamped)
{
    const struct
    {
        const char* knob;
        const char* parameter;
        double before;
        const char* typed;
        double after;
        const char* readout;
    } cases[] = {
        { "Input", ParamIDs::input, 0.0, "-3.5 dB", -3.5, "-3.5 dB" },
        { "Mix", ParamIDs::mix, 100.0, "12%", 12.0, "12%" },
        { "Mix", ParamIDs::mix, 100.0, " 7 ", 7.0, "7%" },
        { "Input", ParamIDs::input, 0.0, "4.2dB", 4.2, "+4.2 dB" },
        { "Input", ParamIDs::input, 0.0, "1e1", 10.0, "+10.0 dB" },
        { "Input", ParamIDs::input, 5.0, "abc", 0.0, "0.0 dB" },
        { "Edge", ParamIDs::edge, -20.0, "\t- 35 %", -35.0, "-35%" },
        { "Ceiling", ParamIDs::ceiling, -6.0, "", -6.0, "-6.0 dB" },
        { "Ceiling", ParamIDs::ceiling, -6.0, "  \t ", -6.0, "-6.0 dB" },
        { "Input", ParamIDs::input, 0.0, "99 dB", 24.0, "+24.0 dB" },
        { "Ceiling", ParamIDs::ceiling, -1.0, "-40", -12.0, "-12.0 dB" },
        { "Shape", ParamIDs::shape, 40.0, "250%", 100.0, "100%" },
    };

    const auto labels = valueLabels (*panel);
    const juce::StringArray knobOrder { "Input", "Shape", "Ceiling", "Drive", "Master", "Mix", "Edge", "Low Protect" };

    for (const auto& c : cases)
    {
        SCOPED_TRACE (juce::String (c.knob) + " <- \"" + c.typed + "\"");
        auto& slider = knob (c.knob);
        slider.setValue (c.before, juce::sendNotificationSync);
        auto& label = *labels[knobOrder.indexOf (c.knob)];
        label.setText ("typed", juce::dontSendNotification);

        panel->commitValue (slider, c.typed);

        EXPECT_NEAR (slider.getValue(), c.after, 1.0e-4);
        EXPECT_NEAR (rawValue (processor, c.parameter), c.after, 1.0e-4);
        EXPECT_EQ (label.getText(), c.readout);
    }
}

TEST_F (Panel, ReadoutEditorCommitsAndLooksLikeThePanel)
{
    panel->setSize (1000, 620);
    auto& label = *valueLabels (*panel)[5]; // mix

    label.showEditor();
    auto* editor = label.getCurrentTextEditor();
    ASSERT_NE (editor, nullptr);
    EXPECT_EQ (editor->findColour (juce::TextEditor::backgroundColourId), juce::Colour (0xff181a1e));
    EXPECT_EQ (editor->findColour (juce::TextEditor::textColourId), juce::Colour (0xffffebd0));
    EXPECT_EQ (editor->findColour (juce::TextEditor::focusedOutlineColourId), juce::Colour (0xe6ff961e));
    EXPECT_EQ (editor->getJustificationType(), juce::Justification::centred);
    EXPECT_EQ (editor->getFont(), label.getFont());

    editor->setText ("33", false);
    label.hideEditor (false);

    EXPECT_NEAR (rawValue (processor, ParamIDs::mix), 33.0f, 1.0e-4f);
    EXPECT_EQ (label.getText(), "33%");
}

TEST_F (Panel, OpenReadoutEditorIsNeverOverwritten)
{
    auto& label = *valueLabels (*panel)[0]; // input
    label.showEditor();
    ASSERT_NE (label.getCurrentTextEditor(), nullptr);
    label.getCurrentTextEditor()->setText ("-7", false);

    processor.setParamValue (ParamIDs::input, 6.0f);
    pumpFor (100);

    ASSERT_TRUE (label.isBeingEdited());
    EXPECT_EQ (label.getCurrentTextEditor()->getText(), "-7");
    EXPECT_EQ (label.getText(), "0.0 dB");

    label.hideEditor (true);
    pumpFor (100);
    EXPECT_EQ (label.getText(), "+6.0 dB");
}

TEST_F (Panel, ReadoutsHideWhileBypassed)
{
    processor.setParamValue (ParamIDs::power, 0.0f);
    const auto labels = valueLabels (*panel);
    EXPECT_TRUE (pumpUntil (
        [&] { return std::none_of (labels.begin(), labels.end(), [] (auto* l) { return l->isVisible(); }); }));

    processor.setParamValue (ParamIDs::power, 1.0f);
    EXPECT_TRUE (pumpUntil (
        [&] { return std::all_of (labels.begin(), labels.end(), [] (auto* l) { return l->isVisible(); }); }));
}

//==============================================================================
TEST_F (Panel, DestroyingThePanelDetachesItsLookAndFeelsFirst)
{
    // A child still using one of the panel's look-and-feels when the look-and-feel dies trips the
    // framework's check. Each knob and segment reports the look-and-feel it has at the moment it
    // is deleted, which is before the panel's look-and-feels are.
    struct Watcher : juce::ComponentListener
    {
        void componentBeingDeleted (juce::Component& c) override
        {
            if (&c.getLookAndFeel() != &juce::LookAndFeel::getDefaultLookAndFeel())
                stillStyled.add (c.getName());

            ++deleted;
        }

        juce::StringArray stillStyled;
        int deleted = 0;
    } watcher;

    const char* styled[] = { "Input", "Shape", "Ceiling", "Drive", "Master", "Mix", "Edge", "Low Protect",
                             "Soft",  "Hard",  "Punch",   "Off",   "2X",     "4X",  "8X" };

    for (auto* name : styled)
    {
        auto* component = child (*panel, name);
        ASSERT_NE (component, nullptr) << name;
        EXPECT_NE (&component->getLookAndFeel(), &juce::LookAndFeel::getDefaultLookAndFeel()) << name;
        component->addComponentListener (&watcher);
    }

    panel.reset();

    EXPECT_EQ (watcher.deleted, (int) std::size (styled));
    EXPECT_TRUE (watcher.stillStyled.isEmpty()) << watcher.stillStyled.joinIntoString (", ");
}

TEST_F (Panel, PaintsAtAnySizeAndBeforeTheFirstLayout)
{
    processor.clipAmount = 2.0f;
    processor.inputLevel[0] = -1.0f;
    processor.outputLevel[1] = std::numeric_limits<float>::quiet_NaN();

    // Before the first layout: no brand panel, children at zero size.
    {
        juce::Image image (juce::Image::ARGB, 200, 120, true);
        juce::Graphics g (image);
        panel->paintEntireComponent (g, false);
        EXPECT_EQ (image.getPixelAt (100, 1), panel->backgroundColour) << "the background fills the corner rows";
    }

    // Tiny and extreme sizes: the geometry never goes negative, so painting must simply finish.
    for (auto size : { juce::Point<int> { 1, 1 }, { 12, 7 }, { 60, 400 }, { 1000, 620 } })
    {
        panel->setSize (size.x, size.y);
        panel->timerCallback();
        juce::Image image (juce::Image::ARGB, size.x, size.y, true);
        juce::Graphics g (image);
        panel->paintEntireComponent (g, false);

        if (size.x == 1000)
        {
            EXPECT_EQ (image.getPixelAt (1, 0), panel->backgroundColour);
            // Hairlines every 7 px, each third one brighter.
            const auto red = [&] (int x) { return image.getPixelAt (x, 0).getRed(); };
            EXPECT_GT (red (0), red (7));
            EXPECT_GT (red (7), red (1));
            EXPECT_EQ (red (21), red (0));
            EXPECT_EQ (red (14), red (7));
        }
    }
}
