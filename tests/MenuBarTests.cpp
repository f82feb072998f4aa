#include "DialogTestHelpers.h"

#include <vector>

using namespace ostrel_test;

namespace
{
const juce::String arrow { juce::CharPointer_UTF8 ("  \xe2\x96\xbe") };

struct CaptionCase
{
    const char* name;
    bool modified;
    const char* caption; // without the arrow
};

const CaptionCase captionCases[] = {
    { "Punchy Drums", false, "Punchy Drums" },
    { "Punchy Drums", true, "Punchy Drums *" },
    { "", false, "Presets" },
    { "", true, "Presets *" },
    { "Preset", false, "Presets" },
    { "Preset", true, "Preset *" },
    { "   ", false, "Presets" },
    { "  Live Set  ", false, "Live Set" },
};
} // namespace

using MenuBarCaption = MenuBarFixture;

TEST_F (MenuBarCaption, FollowsTheRecordAndReadsNothingWithoutAProcessor)
{
    MenuBar unset;
    processor.setCurrentPresetInfo ("Punchy Drums", false, true);
    unset.refreshPresetButtonText();
    EXPECT_EQ (unset.presetButton.getText(), "Presets" + arrow);

    for (const auto& c : captionCases)
    {
        processor.setCurrentPresetInfo (c.name, false, c.modified);
        bar->refreshPresetButtonText();
        EXPECT_EQ (bar->presetButton.getText(), c.caption + arrow) << "name '" << c.name << "'";
    }
}

TEST_F (MenuBarCaption, GainsTheModifiedMarkFromItsTimerAfterAParameterChange)
{
    processor.applyFactoryPreset ("Clipper Glue");
    bar->refreshPresetButtonText();
    ASSERT_EQ (bar->presetButton.getText(), "Clipper Glue" + arrow);
    EXPECT_EQ (bar->getTimerInterval(), 125);

    processor.setParamValue ("shape", 10.0f);
    EXPECT_TRUE (pumpUntil ([&] { return bar->presetButton.getText() == "Clipper Glue *" + arrow; }));
}

TEST (MenuBarLayout, PlacesTheButtonsAndSizesThePopupsByTheBarSize)
{
    struct Case
    {
        int w, h;
        juce::Rectangle<int> preset, save;
        float itemFont, headerFont;
        int itemHeight;
    };

    const Case cases[] = {
        { 1187, 71, { 366, 9, 285, 47 }, { 662, 9, 128, 47 }, 19.88f, 22.72f, 23 },
        { 720, 43, { 222, 6, 173, 27 }, { 402, 6, 77, 27 }, 12.04f, 13.76f, 14 },
        { 1600, 96, { 493, 12, 384, 63 }, { 893, 12, 173, 63 }, 26.88f, 30.72f, 32 },
        // The margin stays 6 up to a height of 50, the button height 18 up to 33.
        { 800, 50, { 246, 6, 192, 33 }, { 446, 6, 90, 33 }, 14.0f, 16.0f, 17 },
        { 600, 30, { 185, 6, 144, 18 }, { 335, 6, 54, 18 }, 8.4f, 9.6f, 10 },
    };

    MenuBar bar;

    for (const auto& c : cases)
    {
        bar.setSize (c.w, c.h);
        EXPECT_EQ (bar.presetButton.getBounds(), c.preset) << c.w << " x " << c.h;
        EXPECT_EQ (bar.saveButton.getBounds(), c.save) << c.w << " x " << c.h;
        EXPECT_FLOAT_EQ (bar.menuLookAndFeel.itemFontHeight, c.itemFont);
        EXPECT_FLOAT_EQ (bar.menuLookAndFeel.headerFontHeight, c.headerFont);
        EXPECT_EQ (bar.menuLookAndFeel.itemHeight, c.itemHeight);
    }
}

