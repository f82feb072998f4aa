#include "MenuBar.h"

#include <BinaryData.h>

#include <cmath>

namespace
{
// Rounds halves away from zero, unlike juce::roundToInt, which rounds them to even.
int nearest (float x) noexcept { return (int) std::round (x); }

const juce::String menuArrow { juce::CharPointer_UTF8 ("  \xe2\x96\xbe") }; // two spaces and U+25BE
const juce::String noPresetCaption { "Presets" };

juce::String quoted (const juce::String& name) { return "\"" + name + "\""; }

// Setting ids of the display-resolution menu: 910001 + the mode's value.
constexpr int firstResolutionItemId = 910001;

// Preset menu ids: 1000 + i factory preset, 2000 + i load, 5000 + i rename, 8000 + i delete.
constexpr int factoryItemBase = 1000, loadItemBase = 2000, renameItemBase = 5000, deleteItemBase = 8000;
constexpr int lastDeleteItemId = 910000;

constexpr int successMessageMilliseconds = 3000;
} // namespace

//==============================================================================
void MenuBarLookAndFeel::drawPopupMenuBackground (juce::Graphics& g, int width, int height)
{
    const juce::Rectangle<float> outer (1.0f, 1.0f, (float) juce::jmax (width - 2, 0),
                                        (float) juce::jmax (height - 2, 0));
    g.setGradientFill (juce::ColourGradient (juce::Colour (0xff101112), 0.0f, 0.0f, juce::Colour (0xff0f1011), 0.0f,
                                             (float) height, false));
    g.fillRect (outer);
    g.setColour (juce::Colour (0xff384452));
    g.drawRect (outer, 1.0f);
    g.setColour (juce::Colour (0xb44e4f51));
    g.drawRect (
        juce::Rectangle<float> (3.0f, 3.0f, (float) juce::jmax (width - 6, 0), (float) juce::jmax (height - 6, 0)),
        1.0f);
}

void MenuBarLookAndFeel::drawPopupMenuItem (juce::Graphics& g, const juce::Rectangle<int>& area, bool isSeparator, bool,
                                            bool isHighlighted, bool isTicked, bool hasSubMenu,
                                            const juce::String& text, const juce::String&, const juce::Drawable*,
                                            const juce::Colour*)
{
    if (isSeparator)
    {
        const int left = area.getX() + 8, right = area.getRight() - 8;

        if (right > left)
        {
            g.setColour (juce::Colour (0xff2a333d));
            g.drawHorizontalLine (area.getY() + area.getHeight() / 2, (float) left, (float) right);
        }

        return;
    }

    const juce::Rectangle<int> r (area.getX() + 4, area.getY() + 1, juce::jmax (area.getWidth() - 8, 0),
                                  juce::jmax (area.getHeight() - 2, 0));
    juce::Colour textColour (0xf0e6eef2);

    if (isHighlighted)
    {
        g.setColour (juce::Colour (0x28ffffff));
        g.fillRect (r);
        textColour = juce::Colours::white;
    }

    // A ticked item is marked by its bold font alone.
    g.setColour (textColour);
    g.setFont (juce::Font (itemFontHeight, isTicked ? juce::Font::bold : juce::Font::plain));
    g.drawText (text,
                juce::Rectangle<int> (area.getX() + 16, area.getY() + 1, juce::jmax (area.getWidth() - 32, 0),
                                      juce::jmax (area.getHeight() - 2, 0)),
                juce::Justification::centredLeft, true);

    if (hasSubMenu)
    {
        const float xr = (float) (r.getRight() - 14);
        const float cy = (float) (r.getY() + r.getHeight() / 2);

        juce::Path arrow;
        arrow.startNewSubPath (xr - 3.0f, cy - 4.0f);
        arrow.lineTo (xr + 1.5f, cy);
        arrow.lineTo (xr - 3.0f, cy + 4.0f);
        g.strokePath (arrow, juce::PathStrokeType (1.4f, juce::PathStrokeType::mitered, juce::PathStrokeType::butt));
    }
}

void MenuBarLookAndFeel::drawPopupMenuSectionHeader (juce::Graphics& g, const juce::Rectangle<int>& area,
                                                     const juce::String& sectionName)
{
    g.setColour (juce::Colours::white);
    g.setFont (juce::Font (headerFontHeight, juce::Font::bold));
    g.drawText (sectionName.toUpperCase(),
                juce::Rectangle<int> (area.getX() + 10, area.getY(), juce::jmax (area.getWidth() - 20, 0),
                                      juce::jmax (area.getHeight(), 0)),
                juce::Justification::centredLeft, true);
}

