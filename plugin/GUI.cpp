#include "GUI.h"

#include "PanelGeometry.h"
#include "ParameterIDs.h"
#include "TransferCurve.h"
#include "ValueReadout.h"

using namespace PanelGeometry;

namespace
{
constexpr float pi = juce::MathConstants<float>::pi;

// The brand mark: a ring around a clipped wave, in a 0 0 100 100 view box.
constexpr const char* logoSvg =
    R"svg(<svg xmlns="http://www.w3.org/2000/svg" viewBox="0 0 100 100" width="100" height="100">
  <circle cx="50" cy="50" r="42" fill="none" stroke="#8c8881" stroke-width="4"/>
  <path d="M18 50 C24 50 27 32 34 32 L42 32 C48 32 50 50 50 50 C50 50 52 68 58 68 L66 68 C73 68 76 50 82 50"
        fill="none" stroke="#c8701e" stroke-width="5" stroke-linecap="round" stroke-linejoin="round"/>
</svg>)svg";

juce::PathStrokeType roundStroke (float width)
{
    return { width, juce::PathStrokeType::curved, juce::PathStrokeType::rounded };
}

juce::Colour withAlphaByte (juce::Colour c, int alpha) { return c.withAlpha ((juce::uint8) alpha); }
} // namespace

//==============================================================================
OstrelGUI::OstrelGUI (OstrelAudioProcessor& p) : processor (p)
{
    if (auto svg = juce::XmlDocument::parse (logoSvg))
        logoDrawable = juce::Drawable::createFromSVG (*svg);

    const std::array<const char*, 8> knobNames { "Input",  "Shape", "Ceiling", "Drive",
                                                 "Master", "Mix",   "Edge",    "Low Protect" };
    const auto allKnobs = knobs();

    for (size_t i = 0; i < allKnobs.size(); ++i)
    {
        auto* knob = allKnobs[i];
        knob->setName (knobNames[i]);
        knob->setSliderStyle (juce::Slider::RotaryHorizontalVerticalDrag);
        knob->setTextBoxStyle (juce::Slider::NoTextBox, false, 0, 0);
        knob->setLookAndFeel (&knobLookAndFeel);
    }

    for (auto* knob : allKnobs)
        addAndMakeVisible (*knob);

    for (size_t i = 0; i < valueLabels.size(); ++i)
        configureValueLabel (valueLabels[i],
                             [this, knob = allKnobs[i]] (const juce::String& text) { commitValue (*knob, text); });

    const std::array<const char*, 7> buttonTexts { "SOFT", "HARD", "PUNCH", "OFF", "2X", "4X", "8X" };
    const auto buttons = segmentButtons();

    for (size_t i = 0; i < buttons.size(); ++i)
    {
        buttons[i]->setButtonText (buttonTexts[i]);
        buttons[i]->setClickingTogglesState (false);
        buttons[i]->setLookAndFeel (&segmentLookAndFeel);
        addAndMakeVisible (*buttons[i]);
    }

    // The power button toggles itself and its attachment writes the new state to "power" as one
    // gesture. The attachment reports every change of "power" back to the button as a click, so a
    // click handler that flipped "power" would undo changes arriving from the host's threads.
    powerButton.setClickingTogglesState (true);
    addAndMakeVisible (powerButton);

    using SliderAttachment = juce::AudioProcessorValueTreeState::SliderAttachment;
    const std::array<const char*, 8> knobParameters { ParamIDs::input,  ParamIDs::shape,     ParamIDs::ceiling,
                                                      ParamIDs::output, ParamIDs::master,    ParamIDs::mix,
                                                      ParamIDs::edge,   ParamIDs::lowProtect };

    for (size_t i = 0; i < allKnobs.size(); ++i)
        sliderAttachments[i] = std::make_unique<SliderAttachment> (processor.apvts, knobParameters[i], *allKnobs[i]);

    powerAttachment = std::make_unique<juce::AudioProcessorValueTreeState::ButtonAttachment> (
        processor.apvts, ParamIDs::power, powerButton);

    const auto setsParameter = [this] (const char* parameterID, float value)
    { return [this, parameterID, value] { processor.setParamValue (parameterID, value); }; };

    softButton.onClick = setsParameter (ParamIDs::mode, 0.0f);
    hardButton.onClick = setsParameter (ParamIDs::mode, 1.0f);
    punchButton.onClick = setsParameter (ParamIDs::mode, 2.0f);
    oversamplingOffButton.onClick = setsParameter (ParamIDs::oversampling, 0.0f);
    oversampling2xButton.onClick = setsParameter (ParamIDs::oversampling, 1.0f);
    oversampling4xButton.onClick = setsParameter (ParamIDs::oversampling, 2.0f);
    oversampling8xButton.onClick = setsParameter (ParamIDs::oversampling, 3.0f);

    const std::array<const char*, 8> captions {
        "INPUT", "", "CEILING", "DRIVE", "OUTPUT", "MIX", "EDGE", "LOW PROTECT"
    };

    for (size_t i = 0; i < sliderMetas.size(); ++i)
        sliderMetas[i] = { allKnobs[i], captions[i] };

    powerOn = readParameter (ParamIDs::power) >= 0.5f;
    powerButton.isOn = powerOn;
    powerButton.repaint();

    refreshValueLabels();
    startTimer (33);
}