TEST (MenuBarLayout, BuildsTheSettingsButtonWithTheGearButDoesNotShowIt)
{
    MenuBar bar;
    bar.setSize (1187, 71);

    EXPECT_EQ (bar.settingsButton.getBounds(), juce::Rectangle<int> (1068, 7, 56, 56));
    EXPECT_EQ (bar.settingsButton.getParentComponent(), nullptr);
    ASSERT_NE (bar.settingsButton.getIcon(), nullptr);
    EXPECT_FLOAT_EQ (bar.settingsButton.getIconBounds().getWidth(), 28.4f); // half the side of 56.8

    EXPECT_EQ (bar.presetButton.getParentComponent(), &bar);
    EXPECT_EQ (bar.saveButton.getParentComponent(), &bar);
}

TEST (MenuBarLayout, SettingsMenuTicksTheModeAndReportsAChoice)
{
    MenuBar bar;
    bar.currentResolutionMode = MenuBar::Low;

    std::vector<std::pair<int, bool>> items;
    const auto menu = bar.createSettingsMenu();

    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
        if (! it.getItem().isSectionHeader)
            items.emplace_back (it.getItem().itemID, it.getItem().isTicked);

    EXPECT_EQ (items, (std::vector<std::pair<int, bool>> {
                          { 910001, false }, { 910002, true }, { 910003, false }, { 910004, false } }));

    std::vector<MenuBar::ResolutionMode> reported;
    bar.onResolutionChanged = [&] (MenuBar::ResolutionMode mode) { reported.push_back (mode); };

    for (int result : { 0, 910000, 910005, 910004 })
        bar.handleSettingsMenuResult (result);

    EXPECT_EQ (reported, std::vector<MenuBar::ResolutionMode> { MenuBar::High });
    EXPECT_EQ (bar.currentResolutionMode, MenuBar::High);
}

//==============================================================================
namespace
{
struct MenuEntry
{
    juce::String text;
    int id = 0;
    bool ticked = false, header = false, separator = false;
    std::vector<int> subMenuIds;

    bool operator== (const MenuEntry& o) const
    {
        return text == o.text && id == o.id && ticked == o.ticked && header == o.header && separator == o.separator
               && subMenuIds == o.subMenuIds;
    }
};

std::ostream& operator<< (std::ostream& s, const MenuEntry& e)
{
    s << (e.header ? "header " : "") << (e.separator ? "separator " : "") << e.text << " #" << e.id
      << (e.ticked ? " ticked" : "");
    for (int id : e.subMenuIds)
        s << " " << id;
    return s;
}

std::vector<MenuEntry> entriesOf (const juce::PopupMenu& menu)
{
    std::vector<MenuEntry> entries;

    for (juce::PopupMenu::MenuItemIterator it (menu); it.next();)
    {
        const auto& item = it.getItem();
        MenuEntry e { item.text, item.itemID, item.isTicked, item.isSectionHeader, item.isSeparator, {} };

        if (item.subMenu != nullptr)
            for (juce::PopupMenu::MenuItemIterator sub (*item.subMenu); sub.next();)
            {
                EXPECT_FALSE (sub.getItem().isTicked);
                e.subMenuIds.push_back (sub.getItem().itemID);
            }

        entries.push_back (e);
    }

    return entries;
}

std::vector<MenuEntry> factoryEntries (const juce::String& ticked)
{
    std::vector<MenuEntry> entries { { "Factory Presets", 0, false, true, false, {} } };

    for (int i = 0; i < OstrelAudioProcessor::factoryPresetNames.size(); ++i)
    {
        const auto& name = OstrelAudioProcessor::factoryPresetNames[i];
        entries.push_back ({ name, 1000 + i, name == ticked, false, false, {} });
    }

    return entries;
}
} // namespace

using PresetMenu = MenuBarFixture;