juce::Font MenuBarLookAndFeel::getPopupMenuFont() { return juce::Font (itemFontHeight); }

void MenuBarLookAndFeel::getIdealPopupMenuItemSize (const juce::String& text, bool isSeparator,
                                                    int standardMenuItemHeight, int& idealWidth, int& idealHeight)
{
    juce::LookAndFeel_V4::getIdealPopupMenuItemSize (text, isSeparator, standardMenuItemHeight, idealWidth,
                                                     idealHeight);
    idealHeight = isSeparator ? 6 : itemHeight;
}

//==============================================================================
void DialogLookAndFeel::drawButtonBackground (juce::Graphics& g, juce::Button& button, const juce::Colour&,
                                              bool shouldDrawButtonAsHighlighted, bool shouldDrawButtonAsDown)
{
    // The scheme's button colours are deliberately unused: dialog buttons look like the bar's.
    IconButton::drawCaptionFrame (g,
                                  IconButton::getCaptionFrame ((float) button.getWidth(), (float) button.getHeight()),
                                  shouldDrawButtonAsHighlighted, shouldDrawButtonAsDown);
}

juce::Font DialogLookAndFeel::getTextButtonFont (juce::TextButton&, int buttonHeight)
{
    return juce::Font (juce::jmin (0.9f * (float) buttonHeight, 16.0f), juce::Font::bold);
}

void DialogLookAndFeel::layOutAlertButtons (juce::AlertWindow& alert)
{
    juce::Array<juce::Button*> buttons;

    for (auto* child : alert.getChildren())
        if (auto* button = dynamic_cast<juce::TextButton*> (child))
            buttons.add (button);

    const float w = (float) alert.getWidth(), h = (float) alert.getHeight();
    const int top = nearest (0.72f * h), height = nearest (0.18f * h);

    if (buttons.size() == 1)
    {
        const float bw = 0.34f * w;
        buttons[0]->setBounds (nearest ((w - bw) * 0.5f), top, nearest (bw), height);
    }
    else if (buttons.size() >= 2)
    {
        // Only the first two are placed; any further buttons keep their places.
        const float bw = 0.30f * w, gap = 0.03f * w;
        buttons[0]->setBounds (nearest (0.5f * w - bw - 0.5f * gap), top, nearest (bw), height);
        buttons[1]->setBounds (nearest (0.5f * w + 0.5f * gap), top, nearest (bw), height);
    }
}

void DialogLookAndFeel::drawAlertBox (juce::Graphics& g, juce::AlertWindow& alert, const juce::Rectangle<int>& textArea,
                                      juce::TextLayout& textLayout)
{
    // The window lays its buttons out in a row at the bottom; ours go by its current size, which
    // the menu bar may have changed after that layout.
    layOutAlertButtons (alert);

    const auto bounds = alert.getLocalBounds().toFloat();
    g.setGradientFill (juce::ColourGradient (juce::Colour (0xff131415), 0.0f, 0.0f, juce::Colour (0xff0e0f10), 0.0f,
                                             bounds.getHeight(), false));
    g.fillRoundedRectangle (bounds, 5.0f);
    g.setColour (juce::Colour (0xffd2e1eb));
    g.drawRoundedRectangle (bounds, 5.0f, 1.0f);

    const float layoutWidth = textLayout.getWidth(), layoutHeight = textLayout.getHeight();
    textLayout.draw (g, { (float) textArea.getX() + ((float) textArea.getWidth() - layoutWidth) * 0.5f,
                          (float) textArea.getY() + 0.1f * (float) textArea.getHeight(), layoutWidth, layoutHeight });
}

juce::Font DialogLookAndFeel::getAlertWindowTitleFont() { return juce::Font (20.0f, juce::Font::bold); }

juce::Font DialogLookAndFeel::getAlertWindowMessageFont() { return juce::Font (16.0f); }