OstrelGUI::~OstrelGUI()
{
    for (auto* knob : knobs())
        knob->setLookAndFeel (nullptr);

    for (auto* button : segmentButtons())
        button->setLookAndFeel (nullptr);
}

std::array<juce::Slider*, 8> OstrelGUI::knobs() noexcept
{
    return { &inputSlider,  &shapeSlider, &ceilingSlider, &driveSlider,
             &masterSlider, &mixSlider,   &edgeSlider,    &lowProtectSlider };
}

std::array<juce::TextButton*, 7> OstrelGUI::segmentButtons() noexcept
{
    return { &softButton,           &hardButton,           &punchButton,         &oversamplingOffButton,
             &oversampling2xButton, &oversampling4xButton, &oversampling8xButton };
}

float OstrelGUI::readParameter (const char* parameterID) const
{
    if (auto* value = processor.apvts.getRawParameterValue (parameterID))
        return value->load();

    return 0.0f;
}

//==============================================================================
void OstrelGUI::timerCallback()
{
    powerOn = readParameter (ParamIDs::power) >= 0.5f;
    powerButton.isOn = powerOn;
    powerButton.repaint();

    const auto mode = std::lround (readParameter (ParamIDs::mode));
    softButton.setToggleState (mode == 0, juce::dontSendNotification);
    hardButton.setToggleState (mode == 1, juce::dontSendNotification);
    punchButton.setToggleState (mode == 2, juce::dontSendNotification);

    const auto oversampling = std::lround (readParameter (ParamIDs::oversampling));
    oversamplingOffButton.setToggleState (oversampling == 0, juce::dontSendNotification);
    oversampling2xButton.setToggleState (oversampling == 1, juce::dontSendNotification);
    oversampling4xButton.setToggleState (oversampling == 2, juce::dontSendNotification);
    oversampling8xButton.setToggleState (oversampling == 3, juce::dontSendNotification);

    refreshValueLabels();
    repaint();
}

