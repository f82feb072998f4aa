#pragma once

#include "IconButton.h"
#include "PluginProcessor.h"
#include "UserPreferences.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <functional>

/** Draws the popup menus the menu bar opens: dark, flat, ticked items in bold. Its sizes follow
    the menu bar's height (MenuBar::updatePopupMetrics) before each menu is shown.
*/
class MenuBarLookAndFeel : public juce::LookAndFeel_V4
{
public:
    float itemFontHeight = 14.0f;
    float headerFontHeight = 13.0f;
    int itemHeight = 30;

    void drawPopupMenuBackground (juce::Graphics&, int width, int height) override;
    void drawPopupMenuItem (juce::Graphics&, const juce::Rectangle<int>& area, bool isSeparator, bool isActive,
                            bool isHighlighted, bool isTicked, bool hasSubMenu, const juce::String& text,
                            const juce::String& shortcutKeyText, const juce::Drawable* icon,
                            const juce::Colour* textColour) override;
    void drawPopupMenuSectionHeader (juce::Graphics&, const juce::Rectangle<int>& area,
                                     const juce::String& sectionName) override;
    juce::Font getPopupMenuFont() override;
    void getIdealPopupMenuItemSize (const juce::String& text, bool isSeparator, int standardMenuItemHeight,
                                    int& idealWidth, int& idealHeight) override;
};

/** Draws the menu bar's alert windows, their buttons and text fields in the panel's dark style.
    The colour scheme is set by the menu bar.
*/
class DialogLookAndFeel : public juce::LookAndFeel_V4
{
public:
    void drawButtonBackground (juce::Graphics&, juce::Button&, const juce::Colour& backgroundColour,
                               bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown) override;
    juce::Font getTextButtonFont (juce::TextButton&, int buttonHeight) override;
    void drawAlertBox (juce::Graphics&, juce::AlertWindow&, const juce::Rectangle<int>& textArea,
                       juce::TextLayout&) override;
    juce::Font getAlertWindowTitleFont() override;
    juce::Font getAlertWindowMessageFont() override;

    /** Places the first two buttons of an alert window by its size (one button: centred). */
    static void layOutAlertButtons (juce::AlertWindow&);
};

//==============================================================================
/** The strip above the control panel: the preset button (current preset, opens the preset menu)
    and the Save button. It polls the processor's current-preset record every 125 ms, owns the
    look-and-feels of everything it opens, and runs the preset menu and dialogs asynchronously.
*/
class MenuBar : public juce::Component, public juce::Timer
{
public:
    enum ResolutionMode : int
    {
        Auto = 0,
        Low = 1,
        Medium = 2,
        High = 3
    };

    MenuBar();
    ~MenuBar() override;

    void paint (juce::Graphics&) override;
    void resized() override;
    void timerCallback() override;

    /** Rebuilds the preset button's caption from the processor's current-preset record. */
    void refreshPresetButtonText();

    /** Sizes the popup menus' fonts and items from the bar's height. */
    void updatePopupMetrics();

    void showSettingsMenu();

    //==============================================================================
    // The preset menu and its dialogs. Every entry point does nothing while processor is null.
    void showPresetMenu();
    void showSavePresetDialog();
    void saveUserPresetWithOverwritePrompt (const juce::String& name);
    void showRenamePresetDialog (const juce::String& oldName);
    void renamePresetWithOverwritePrompt (const juce::String& oldName, const juce::String& newName);
    void confirmDeletePreset (const juce::String& name);

    /** True when saving under this name would replace an existing user preset's file. */
    bool userPresetExists (const juce::String& name) const;

    void showSuccessMessage (const juce::String& title, const juce::String& message);

    /** Keeps a dialog within the editor's size and centres it over the editor. */
    void centerDialogInWindow (juce::AlertWindow&);

    /** The preset menu as showPresetMenu shows it. */
    juce::PopupMenu createPresetMenu();

    /** Acts on a preset menu result: 1000+i factory, 2000+i load, 5000+i rename, 8000+i delete. */
    void handlePresetMenuResult (int result);

    /** The settings menu as showSettingsMenu shows it. */
    juce::PopupMenu createSettingsMenu();
    void handleSettingsMenuResult (int result);

    /** The name the save dialog proposes. */
    juce::String getDefaultPresetName() const;

    //==============================================================================
    OstrelAudioProcessor* processor = nullptr;
    UserPreferences userPreferences;

    IconButton presetButton { "Preset" };
    IconButton saveButton { "Save" };
    IconButton settingsButton { "Settings" };

    ResolutionMode currentResolutionMode = Auto;
    std::function<void (ResolutionMode)> onResolutionChanged;

    MenuBarLookAndFeel menuLookAndFeel;
    DialogLookAndFeel dialogLookAndFeel;

    const juce::Colour backgroundColour { 0xff0a0b0c };

private:
    /** Creates a dialog in the bar's style, centred over the editor, with its buttons and, when
        nameFieldText is not empty, the name field. The caller enters its modal state with
        deleteWhenDismissed set, which hands the window over to the modal manager.
    */
    juce::AlertWindow* createDialog (const juce::String& title, const juce::String& message,
                                     juce::MessageBoxIconType icon, const juce::String& nameFieldText,
                                     const juce::String& confirmButton, bool withCancel);

    /** Shows a confirmation that is deleted when dismissed; onConfirm runs on result 1 only while
        the bar and its processor are still there.
    */
    void showConfirmation (const juce::String& title, const juce::String& message, const juce::String& confirmButton,
                           std::function<void (MenuBar&)> onConfirm);

    void saveAndAnnounce (const juce::String& name);
    void renameAndAnnounce (const juce::String& oldName, const juce::String& newName);
    void replaceByRename (const juce::String& oldName, const juce::String& newName);

    /** Closes the success message after its time unless the user has closed it first. The bar
        owns it, so it stops with the bar instead of outliving a closed editor.
    */
    struct SuccessMessageCloser : juce::Timer
    {
        void timerCallback() override
        {
            stopTimer();

            if (dialog != nullptr)
                dialog->exitModalState (0);
        }

        juce::Component::SafePointer<juce::AlertWindow> dialog;
    };

    SuccessMessageCloser successMessageCloser;

    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (MenuBar)
};