//==============================================================================
MenuBar::MenuBar()
{
    dialogLookAndFeel.setColour (juce::AlertWindow::backgroundColourId, juce::Colour (0xff12161b));
    dialogLookAndFeel.setColour (juce::AlertWindow::textColourId, juce::Colour (0xdcd2e1eb));
    dialogLookAndFeel.setColour (juce::TextEditor::backgroundColourId, juce::Colour (0xff161c22));
    dialogLookAndFeel.setColour (juce::TextEditor::textColourId, juce::Colour (0xffeff5ff));
    dialogLookAndFeel.setColour (juce::TextEditor::highlightedTextColourId, juce::Colour (0xffffffff));
    dialogLookAndFeel.setColour (juce::TextEditor::outlineColourId, juce::Colour (0xff384452));
    dialogLookAndFeel.setColour (juce::TextEditor::focusedOutlineColourId, juce::Colour (0xff4eff24));
    dialogLookAndFeel.setColour (juce::TextButton::buttonColourId, juce::Colour (0xff1c232b));
    dialogLookAndFeel.setColour (juce::TextButton::buttonOnColourId, juce::Colour (0xff26303a));
    dialogLookAndFeel.setColour (juce::TextButton::textColourOffId, juce::Colour (0xffeff5ff));
    dialogLookAndFeel.setColour (juce::TextButton::textColourOnId, juce::Colour (0xffeff5ff));

    presetButton.setText (noPresetCaption + menuArrow);
    saveButton.setText ("Save");
    settingsButton.setText ({});
    settingsButton.setIcon (juce::Drawable::createFromImageData (BinaryData::gear_svg, BinaryData::gear_svgSize));

    // The settings button is built and laid out but not shown: the resolution modes do not
    // change the drawing yet.
    addAndMakeVisible (presetButton);
    addAndMakeVisible (saveButton);

    presetButton.onClick = [this] { showPresetMenu(); };
    saveButton.onClick = [this] { showSavePresetDialog(); };
    settingsButton.onClick = [this] { showSettingsMenu(); };

    startTimer (125);
}

MenuBar::~MenuBar()
{
    // Menus and dialogs must not outlive the editor they belong to, nor keep drawing with this
    // bar's look-and-feels; they are the desktop windows that use them. Their completion handlers
    // still run, find the bar gone and do nothing.
    auto& desktop = juce::Desktop::getInstance();

    for (int i = desktop.getNumComponents(); --i >= 0;)
    {
        if (auto* window = desktop.getComponent (i))
        {
            const auto* windowLookAndFeel = &window->getLookAndFeel();

            if (windowLookAndFeel == &menuLookAndFeel || windowLookAndFeel == &dialogLookAndFeel)
            {
                window->setVisible (false);
                window->setLookAndFeel (nullptr);
                window->exitModalState (0);
            }
        }
    }
}

void MenuBar::paint (juce::Graphics& g)
{
    g.setColour (backgroundColour);
    g.fillRect (0, 0, getWidth(), getHeight());
}

void MenuBar::resized()
{
    updatePopupMetrics();

    const float w = (float) getWidth(), h = (float) getHeight();

    const float margin = juce::jmax (0.12f * h, 6.0f);
    const int y = nearest (margin);
    const int buttonHeight = nearest (juce::jmax (18.0f, 0.9f * h - 2.0f * margin));

    // The preset button spans from 0.8 of its width left of the centre line to 0.2 right of it.
    const int presetWidth = nearest (0.24f * w);
    const float presetX = 0.5f * w - 0.8f * (float) presetWidth;
    presetButton.setBounds (nearest (presetX), y, presetWidth, buttonHeight);

    saveButton.setBounds (nearest (presetX + (float) presetWidth + 0.01f * w), y, nearest (1.8f * h), buttonHeight);

    const auto side = (float) (0.8 * (double) getHeight());
    settingsButton.setBounds (nearest (0.9f * w), (int) ((h - side) * 0.5f), (int) side, (int) side);
    settingsButton.setIconSize (0.5f * side, 0.5f * side);
}

void MenuBar::timerCallback() { refreshPresetButtonText(); }

void MenuBar::refreshPresetButtonText()
{
    juce::String caption (noPresetCaption);

    if (processor != nullptr)
    {
        const bool modified = processor->isCurrentPresetModified();
        auto name = processor->getCurrentPresetName();

        if (name.isEmpty())
            name = noPresetCaption;

        if (modified)
            name << " *";

        name = name.trim();

        // "Preset" alone is the file-name stand-in for a blank name, never a caption.
        caption = (name.isEmpty() || name == "Preset") ? noPresetCaption : name;
    }

    presetButton.setText (caption + menuArrow);
}

void MenuBar::updatePopupMetrics()
{
    const float h = (float) getHeight();
    menuLookAndFeel.itemFontHeight = 0.28f * h;
    menuLookAndFeel.headerFontHeight = 0.32f * h;
    menuLookAndFeel.itemHeight = nearest (0.33f * h);
}