TEST_F (PresetMenu, ListsTheFactoryPresetsAndTicksTheCurrentOne)
{
    ASSERT_EQ (OstrelAudioProcessor::factoryPresetNames.size(), 10);
    EXPECT_EQ (entriesOf (bar->createPresetMenu()), factoryEntries ({}));

    processor.applyFactoryPreset ("Clipper Glue");
    EXPECT_EQ (entriesOf (bar->createPresetMenu()), factoryEntries ("Clipper Glue"));

    // A user preset of a factory preset's name is still a user preset: nothing is ticked.
    makePreset ("Clipper Glue", 2.0f);
    auto entries = entriesOf (bar->createPresetMenu());
    entries.resize (11);
    EXPECT_EQ (entries, factoryEntries ({}));
}

TEST_F (PresetMenu, AddsOneSubMenuPerUserPresetInCaseInsensitiveOrder)
{
    for (auto* name : { "beta", "Alpha", "gamma" })
        makePreset (name, 1.0f);

    // The record now names the user preset "gamma": no factory item is ticked.
    auto expected = factoryEntries ({});
    expected.push_back ({ {}, 0, false, false, true, {} });
    expected.push_back ({ "User Presets", 0, false, true, false, {} });

    const char* order[] = { "Alpha", "beta", "gamma" };
    for (int i = 0; i < 3; ++i)
        expected.push_back ({ order[i], 0, false, false, false, { 2000 + i, 5000 + i, 8000 + i } });

    EXPECT_EQ (entriesOf (bar->createPresetMenu()), expected);
}

TEST_F (PresetMenu, OpensAsynchronouslyAndADismissedMenuChangesNothing)
{
    processor.applyFactoryPreset ("808 Grip");
    // The click handler is called directly: a posted click would let the X events of the new
    // window run before the menu could be looked at (see openMenuOf).
    bar->presetButton.onClick();
    ASSERT_NE (openMenuOf (*bar), nullptr);

    // Without an active window the framework may already have dismissed the menu on its own, so
    // the result of this call is not what is tested: whichever way it closed, nothing changes.
    juce::PopupMenu::dismissAllActiveMenus();
    pumpMessages (100);
    EXPECT_EQ (openMenuOf (*bar), nullptr);
    EXPECT_EQ (processor.getCurrentPresetName(), "808 Grip");
    EXPECT_EQ (currentAlert(), nullptr);
}

TEST_F (PresetMenu, ResultsAreDecodedByRangeAgainstTheListReadWhenTheyArrive)
{
    for (auto* name : { "a", "b", "d" })
        makePreset (name, 1.0f);

    // Results that refer to nothing do nothing.
    for (int result : { 0, 999, 1010, 2003, 4999, 5003, 8003, 910000, 910001 })
    {
        bar->handlePresetMenuResult (result);
        EXPECT_TRUE (noAlertAfterSettling()) << result;
        EXPECT_EQ (processor.getCurrentPresetName(), "d") << result;
    }

    bar->handlePresetMenuResult (1003);
    EXPECT_EQ (processor.getCurrentPresetName(), "Clipper Glue");
    EXPECT_FALSE (processor.isCurrentPresetUser());
    EXPECT_EQ (bar->presetButton.getText(), "Clipper Glue" + arrow);

    bar->handlePresetMenuResult (2001);
    EXPECT_EQ (processor.getCurrentPresetName(), "b");
    EXPECT_TRUE (processor.isCurrentPresetUser());
    EXPECT_EQ (bar->presetButton.getText(), "b" + arrow);

    // A fourth preset appears after the menu was built: 8003 now means "d", 5002 means "c".
    makePreset ("c", 1.0f);

    bar->handlePresetMenuResult (8003);
    auto* confirm = waitForAlert ("Delete Preset?");
    ASSERT_NE (confirm, nullptr);
    EXPECT_EQ (alertMessage (*confirm), "Are you sure you want to delete \"d\"?");
    press (*confirm, "Cancel");

    bar->handlePresetMenuResult (5002);
    auto* rename = waitForAlert ("Rename Preset");
    ASSERT_NE (rename, nullptr);
    EXPECT_EQ (rename->getTextEditorContents ("presetName"), "c");
    press (*rename, "Cancel");

    EXPECT_EQ (presetNames(), juce::StringArray ({ "a", "b", "c", "d" }));
}
