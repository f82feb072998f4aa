#pragma once

#include "PluginProcessor.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <array>
#include <functional>
#include <memory>

/** Ostrel's main control panel: eight knobs with value readouts, the clipping-mode and
    oversampling selectors, the power button, the input, output and clip-amount meters and the
    transfer-curve display.

    The panel attaches its controls to the processor's parameters, lays them out proportionally to
    its own size (its owner gives it its bounds) and polls the processor every 33 ms: the poll
    follows the power state and the two selectors, refreshes the readouts and repaints the panel,
    which animates the meters and the transfer curve.
*/
class OstrelGUI : public juce::Component, public juce::Timer
{
public:
    explicit OstrelGUI (OstrelAudioProcessor&);
    ~OstrelGUI() override;

    void paint (juce::Graphics&) override;
    void resized() override;

    /** The poll: power state, selector states, readouts, repaint. */
    void timerCallback() override;

    //==============================================================================
    /** A knob's readout text ("+3.5 dB", "50%"). */
    juce::String formatValue (const juce::Slider&) const;

    /** Applies typed text to a knob, clamped to its range; blank text changes nothing. */
    void commitValue (juce::Slider&, juce::String text);

    /** Puts every knob's value into its readout (unless the readout is being edited) and shows
        the readouts only while the plug-in is powered.
    */
    void refreshValueLabels();

    //==============================================================================
    /** A knob's value readout, which also accepts typed values. */
    class EditableValueLabel : public juce::Label
    {
    public:
        EditableValueLabel() : juce::Label ({}, {}) {}

        /** Called with the text just entered. */
        std::function<void (const juce::String&)> onCommit;

    protected:
        juce::TextEditor* createEditorComponent() override;
        void textWasEdited() override;
    };

    /** The knobs' look: a dark body and cap with an orange value arc that turns grey while
        bypassed.
    */
    class RotaryKnobLookAndFeel : public juce::LookAndFeel_V4
    {
    public:
        explicit RotaryKnobLookAndFeel (OstrelGUI& panel) : owner (&panel) {}

        void drawRotarySlider (juce::Graphics&, int x, int y, int width, int height, float sliderPos,
                               float rotaryStartAngle, float rotaryEndAngle, juce::Slider&) override;

        OstrelGUI* owner;
    };

    /** The look of the mode and oversampling segments. */
    class SegmentedButtonLookAndFeel : public juce::LookAndFeel_V4
    {
    public:
        explicit SegmentedButtonLookAndFeel (OstrelGUI& panel) : owner (&panel) {}

        void drawButtonBackground (juce::Graphics&, juce::Button&, const juce::Colour& backgroundColour,
                                   bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;
        void drawButtonText (juce::Graphics&, juce::TextButton&, bool shouldDrawButtonAsHighlighted,
                             bool shouldDrawButtonAsDown) override;

        OstrelGUI* owner;
    };

    /** The power button. It draws isOn, which the panel's poll keeps in step with "power", and
        not its toggle state.
    */
    class PowerButton : public juce::Button
    {
    public:
        explicit PowerButton (const juce::String& name) : juce::Button (name) {}

        bool isOn = true;

    protected:
        void paintButton (juce::Graphics&, bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;
    };

    /** A knob and the caption painted above it. */
    struct SliderMeta
    {
        juce::Slider* slider = nullptr;
        juce::String caption;
    };

private:
    OstrelAudioProcessor& processor;

public:
    /** The panel's palette. */
    const juce::Colour backgroundColour { 0xff0a0b0d };
    const juce::Colour panelColour { 0xff1b1c1f };
    const juce::Colour frameColour { 0xff101216 };
    const juce::Colour panelInnerEdgeColour { 0x20ffffff };
    const juce::Colour panelEdgeColour { 0x2cffffff };
    const juce::Colour textColour { 0xffeae5dd };
    const juce::Colour textDimColour { 0xffaeaaa4 };
    const juce::Colour textMutedColour { 0xff6e7074 };
    const juce::Colour accentColour { 0xffff961e };
    const juce::Colour accentDarkColour { 0xffae5411 };
    const juce::Colour gridColour { 0x1affffff };
    const juce::Colour meterOffColour { 0xff1f2226 };
    const juce::Colour meterColour { 0xffff9b20 };
    const juce::Colour frameEdgeColour { 0x1cffffff };

private:
    void drawPanels (juce::Graphics&) const;
    void drawStereoMeter (juce::Graphics&, juce::Rectangle<float> area, float left, float right,
                          const juce::String& label) const;
    void drawClipMeter (juce::Graphics&, juce::Rectangle<float> centrePanel) const;
    void drawTransferDisplay (juce::Graphics&, juce::Rectangle<float> display) const;
    void drawCaption (juce::Graphics&, const SliderMeta&, juce::Rectangle<float> knobBounds) const;
    void drawPanelFrame (juce::Graphics&, juce::Rectangle<float> r, float cornerSize) const;

    void configureValueLabel (EditableValueLabel&, std::function<void (const juce::String&)> callback);

    /** A parameter's raw value; 0 for an unknown ID. */
    float readParameter (const char* parameterID) const;

    std::array<juce::Slider*, 8> knobs() noexcept;
    std::array<juce::TextButton*, 7> segmentButtons() noexcept;

    RotaryKnobLookAndFeel knobLookAndFeel { *this };
    SegmentedButtonLookAndFeel segmentLookAndFeel { *this };

    juce::Slider inputSlider, shapeSlider, ceilingSlider, driveSlider, masterSlider, mixSlider, edgeSlider,
        lowProtectSlider;

    juce::TextButton softButton { "Soft" }, hardButton { "Hard" }, punchButton { "Punch" },
        oversamplingOffButton { "Off" }, oversampling2xButton { "2X" }, oversampling4xButton { "4X" },
        oversampling8xButton { "8X" };

    PowerButton powerButton { "Power" };

    std::array<EditableValueLabel, 8> valueLabels;

    std::array<std::unique_ptr<juce::AudioProcessorValueTreeState::SliderAttachment>, 8> sliderAttachments;
    std::unique_ptr<juce::AudioProcessorValueTreeState::ButtonAttachment> powerAttachment;

    std::array<SliderMeta, 8> sliderMetas;

    juce::Rectangle<float> inputPanelBounds, outputPanelBounds, brandPanelBounds;

    std::shared_ptr<juce::Drawable> logoDrawable;

    bool powerOn = true;

public:
    /** The editor's display-resolution mode (a MenuBar::ResolutionMode value, 3 = High). The
        editor writes it; layout and painting do not depend on it.
    */
    int resolutionMode = 3;

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OstrelGUI)
};