//==============================================================================
juce::PopupMenu MenuBar::createSettingsMenu()
{
    juce::PopupMenu menu;
    menu.setLookAndFeel (&menuLookAndFeel);
    menu.addSectionHeader ("Display Resolution");

    const char* labels[] = { "Auto", "Low", "Medium", "High" };

    for (int mode = Auto; mode <= High; ++mode)
        menu.addItem (firstResolutionItemId + mode, labels[mode], true, mode == currentResolutionMode);

    return menu;
}

void MenuBar::showSettingsMenu()
{
    updatePopupMetrics();

    juce::Component::SafePointer<MenuBar> safeThis (this);
    createSettingsMenu().showMenuAsync (
        juce::PopupMenu::Options()
            .withTargetComponent (&settingsButton)
            .withMinimumWidth (nearest (juce::jmax (2.8f * (float) getHeight(), 130.0f)))
            .withStandardItemHeight (menuLookAndFeel.itemHeight)
            .withDeletionCheck (*this),
        [safeThis] (int result)
        {
            if (safeThis != nullptr)
                safeThis->handleSettingsMenuResult (result);
        });
}

void MenuBar::handleSettingsMenuResult (int result)
{
    if (result == 0)
        return;

    const int mode = result - firstResolutionItemId;

    if (mode < Auto || mode > High)
        return;

    currentResolutionMode = static_cast<ResolutionMode> (mode);

    if (onResolutionChanged)
        onResolutionChanged (currentResolutionMode);
}

//==============================================================================
juce::PopupMenu MenuBar::createPresetMenu()
{
    juce::PopupMenu menu;

    if (processor == nullptr)
        return menu;

    menu.setLookAndFeel (&menuLookAndFeel);

    const auto currentName = processor->getCurrentPresetName();
    const bool currentIsUser = processor->isCurrentPresetUser();

    menu.addSectionHeader ("Factory Presets");

    const auto& factoryNames = OstrelAudioProcessor::factoryPresetNames;

    for (int i = 0; i < factoryNames.size(); ++i)
        menu.addItem (factoryItemBase + i, factoryNames[i], true, ! currentIsUser && currentName == factoryNames[i]);

    const auto userNames = processor->getUserPresetNames();

    if (! userNames.isEmpty())
    {
        menu.addSeparator();
        menu.addSectionHeader ("User Presets");

        for (int i = 0; i < userNames.size(); ++i)
        {
            juce::PopupMenu presetMenu;
            presetMenu.setLookAndFeel (&menuLookAndFeel);
            presetMenu.addItem (loadItemBase + i, "Load");
            presetMenu.addItem (renameItemBase + i, "Rename");
            presetMenu.addItem (deleteItemBase + i, "Delete");
            menu.addSubMenu (userNames[i], presetMenu, true);
        }
    }

    return menu;
}

void MenuBar::showPresetMenu()
{
    if (processor == nullptr)
        return;

    updatePopupMetrics();

    juce::Component::SafePointer<MenuBar> safeThis (this);
    createPresetMenu().showMenuAsync (juce::PopupMenu::Options()
                                          .withTargetComponent (&presetButton)
                                          .withMinimumWidth (nearest (juce::jmax (4.0f * (float) getHeight(), 180.0f)))
                                          .withStandardItemHeight (menuLookAndFeel.itemHeight)
                                          .withDeletionCheck (*this),
                                      [safeThis] (int result)
                                      {
                                          if (safeThis != nullptr)
                                              safeThis->handlePresetMenuResult (result);
                                      });
}

void MenuBar::handlePresetMenuResult (int result)
{
    if (result < factoryItemBase || processor == nullptr)
        return;

    if (result < loadItemBase)
    {
        const int index = result - factoryItemBase;

        if (index < OstrelAudioProcessor::factoryPresetNames.size())
        {
            processor->applyFactoryPreset (OstrelAudioProcessor::factoryPresetNames[index]);
            refreshPresetButtonText();
        }

        return;
    }

    if (result > lastDeleteItemId)
        return;

    // The list is read again now: files may have come or gone while the menu was open.
    const auto userNames = processor->getUserPresetNames();
    const int base =
        result < renameItemBase ? loadItemBase : (result < deleteItemBase ? renameItemBase : deleteItemBase);
    const int index = result - base;

    if (index >= userNames.size())
        return;

    const auto& name = userNames[index];

    if (base == loadItemBase)
    {
        if (processor->loadUserPreset (name))
            refreshPresetButtonText();
    }
    else if (base == renameItemBase)
    {
        showRenamePresetDialog (name);
    }
    else
    {
        confirmDeletePreset (name);
    }
}

