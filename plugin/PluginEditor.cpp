#include "PluginEditor.h"

#include <cmath>

namespace
{
// Rounds halves away from zero, unlike juce::roundToInt, which rounds them to even.
int nearest (double x) noexcept { return (int) std::round (x); }

const char* const graphicsModeNames[] = { "auto", "low", "medium", "high" };

MenuBar::ResolutionMode resolutionModeFromName (const juce::String& name)
{
    if (name == "low")
        return MenuBar::Low;

    if (name == "medium")
        return MenuBar::Medium;

    if (name == "high")
        return MenuBar::High;

    return MenuBar::Auto;
}
} // namespace

OstrelAudioProcessorEditor::OstrelAudioProcessorEditor (OstrelAudioProcessor& p) :
    juce::AudioProcessorEditor (p), ostrelProcessor (p), controlPanel (p)
{
    menuBar.processor = &ostrelProcessor;
    menuBar.refreshPresetButtonText();

    menuBar.onResolutionChanged = [this] (MenuBar::ResolutionMode mode)
    {
        if (mode >= MenuBar::Auto && mode <= MenuBar::High)
            setResolutionMode (mode);
    };

    addAndMakeVisible (controlPanel);
    addAndMakeVisible (menuBar);

    applyStoredGraphicsMode();
    applyWindowSizing();
}

OstrelAudioProcessorEditor::~OstrelAudioProcessorEditor() = default;

void OstrelAudioProcessorEditor::paint (juce::Graphics&) {}

void OstrelAudioProcessorEditor::resized()
{
    const int barHeight = menuBarHeightFor (getHeight());
    menuBar.setBounds (0, 0, getWidth(), barHeight);
    controlPanel.setBounds (0, barHeight, getWidth(), getHeight() - barHeight);
}

int OstrelAudioProcessorEditor::menuBarHeightFor (int editorHeight)
{
    return nearest ((float) editorHeight * menuBarHeightFraction);
}

void OstrelAudioProcessorEditor::setResolutionMode (MenuBar::ResolutionMode mode)
{
    controlPanel.resolutionMode = mode;
    controlPanel.repaint();
}

void OstrelAudioProcessorEditor::applyStoredGraphicsMode()
{
    const auto mode = resolutionModeFromName (userPreferences.readGraphicsMode());

    setResolutionMode (mode);
    menuBar.currentResolutionMode = mode;

    // Written back normalised, so after any editor has opened the file holds one of the names.
    menuBar.userPreferences.saveGraphicsMode (graphicsModeNames[mode]);
}

OstrelAudioProcessorEditor::WindowSizing OstrelAudioProcessorEditor::computeWindowSizing (juce::Rectangle<int> area)
{
    const int areaW = area.getWidth(), areaH = area.getHeight();

    WindowSizing s;
    s.aspectRatio = juce::jmax (aspectRatio, 0.1);
    const double a = s.aspectRatio;

    const int h0 = nearest ((float) areaH * juce::jlimit (0.1f, 1.0f, initialHeightFraction));
    const int w0 = juce::jmax (1, nearest ((double) juce::jmax (1, h0) * a));

    s.maxWidth = juce::jmax (1, juce::jmin (areaW, nearest (maximumWidth)));
    s.minWidth = juce::jmax (1, juce::jmin (s.maxWidth, nearest (minimumWidth)));
    s.minHeight = juce::jmax (1, nearest ((double) s.minWidth / a));
    s.maxHeight = juce::jmax (s.minHeight, nearest ((double) s.maxWidth / a));

    s.width = juce::jlimit (s.minWidth, s.maxWidth, w0);
    s.height = juce::jmax (1, nearest ((double) s.width / a));

    // A display too low for the width-limited size: fit the height instead, even if that falls
    // below the resize limits. Without any display the area is empty; the window keeps 1 × 1.
    if (s.height > areaH)
    {
        s.width = juce::jmax (1, juce::jmin (areaW, nearest ((double) areaH * a)));
        s.height = juce::jmax (1, areaH);
    }

    return s;
}

void OstrelAudioProcessorEditor::applyWindowSizing()
{
    const auto& displays = juce::Desktop::getInstance().getDisplays();
    const auto* display = displays.getDisplayForRect (getScreenBounds());

    if (display == nullptr)
        display = displays.getPrimaryDisplay();

    const auto area = display != nullptr ? display->userArea : displays.getTotalBounds (false);
    const auto sizing = computeWindowSizing (area);

    setResizeLimits (sizing.minWidth, sizing.minHeight, sizing.maxWidth, sizing.maxHeight);
    getConstrainer()->setFixedAspectRatio (sizing.aspectRatio);
    setSize (sizing.width, sizing.height);
}
