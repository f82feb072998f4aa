#pragma once

#include "GUI.h"
#include "MenuBar.h"
#include "PluginProcessor.h"
#include "UserPreferences.h"

#include <juce_audio_processors/juce_audio_processors.h>

/** Ostrel's window: the menu bar across the top and the control panel below it. It opens at a
    size taken from the display it is on, and the host may resize it between limits at a fixed
    aspect ratio. Opening it reads the stored graphics mode and writes it back normalised.
*/
class OstrelAudioProcessorEditor : public juce::AudioProcessorEditor
{
public:
    explicit OstrelAudioProcessorEditor (OstrelAudioProcessor&);
    ~OstrelAudioProcessorEditor() override;

    void paint (juce::Graphics&) override;
    void resized() override;

    /** Sets the resize limits, the fixed aspect ratio and the size from the display's usable area. */
    void applyWindowSizing();

    static constexpr float initialHeightFraction = 0.75f;
    static constexpr double aspectRatio = 1.5;
    static constexpr float menuBarHeightFraction = 0.09f;
    static constexpr float minimumWidth = 720.0f;
    static constexpr float maximumWidth = 1600.0f;

    /** The opening size and resize limits for a display's usable area. */
    struct WindowSizing
    {
        int width = 0, height = 0;
        int minWidth = 0, minHeight = 0, maxWidth = 0, maxHeight = 0;
        double aspectRatio = 0.0;
    };

    static WindowSizing computeWindowSizing (juce::Rectangle<int> usableArea);

    /** The menu bar's height in an editor of the given height. */
    static int menuBarHeightFor (int editorHeight);

    MenuBar& getMenuBar() noexcept { return menuBar; }
    OstrelGUI& getControlPanel() noexcept { return controlPanel; }

private:
    void applyStoredGraphicsMode();
    void setResolutionMode (MenuBar::ResolutionMode);

    OstrelAudioProcessor& ostrelProcessor;
    OstrelGUI controlPanel;
    MenuBar menuBar;
    UserPreferences userPreferences;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (OstrelAudioProcessorEditor)
};