//==============================================================================
juce::String MenuBar::getDefaultPresetName() const
{
    if (processor == nullptr)
        return {};

    if (processor->isCurrentPresetUser())
    {
        const auto current = processor->getCurrentPresetName().trim();

        if (current.isNotEmpty())
            return current;
    }

    const auto userNames = processor->getUserPresetNames();
    const juce::String base ("MyPreset");

    if (! userNames.contains (base, true))
        return base;

    for (int number = 1; number <= 9999; ++number)
    {
        const auto candidate = base + juce::String (number);

        if (! userNames.contains (candidate, true))
            return candidate;
    }

    return base + "_New";
}

bool MenuBar::userPresetExists (const juce::String& name) const
{
    if (processor == nullptr)
        return false;

    // Decided by file, not by text: names that differ only in characters the file-name rule drops
    // ("A" and "A!") share one file, and saving either replaces it.
    const auto& presets = processor->presetManager;
    const auto file = presets.getPresetFile (name.trim());

    for (const auto& existing : processor->getUserPresetNames())
        if (presets.getPresetsDirectory().getChildFile (existing + ".xml") == file)
            return true;

    return false;
}

juce::AlertWindow* MenuBar::createDialog (const juce::String& title, const juce::String& message,
                                          juce::MessageBoxIconType icon, const juce::String& nameFieldText,
                                          const juce::String& confirmButton, bool withCancel)
{
    auto* dialog = new juce::AlertWindow (title, message, icon);
    dialog->setLookAndFeel (&dialogLookAndFeel);

    if (nameFieldText.isNotEmpty())
        dialog->addTextEditor ("presetName", nameFieldText, "Preset Name:");

    dialog->addButton (confirmButton, 1, juce::KeyPress (juce::KeyPress::returnKey));

    if (withCancel)
        dialog->addButton ("Cancel", 0, juce::KeyPress (juce::KeyPress::escapeKey));

    centerDialogInWindow (*dialog);
    return dialog;
}

void MenuBar::centerDialogInWindow (juce::AlertWindow& dialog)
{
    juce::Component* reference = findParentComponentOfClass<juce::AudioProcessorEditor>();

    if (reference == nullptr)
        reference = getTopLevelComponent();

    const auto area = reference->getScreenBounds();
    const int width = juce::jmin (dialog.getWidth(), area.getWidth());
    const int height = juce::jmin (juce::jmax (dialog.getHeight(), 175), area.getHeight());

    dialog.setSize (width, height);
    dialog.centreAroundComponent (reference, width, height);
}

void MenuBar::showSavePresetDialog()
{
    if (processor == nullptr)
        return;

    // The window deletes itself once dismissed, after the handler has read its text field.
    auto* dialog = createDialog ("Save Preset", "Enter a name:", juce::MessageBoxIconType::NoIcon,
                                 getDefaultPresetName(), "Save", true);

    juce::Component::SafePointer<MenuBar> safeThis (this);
    juce::Component::SafePointer<juce::AlertWindow> safeDialog (dialog);

    dialog->enterModalState (
        true,
        juce::ModalCallbackFunction::create (
            [safeThis, safeDialog] (int result)
            {
                if (result != 1 || safeThis == nullptr || safeThis->processor == nullptr || safeDialog == nullptr)
                    return;

                safeThis->saveUserPresetWithOverwritePrompt (safeDialog->getTextEditorContents ("presetName").trim());
            }),
        true);
}

void MenuBar::saveUserPresetWithOverwritePrompt (const juce::String& name)
{
    const auto trimmed = name.trim();

    if (trimmed.isEmpty() || processor == nullptr)
        return;

    if (userPresetExists (trimmed))
    {
        showConfirmation ("Overwrite Preset?",
                          "A preset named " + quoted (trimmed) + " already exists.\nDo you want to overwrite it?",
                          "Overwrite", [trimmed] (MenuBar& bar) { bar.saveAndAnnounce (trimmed); });
        return;
    }

    saveAndAnnounce (trimmed);
}

void MenuBar::saveAndAnnounce (const juce::String& name)
{
    if (processor->saveUserPreset (name))
    {
        refreshPresetButtonText();
        showSuccessMessage ("Success", "Preset " + quoted (name) + " has been saved.");
    }
}