void OstrelGUI::resized()
{
    const auto layout = childLayout ((float) getWidth(), (float) getHeight());

    inputPanelBounds = layout.inputPanel;
    outputPanelBounds = layout.outputPanel;
    brandPanelBounds = layout.brandPanel;

    const auto allKnobs = knobs();

    for (size_t i = 0; i < allKnobs.size(); ++i)
        allKnobs[i]->setBounds (layout.knobs[i]);

    softButton.setBounds (layout.modeButtons[0]);
    hardButton.setBounds (layout.modeButtons[1]);
    punchButton.setBounds (layout.modeButtons[2]);
    oversamplingOffButton.setBounds (layout.oversamplingButtons[0]);
    oversampling2xButton.setBounds (layout.oversamplingButtons[1]);
    oversampling4xButton.setBounds (layout.oversamplingButtons[2]);
    oversampling8xButton.setBounds (layout.oversamplingButtons[3]);
    powerButton.setBounds (layout.powerButton);

    const juce::Font labelFont (layout.valueLabelFontHeight, juce::Font::bold);

    for (size_t i = 0; i < valueLabels.size(); ++i)
    {
        if (valueLabels[i].getFont() != labelFont)
            valueLabels[i].setFont (labelFont);

        valueLabels[i].setBounds (layout.valueLabels[i]);
    }
}

//==============================================================================
// Value readouts

void OstrelGUI::configureValueLabel (EditableValueLabel& label, std::function<void (const juce::String&)> callback)
{
    label.onCommit = std::move (callback);
    label.setJustificationType (juce::Justification::centred);
    label.setEditable (true, true, false);
    label.setColour (juce::Label::backgroundColourId, juce::Colours::transparentBlack);
    label.setColour (juce::Label::outlineColourId, juce::Colours::transparentBlack);
    label.setColour (juce::Label::backgroundWhenEditingColourId, juce::Colour (0xff181a1e));
    label.setColour (juce::Label::textWhenEditingColourId, juce::Colour (0xffffebd0));
    label.setColour (juce::Label::outlineWhenEditingColourId, withAlphaByte (accentColour, 0xe6));
    addAndMakeVisible (label);
}

juce::TextEditor* OstrelGUI::EditableValueLabel::createEditorComponent()
{
    // The editor looks like the readout it replaces: the label's font and its editing colours.
    auto* textEditor = new juce::TextEditor (juce::String());
    textEditor->setJustification (juce::Justification::centred);
    textEditor->setFont (getFont());
    textEditor->setColour (juce::TextEditor::backgroundColourId, findColour (backgroundWhenEditingColourId));
    textEditor->setColour (juce::TextEditor::textColourId, findColour (textWhenEditingColourId));
    textEditor->setColour (juce::TextEditor::outlineColourId, findColour (outlineWhenEditingColourId));
    textEditor->setColour (juce::TextEditor::focusedOutlineColourId, findColour (outlineWhenEditingColourId));
    return textEditor;
}

void OstrelGUI::EditableValueLabel::textWasEdited()
{
    if (onCommit != nullptr)
        onCommit (getText());
}

juce::String OstrelGUI::formatValue (const juce::Slider& slider) const
{
    const auto name = slider.getName().toLowerCase();
    const auto decibels = name == "input" || name == "ceiling" || name == "drive" || name == "master";
    return ValueReadout::format (slider.getValue(), decibels);
}

void OstrelGUI::commitValue (juce::Slider& slider, juce::String text)
{
    if (const auto value = ValueReadout::parse (text))
        slider.setValue (juce::jlimit (slider.getMinimum(), slider.getMaximum(), *value), juce::sendNotificationSync);

    refreshValueLabels();
}

void OstrelGUI::refreshValueLabels()
{
    const auto allKnobs = knobs();

    for (size_t i = 0; i < valueLabels.size(); ++i)
    {
        auto& label = valueLabels[i];
        const auto text = formatValue (*allKnobs[i]);

        if (! label.isBeingEdited())
            label.setText (text, juce::dontSendNotification);

        label.setVisible (powerOn);
        label.setColour (juce::Label::textColourId, accentColour);
    }
}

//==============================================================================
// Painting

