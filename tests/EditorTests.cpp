#include "DialogTestHelpers.h"
#include "PluginEditor.h"

using namespace ostrel_test;

TEST (EditorSizing, OpeningSizeLimitsAndMenuBarFollowTheUsableArea)
{
    struct Case
    {
        int areaW, areaH;
        int w, h, minW, minH, maxW, maxH, menuBar;
    };

    const Case cases[] = {
        { 1920, 1055, 1187, 791, 720, 480, 1600, 1067, 71 },
        { 1920, 1080, 1215, 810, 720, 480, 1600, 1067, 73 },
        { 1440, 875, 984, 656, 720, 480, 1440, 960, 59 },
        { 3840, 2135, 1600, 1067, 720, 480, 1600, 1067, 96 }, // width capped
        { 1024, 600, 720, 480, 720, 480, 1024, 683, 43 },     // minimum width wins
        { 700, 400, 600, 400, 700, 467, 700, 467, 36 },       // height fallback, below the limits
    };

    for (const auto& c : cases)
    {
        const auto s = OstrelAudioProcessorEditor::computeWindowSizing ({ 0, 0, c.areaW, c.areaH });
        const std::vector<int> got { s.width,
                                     s.height,
                                     s.minWidth,
                                     s.minHeight,
                                     s.maxWidth,
                                     s.maxHeight,
                                     OstrelAudioProcessorEditor::menuBarHeightFor (s.height) };
        EXPECT_EQ (got, (std::vector<int> { c.w, c.h, c.minW, c.minH, c.maxW, c.maxH, c.menuBar }))
            << c.areaW << " x " << c.areaH;
        EXPECT_DOUBLE_EQ (s.aspectRatio, 1.5);
    }

    // Without any display every size is still at least 1.
    const auto none = OstrelAudioProcessorEditor::computeWindowSizing ({});
    EXPECT_EQ (std::vector<int> ({ none.width, none.height, none.minWidth, none.minHeight }),
               std::vector<int> ({ 1, 1, 1, 1 }));
}

namespace
{
class EditorFixture : public ::testing::Test
{
protected:
    void SetUp() override { preferencesFile().deleteFile(); }

    static juce::File preferencesFile() { return UserPreferences().getPreferencesFile(); }

    static juce::String storedMode()
    {
        const auto xml = juce::parseXML (preferencesFile());
        return xml != nullptr && xml->hasTagName ("Preferences") ? xml->getStringAttribute ("graphicsMode", "<none>")
                                                                 : "<unreadable>";
    }

    std::unique_ptr<OstrelAudioProcessorEditor> openEditor()
    {
        std::unique_ptr<OstrelAudioProcessorEditor> editor (
            dynamic_cast<OstrelAudioProcessorEditor*> (processor.createEditor()));
        return editor;
    }

    OstrelAudioProcessor processor;
};
} // namespace

using EditorWindow = EditorFixture;

TEST_F (EditorWindow, OpensOnScreenAtTheDisplaysSizeWithTheMenuBarOverThePanel)
{
    processor.applyFactoryPreset ("Loud Mix Bus");
    auto editor = openEditor();
    ASSERT_NE (editor, nullptr);

    const auto* display = juce::Desktop::getInstance().getDisplays().getPrimaryDisplay();
    ASSERT_NE (display, nullptr);
    const auto expected = OstrelAudioProcessorEditor::computeWindowSizing (display->userArea);

    editor->addToDesktop (juce::ComponentPeer::windowHasTitleBar);
    editor->setVisible (true);
    ASSERT_TRUE (pumpUntil ([&] { return editor->isShowing(); }));

    EXPECT_EQ (editor->getWidth(), expected.width);
    EXPECT_EQ (editor->getHeight(), expected.height);
    EXPECT_TRUE (editor->isResizable());

    auto* constrainer = editor->getConstrainer();
    ASSERT_NE (constrainer, nullptr);
    EXPECT_EQ (constrainer->getMinimumWidth(), expected.minWidth);
    EXPECT_EQ (constrainer->getMaximumHeight(), expected.maxHeight);
    EXPECT_DOUBLE_EQ (constrainer->getFixedAspectRatio(), 1.5);

    const int bar = OstrelAudioProcessorEditor::menuBarHeightFor (expected.height);
    EXPECT_EQ (editor->getMenuBar().getBounds(), juce::Rectangle<int> (0, 0, expected.width, bar));
    EXPECT_EQ (editor->getControlPanel().getBounds(),
               juce::Rectangle<int> (0, bar, expected.width, expected.height - bar));
    EXPECT_TRUE (editor->getMenuBar().presetButton.isShowing());
    EXPECT_TRUE (editor->getMenuBar().presetButton.getText().startsWith ("Loud Mix Bus  "));

    // A host resize lays the children out again.
    editor->setSize (720, 480);
    EXPECT_EQ (editor->getMenuBar().getBounds(), juce::Rectangle<int> (0, 0, 720, 43));
    EXPECT_EQ (editor->getControlPanel().getBounds(), juce::Rectangle<int> (0, 43, 720, 437));
    EXPECT_EQ (editor->getMenuBar().presetButton.getBounds(), juce::Rectangle<int> (222, 6, 173, 27));

    pumpMessages (50);
}

TEST_F (EditorWindow, ReadsTheGraphicsModeAndWritesItBackNormalised)
{
    struct Case
    {
        const char* fileText; // null: no file
        MenuBar::ResolutionMode mode;
        const char* written;
    };

    const Case cases[] = {
        { nullptr, MenuBar::Auto, "auto" },
        { "<Preferences graphicsMode=\" HIGH \"/>", MenuBar::High, "high" },
        { "<preferences graphicsMode=\"medium\"/>", MenuBar::Medium, "medium" },
        { "<Preferences graphicsMode=\"low\"/>", MenuBar::Low, "low" },
        { "<Preferences graphicsMode=\"ultra\"/>", MenuBar::Auto, "auto" },
        { "<Settings graphicsMode=\"low\"/>", MenuBar::Auto, "auto" },
        { "not xml at all", MenuBar::Auto, "auto" },
    };

    for (const auto& c : cases)
    {
        preferencesFile().deleteFile();

        if (c.fileText != nullptr)
        {
            ASSERT_TRUE (preferencesFile().replaceWithText (c.fileText));
        }

        auto editor = openEditor();
        ASSERT_NE (editor, nullptr);
        const auto label = juce::String (c.fileText != nullptr ? c.fileText : "no file");

        EXPECT_EQ (editor->getMenuBar().currentResolutionMode, c.mode) << label;
        EXPECT_EQ (editor->getControlPanel().resolutionMode, (int) c.mode) << label;
        EXPECT_EQ (storedMode(), c.written) << label;
    }
}

TEST_F (EditorWindow, ResolutionChangesReachThePanelButNotTheFile)
{
    auto editor = openEditor();
    ASSERT_NE (editor, nullptr);
    auto& bar = editor->getMenuBar();
    ASSERT_TRUE (bar.onResolutionChanged != nullptr);

    bar.onResolutionChanged (MenuBar::Medium);
    EXPECT_EQ (editor->getControlPanel().resolutionMode, MenuBar::Medium);

    bar.onResolutionChanged (static_cast<MenuBar::ResolutionMode> (7));
    EXPECT_EQ (editor->getControlPanel().resolutionMode, MenuBar::Medium);

    // The settings menu's choice reaches the panel the same way.
    bar.handleSettingsMenuResult (910002);
    EXPECT_EQ (editor->getControlPanel().resolutionMode, MenuBar::Low);
    EXPECT_EQ (storedMode(), "auto");
}