void MenuBar::showRenamePresetDialog (const juce::String& oldName)
{
    if (processor == nullptr)
        return;

    auto* dialog =
        createDialog ("Rename Preset", "Enter a new name:", juce::MessageBoxIconType::NoIcon, oldName, "Rename", true);

    juce::Component::SafePointer<MenuBar> safeThis (this);
    juce::Component::SafePointer<juce::AlertWindow> safeDialog (dialog);

    dialog->enterModalState (
        true,
        juce::ModalCallbackFunction::create (
            [safeThis, safeDialog, oldName] (int result)
            {
                if (result != 1 || safeThis == nullptr || safeThis->processor == nullptr || safeDialog == nullptr)
                    return;

                safeThis->renamePresetWithOverwritePrompt (oldName,
                                                           safeDialog->getTextEditorContents ("presetName").trim());
            }),
        true);
}

void MenuBar::renamePresetWithOverwritePrompt (const juce::String& oldName, const juce::String& newName)
{
    if (processor == nullptr)
        return;

    const auto from = oldName.trim(), to = newName.trim();

    if (from.isEmpty() || to.isEmpty() || from.equalsIgnoreCase (to))
        return;

    // A new name that keeps the preset's own file ("A" to "A!") is no rename either.
    if (processor->presetManager.getPresetFile (from) == processor->presetManager.getPresetFile (to))
        return;

    if (userPresetExists (to))
    {
        showConfirmation ("Overwrite Preset?",
                          "A preset named " + quoted (to) + " already exists.\nDo you want to overwrite it?",
                          "Overwrite", [from, to] (MenuBar& bar) { bar.replaceByRename (from, to); });
        return;
    }

    renameAndAnnounce (from, to);
}

void MenuBar::renameAndAnnounce (const juce::String& oldName, const juce::String& newName)
{
    if (processor->renameUserPreset (oldName, newName))
    {
        refreshPresetButtonText();
        showSuccessMessage ("Success", "Preset " + quoted (oldName) + " was renamed to " + quoted (newName) + ".");
    }
}

void MenuBar::replaceByRename (const juce::String& oldName, const juce::String& newName)
{
    // The preset being replaced is first moved aside, so a failed rename can put it back.
    auto backupName = newName + "__backup";

    for (int number = 1; userPresetExists (backupName); ++number)
        backupName = newName + "__backup" + juce::String (number);

    if (! processor->renameUserPreset (newName, backupName))
        return;

    if (processor->renameUserPreset (oldName, newName))
    {
        processor->deleteUserPreset (backupName);
        refreshPresetButtonText();
        showSuccessMessage ("Success", "Preset " + quoted (oldName) + " was renamed to " + quoted (newName) + ".");
    }
    else
    {
        processor->renameUserPreset (backupName, newName);
    }
}

void MenuBar::confirmDeletePreset (const juce::String& name)
{
    if (processor == nullptr)
        return;

    showConfirmation ("Delete Preset?", "Are you sure you want to delete " + quoted (name) + "?", "Delete",
                      [name] (MenuBar& bar)
                      {
                          if (bar.processor->deleteUserPreset (name))
                          {
                              bar.refreshPresetButtonText();
                              bar.showSuccessMessage ("Success", "Preset " + quoted (name) + " has been deleted.");
                          }
                      });
}

void MenuBar::showConfirmation (const juce::String& title, const juce::String& message,
                                const juce::String& confirmButton, std::function<void (MenuBar&)> onConfirm)
{
    auto* dialog = createDialog (title, message, juce::MessageBoxIconType::WarningIcon, {}, confirmButton, true);

    juce::Component::SafePointer<MenuBar> safeThis (this);

    dialog->enterModalState (true,
                             juce::ModalCallbackFunction::create (
                                 [safeThis, onConfirm = std::move (onConfirm)] (int result)
                                 {
                                     if (result == 1 && safeThis != nullptr && safeThis->processor != nullptr)
                                         onConfirm (*safeThis);
                                 }),
                             true);
}

void MenuBar::showSuccessMessage (const juce::String& title, const juce::String& message)
{
    auto* dialog = createDialog (title, message, juce::MessageBoxIconType::NoIcon, {}, "OK", false);
    dialog->enterModalState (true, nullptr, true);

    successMessageCloser.dialog = dialog;
    successMessageCloser.startTimer (successMessageMilliseconds);
}