void OstrelGUI::paint (juce::Graphics& g)
{
    const auto W = (float) getWidth();
    const auto H = (float) getHeight();
    const auto layout = paintLayout (W, H, brandPanelBounds);

    g.fillAll (backgroundColour);

    const auto& outer = layout.outerPanel;
    g.setGradientFill ({ panelColour.brighter (0.04f), 0.0f, outer.getY(), panelColour.darker (0.15f), 0.0f,
                         outer.getBottom(), false });
    g.fillRoundedRectangle (outer, 18.0f);
    g.setColour (panelEdgeColour);
    g.drawRoundedRectangle (outer, 18.0f, 1.0f);
    g.setColour (panelInnerEdgeColour);
    g.drawRoundedRectangle (outer.reduced (1.0f), 17.0f, 1.0f);

    for (int x = 0; x < getWidth(); x += 7)
    {
        g.setColour (juce::Colour (x % 21 == 0 ? 0x04ffffffu : 0x02ffffffu));
        g.drawVerticalLine (x, 0.0f, H);
    }

    g.setColour (powerOn ? textColour : textDimColour);
    g.setFont (juce::Font (layout.title.fontHeight, juce::Font::bold));
    g.drawFittedText ("OSTREL", layout.title.box, juce::Justification::centred, 1);

    g.setColour (powerOn ? accentColour : textMutedColour);
    g.setFont (juce::Font (layout.subtitle.fontHeight, juce::Font::plain));
    g.drawFittedText ("PEAK SHAPER & LOUDNESS CLIPPER", layout.subtitle.box, juce::Justification::centred, 1);

    drawPanels (g);
}

void OstrelGUI::drawPanels (juce::Graphics& g) const
{
    const auto W = (float) getWidth();
    const auto H = (float) getHeight();
    const auto layout = paintLayout (W, H, brandPanelBounds);
    const auto titleColour = powerOn ? textColour : textDimColour;

    drawStereoMeter (g, layout.inputPanel, processor.inputLevel[0].load(), processor.inputLevel[1].load(), "INPUT");
    drawStereoMeter (g, layout.outputPanel, processor.outputLevel[0].load(), processor.outputLevel[1].load(), "OUTPUT");

    drawPanelFrame (g, layout.centrePanel, 14.0f);

    g.setColour (titleColour);
    g.setFont (juce::Font (layout.modeTitle.fontHeight, juce::Font::bold));
    g.drawFittedText ("MODE", layout.modeTitle.box, juce::Justification::centredLeft, 1);
    g.setFont (juce::Font (layout.shapeTitle.fontHeight, juce::Font::bold));
    g.drawFittedText ("SHAPE", layout.shapeTitle.box, juce::Justification::centred, 1);

    drawTransferDisplay (g, layout.display);
    drawClipMeter (g, layout.centrePanel);

    for (auto knob : { inputKnob, ceilingKnob, driveKnob, mixKnob, masterKnob })
        drawCaption (g, sliderMetas[(size_t) knob], sliderMetas[(size_t) knob].slider->getBounds().toFloat());

    const auto hasBrandPanel = brandPanelBounds.getWidth() > 0.0f && brandPanelBounds.getHeight() > 0.0f;

    if (hasBrandPanel)
    {
        drawPanelFrame (g, brandPanelBounds, 12.0f);

        if (logoDrawable != nullptr)
        {
            if (! juce::approximatelyEqual (logoDrawable->getAlpha(), 0.8f))
                logoDrawable->setAlpha (0.8f);

            // Drawing at an opacity below 1 composites through a layer the size of the clip;
            // clipping to the logo's own area first keeps that layer small.
            const auto area = logoArea (brandPanelBounds);
            juce::Graphics::ScopedSaveState state (g);
            g.reduceClipRegion (area.getSmallestIntegerContainer());
            logoDrawable->drawWithin (g, area, juce::RectanglePlacement::centred, 0.5f);
        }

        const auto name = brandNameBox (brandPanelBounds);
        g.setColour ((powerOn ? textDimColour : textMutedColour.brighter (0.08f)).withMultipliedAlpha (0.8f));
        g.setFont (juce::Font (name.fontHeight, juce::Font::bold));
        g.drawFittedText ("LARKFEN AUDIO", name.box, juce::Justification::centred, 1);
    }

    for (auto knob : { edgeKnob, lowProtectKnob })
        drawCaption (g, sliderMetas[(size_t) knob], sliderMetas[(size_t) knob].slider->getBounds().toFloat());

    g.setColour (titleColour);
    g.setFont (juce::Font (layout.oversamplingTitle.fontHeight, juce::Font::bold));
    g.drawFittedText ("OVERSAMPLING", layout.oversamplingTitle.box, juce::Justification::centred, 1);

    drawCaption (g, sliderMetas[shapeKnob], shapeSlider.getBounds().toFloat());
}

void OstrelGUI::drawPanelFrame (juce::Graphics& g, juce::Rectangle<float> r, float cornerSize) const
{
    g.setGradientFill (
        { frameColour.brighter (0.03f), 0.0f, r.getY(), frameColour.darker (0.02f), 0.0f, r.getBottom(), false });
    g.fillRoundedRectangle (r, cornerSize);

    g.setColour (frameEdgeColour);
    g.drawRoundedRectangle (r, cornerSize, 1.0f);
    g.setColour (juce::Colour (0x59000000));
    g.drawRoundedRectangle (r.reduced (1.0f), std::max (0.0f, cornerSize - 1.0f), 1.0f);

    const auto band = r.withHeight (std::min (r.getHeight(), 0.16f * r.getHeight()));
    g.setGradientFill ({ juce::Colour (0x0dffffff), band.getCentreX(), band.getY(), juce::Colour (0x00ffffff),
                         band.getCentreX(), band.getBottom(), false });
    g.fillRoundedRectangle (band, cornerSize);
}

void OstrelGUI::drawCaption (juce::Graphics& g, const SliderMeta& meta, juce::Rectangle<float> knobBounds) const
{
    if (meta.caption.isEmpty())
        return;

    const auto caption = captionBox (knobBounds);
    g.setColour (powerOn ? textColour : textDimColour);
    g.setFont (juce::Font (caption.fontHeight, juce::Font::bold));
    g.drawFittedText (meta.caption, caption.box, juce::Justification::centred, 1);
}

void OstrelGUI::drawStereoMeter (juce::Graphics& g, juce::Rectangle<float> area, float left, float right,
                                 const juce::String& label) const
{
    drawPanelFrame (g, area, 12.0f);
    const auto m = stereoMeterLayout (area);

    g.setColour (powerOn ? textColour : textDimColour);
    g.setFont (juce::Font (m.label.fontHeight, juce::Font::bold));
    g.drawFittedText (label, m.label.box, juce::Justification::centred, 1);

    const std::array<float, 2> values { left, right };

    for (size_t bar = 0; bar < 2; ++bar)
    {
        const auto& well = m.wells[bar];
        g.setColour (juce::Colour (0xff0c0e12));
        g.fillRoundedRectangle (well, 7.0f);
        g.setColour (juce::Colour (0x59000000));
        g.drawRoundedRectangle (well, 7.0f, 1.0f);

        const auto lit = litSegments (values[bar], stereoSegments, powerOn);

        for (int i = 0; i < stereoSegments; ++i)
        {
            const auto segment = stereoSegment (well, i);
            const auto colour = segmentColour (i, stereoSegments, i < lit, 0.92f, meterColour, meterOffColour);
            g.setColour (colour);
            g.fillRect (segment);

            if (i < lit)
            {
                g.setColour (withAlphaByte (colour, 0x57));
                g.drawRect (segment.expanded (1.0f), 1.0f);
            }
        }
    }

    const auto scaleColour = powerOn ? textMutedColour : textMutedColour.brighter (0.15f);

    g.setColour (powerOn ? textDimColour : textMutedColour.brighter (0.15f));
    g.setFont (juce::Font (m.channelLetters[0].fontHeight, juce::Font::bold));
    g.drawFittedText ("L", m.channelLetters[0].box, juce::Justification::centred, 1);
    g.drawFittedText ("R", m.channelLetters[1].box, juce::Justification::centred, 1);

    g.setColour (scaleColour);
    g.setFont (juce::Font (m.scaleFontHeight, juce::Font::plain));
    const std::array<const char*, 6> scale { "0", "-12", "-24", "-36", "-48", "-INF" };

    for (size_t j = 0; j < scale.size(); ++j)
        g.drawFittedText (scale[j], m.scaleBoxes[j], juce::Justification::centredRight, 1);
}

void OstrelGUI::drawClipMeter (juce::Graphics& g, juce::Rectangle<float> centrePanel) const
{
    const auto c = clipMeterLayout (centrePanel);
    drawPanelFrame (g, c.panel, 10.0f);

    g.setColour (powerOn ? textColour : textDimColour);
    g.setFont (juce::Font (c.title.fontHeight, juce::Font::bold));
    g.drawFittedText ("CLIP AMOUNT", c.title.box, juce::Justification::centredLeft, 2);

    g.setColour (juce::Colour (0xff0c0e12));
    g.fillRoundedRectangle (c.well, 7.0f);
    g.setColour (juce::Colour (0x59000000));
    g.drawRoundedRectangle (c.well, 7.0f, 1.0f);

    const auto amount = processor.clipAmount.load();
    const auto lit = litSegments (amount, clipSegments, powerOn);

    for (int i = 0; i < clipSegments; ++i)
    {
        g.setColour (segmentColour (i, clipSegments, i < lit, 0.78f, meterColour, meterOffColour));
        g.fillRect (clipSegment (c.well, c.segmentHeight, i));
    }

    g.setColour (powerOn ? textDimColour : juce::Colour (0xff808286));
    g.setFont (juce::Font (c.scaleFontHeight, juce::Font::plain));
    g.drawFittedText ("100%", c.scaleBoxes[0], juce::Justification::topLeft, 1);
    g.drawFittedText ("75%", c.scaleBoxes[1], juce::Justification::centredLeft, 1);
    g.drawFittedText ("50%", c.scaleBoxes[2], juce::Justification::centredLeft, 1);
    g.drawFittedText ("25%", c.scaleBoxes[3], juce::Justification::centredLeft, 1);
    g.drawFittedText ("0%", c.scaleBoxes[4], juce::Justification::bottomLeft, 1);

    g.setColour (powerOn ? accentColour : textMutedColour);
    g.setFont (juce::Font (c.readout.fontHeight, juce::Font::bold));
    g.drawFittedText (clipReadoutText (amount, powerOn), c.readout.box, juce::Justification::centredLeft, 1);
}

void OstrelGUI::drawTransferDisplay (juce::Graphics& g, juce::Rectangle<float> display) const
{
    g.setColour (juce::Colour (0xff0b0d11));
    g.fillRoundedRectangle (display, 10.0f);
    g.setColour (juce::Colour (0x8c000000));
    g.drawRoundedRectangle (display, 10.0f, 1.2f);

    if (! powerOn)
        return;

    const auto xd = display.getX();
    const auto yd = display.getY();
    const auto wd = display.getWidth();
    const auto hd = display.getHeight();

    g.setColour (gridColour);

    for (auto x : gridLines (xd, wd))
        g.drawVerticalLine (x, yd, yd + hd);

    for (auto y : gridLines (yd, hd))
        g.drawHorizontalLine (y, xd, xd + wd);

    juce::Path diagonal;
    diagonal.startNewSubPath (xd, yd + hd);
    diagonal.lineTo (xd + wd, yd);
    g.setColour (juce::Colour (0x59ffffff));
    g.strokePath (diagonal, roundStroke (1.3f));

    const auto transfer = TransferCurve::make ((float) inputSlider.getValue(), (float) driveSlider.getValue(),
                                               (float) ceilingSlider.getValue(), (float) shapeSlider.getValue(),
                                               readParameter (ParamIDs::mode));
    juce::Path curve;

    for (int i = 0; i < 160; ++i)
    {
        const auto position = (float) i / 159.0f;
        const juce::Point<float> point (xd + position * wd, curveY (display, transfer.output (2.0f * position - 1.0f)));

        if (i == 0)
            curve.startNewSubPath (point);
        else
            curve.lineTo (point);
    }

    auto fill = curve;
    fill.lineTo (xd + wd, yd + hd);
    fill.lineTo (xd, yd + hd);
    fill.closeSubPath();
    g.setGradientFill ({ withAlphaByte (accentColour, 0x3d), xd + wd / 2.0f, yd, juce::Colours::transparentBlack,
                         xd + wd / 2.0f, yd + hd, false });
    g.fillPath (fill);

    g.setColour (withAlphaByte (accentColour, 0x2e));
    g.strokePath (curve, roundStroke (7.0f));
    g.setColour (accentColour);
    g.strokePath (curve, roundStroke (2.2f));

    g.setColour (textDimColour);
    g.setFont (juce::Font (0.06f * hd, juce::Font::bold));
    g.drawFittedText ("INPUT", rounded ({ xd, yd + hd - 0.01f * hd, wd, 18.0f }), juce::Justification::centred, 1);

    const auto outputBox = rounded ({ xd - 0.1f * wd, yd, 0.15f * wd, hd });
    juce::Graphics::ScopedSaveState state (g);
    g.addTransform (juce::AffineTransform::rotation (-pi / 2.0f, outputBox.toFloat().getCentreX(),
                                                     outputBox.toFloat().getCentreY()));
    g.drawFittedText ("OUTPUT", outputBox, juce::Justification::centred, 1);
}

//==============================================================================
// Looks

void OstrelGUI::RotaryKnobLookAndFeel::drawRotarySlider (juce::Graphics& g, int x, int y, int width, int height,
                                                         float sliderPos, float, float, juce::Slider&)
{
    const auto s = (float) std::min (width, height);
    const auto bounds = juce::Rectangle<int> (x, y, width, height).toFloat();
    const auto body = juce::Rectangle<float> (s, s).withCentre (bounds.getCentre()).reduced (0.06f * s);
    const auto c = body.getCentre();
    const auto D = body.getWidth();

    g.setColour (juce::Colour (0x61000000));
    g.fillEllipse (body.translated (0.0f, 0.05f * s));

    g.setGradientFill (
        { juce::Colour (0xff666059), body.getTopLeft(), juce::Colour (0xff18181b), body.getBottomRight(), false });
    g.fillEllipse (body);

    const auto cap = body.reduced (0.1f * s);
    const auto d = cap.getWidth();
    g.setGradientFill (
        { juce::Colour (0xff323236), cap.getTopLeft(), juce::Colour (0xff0a0b0d), cap.getBottomRight(), false });
    g.fillEllipse (cap);

    const auto sheen = cap.withHeight (0.52f * d).reduced (0.12f * d);
    g.setGradientFill ({ juce::Colour (0x1affffff), sheen.getCentreX(), sheen.getY(), juce::Colour (0x00ffffff),
                         sheen.getCentreX(), sheen.getBottom(), false });
    g.fillEllipse (sheen);

    constexpr auto startAngle = 1.2f * pi;
    constexpr auto endAngle = 2.8f * pi;
    const auto radius = 0.5f * (D - 0.06f * s);

    juce::Path track;
    track.addCentredArc (c.x, c.y, radius, radius, 0.0f, startAngle, endAngle, true);
    g.setColour (juce::Colour (0xff4e5054));
    g.strokePath (track, roundStroke (0.03f * s));

    const auto angle = startAngle + sliderPos * (endAngle - startAngle);
    const auto valueColour = owner->powerOn ? owner->accentColour : owner->textMutedColour;

    if (angle > startAngle)
    {
        juce::Path value;
        value.addCentredArc (c.x, c.y, radius, radius, 0.0f, startAngle, angle, true);
        g.setColour (withAlphaByte (valueColour, 0x38));
        g.strokePath (value, roundStroke (0.08f * s));
        g.setColour (valueColour);
        g.strokePath (value, roundStroke (0.032f * s));
    }

    const auto p = std::max (0.024f * s, 2.0f);
    const auto length = 0.34f * d;
    juce::Path pointer;
    pointer.addRoundedRectangle (-p / 2.0f, -length, p, length, 0.4f * p);
    pointer.applyTransform (juce::AffineTransform::rotation (angle).translated (c));
    g.setColour (juce::Colour (owner->powerOn ? 0xffeae1d2 : 0x6beae1d2));
    g.fillPath (pointer);

    g.setColour (juce::Colour (0x59000000));
    g.drawEllipse (body, 1.0f);
}

void OstrelGUI::SegmentedButtonLookAndFeel::drawButtonBackground (juce::Graphics& g, juce::Button& button,
                                                                  const juce::Colour&, bool highlighted, bool down)
{
    const auto selected = button.getToggleState();
    const auto lit = owner->powerOn && selected;
    const auto base =
        lit ? owner->accentDarkColour : juce::Colour (down ? 0xff2d2f34 : (highlighted ? 0xff212428 : 0xff14171c));

    const juce::Rectangle<float> r (0.5f, 0.5f, std::max (0.0f, (float) button.getWidth() - 1.0f),
                                    std::max (0.0f, (float) button.getHeight() - 1.0f));

    g.setGradientFill (
        { base.brighter (selected ? 0.12f : 0.04f), 0.0f, r.getY(), base.darker (0.12f), 0.0f, r.getBottom(), false });
    g.fillRoundedRectangle (r, 5.0f);

    g.setColour (lit ? owner->accentColour : owner->frameEdgeColour);
    g.drawRoundedRectangle (r, 5.0f, lit ? 1.2f : 1.0f);
}

void OstrelGUI::SegmentedButtonLookAndFeel::drawButtonText (juce::Graphics& g, juce::TextButton& button, bool, bool)
{
    const auto selected = button.getToggleState();
    g.setColour (owner->powerOn && selected ? owner->accentColour.brighter (0.12f) : owner->textDimColour);
    g.setFont (juce::Font (14.0f, selected ? juce::Font::bold : juce::Font::plain));
    g.drawFittedText (button.getButtonText(), button.getLocalBounds(), juce::Justification::centred, 1);
}

void OstrelGUI::PowerButton::paintButton (juce::Graphics& g, bool highlighted, bool down)
{
    const auto icon = powerIcon ((float) getWidth(), (float) getHeight());
    const auto& r = icon.frame;
    const juce::Colour base (down ? 0xff23262a : (highlighted ? 0xff1b1d21 : 0xff121519));

    g.setGradientFill ({ base.brighter (0.04f), 0.0f, r.getY(), base, 0.0f, r.getBottom(), false });
    g.fillRoundedRectangle (r, 10.0f);
    g.setColour (juce::Colour (0x1cffffff));
    g.drawRoundedRectangle (r, 10.0f, 1.0f);

    juce::Path ring, bar;
    ring.addCentredArc (icon.centre.x, icon.centre.y, icon.radius, icon.radius, 0.0f, 0.22f * pi, 1.78f * pi, true);
    bar.startNewSubPath (icon.centre.x, icon.barTop);
    bar.lineTo (icon.centre.x, icon.barBottom);

    if (isOn)
    {
        g.setColour (juce::Colour (0x38ffffff));
        g.strokePath (ring, roundStroke (6.2f));
        g.strokePath (bar, roundStroke (6.2f));
    }

    g.setColour (juce::Colour (isOn ? 0xfff8f8f4 : 0xff767a80));
    g.strokePath (ring, roundStroke (2.2f));
    g.strokePath (bar, roundStroke (2.2f));
}
