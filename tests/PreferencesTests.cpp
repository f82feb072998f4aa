#include "PresetManager.h"
#include "PresetTestSupport.h"
#include "UserPreferences.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

/** Every test starts without any of the plug-in's folders. */
class Preferences : public ::testing::Test
{
protected:
    void SetUp() override { removeAppDataFolders(); }

    juce::File preferencesFile() const { return appDataFolder().getChildFile ("preferences.xml"); }
};

TEST_F (Preferences, ConstructionCreatesTheFolderChainSharedWithThePresets)
{
    ASSERT_FALSE (appDataFolder().getParentDirectory().getParentDirectory().exists());

    const UserPreferences preferences;

    EXPECT_TRUE (appDataFolder().isDirectory());
    EXPECT_EQ (preferences.getBaseDirectory(), appDataFolder());
    EXPECT_EQ (preferences.getBaseDirectory(), PresetManager().getBaseDirectory());
    EXPECT_EQ (preferences.getPreferencesFile(), preferencesFile());
}

TEST_F (Preferences, SanitizeKeepsTheFourModesAndTurnsAnythingElseIntoAuto)
{
    const UserPreferences preferences;
    const std::pair<const char*, const char*> cases[] = {
        { " HIGH ", "high" }, { "Medium", "medium" }, { "low", "low" },    { "\tAuto\n", "auto" },
        { "", "auto" },       { "ultra", "auto" },    { "hi gh", "auto" }, { "lowest", "auto" },
    };

    for (const auto& [name, expected] : cases)
        EXPECT_EQ (preferences.sanitizeGraphicsMode (name), expected) << name;
}

TEST_F (Preferences, SavingWritesTheSanitisedModeAndReadingGivesItBack)
{
    UserPreferences preferences;
    preferences.saveGraphicsMode ("high");

    for (const auto& [name, expected] : { std::pair { "LOW", "low" }, { " Medium", "medium" }, { "ultra", "auto" } })
    {
        preferences.saveGraphicsMode (name);

        const auto text = preferencesFile().loadFileAsString();
        EXPECT_TRUE (text.startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n")) << text;

        const auto xml = juce::parseXML (text);
        ASSERT_NE (xml, nullptr);
        EXPECT_EQ (xml->getTagName(), "Preferences");
        EXPECT_EQ (xml->getNumAttributes(), 1);
        EXPECT_EQ (xml->getStringAttribute ("graphicsMode"), expected);
        EXPECT_EQ (xml->getNumChildElements(), 0);
        EXPECT_EQ (preferences.readGraphicsMode(), expected);
    }

    // Only the preferences file is left behind, no temporary file.
    EXPECT_EQ (appDataFolder().getNumberOfChildFiles (juce::File::findFiles), 1);
}

TEST_F (Preferences, ReadingFallsBackToAutoForAnythingButAPreferencesElement)
{
    const UserPreferences preferences;
    const std::pair<const char*, const char*> cases[] = {
        { R"(<preferences graphicsMode="medium"/>)", "medium" },
        { R"(<PREFERENCES graphicsMode=" HIGH "/>)", "high" },
        { R"(<Preferences GraphicsMode="high"/>)", "auto" },
        { R"(<Preferences/>)", "auto" },
        { R"(<Settings graphicsMode="high"/>)", "auto" },
        { R"(<Preferences graphicsMode="ultra"/>)", "auto" },
        { "not XML at all", "auto" },
        { "", "auto" },
    };

    for (const auto& [text, expected] : cases)
    {
        ASSERT_TRUE (preferencesFile().replaceWithText (text));
        EXPECT_EQ (preferences.readGraphicsMode(), expected) << text;
    }
}

TEST_F (Preferences, MissingFileOrFolderInItsPlaceReadsAuto)
{
    const UserPreferences preferences;
    EXPECT_EQ (preferences.readGraphicsMode(), "auto");

    ASSERT_TRUE (preferencesFile().getChildFile ("graphicsMode").create());
    EXPECT_EQ (preferences.readGraphicsMode(), "auto");
}

#if JUCE_LINUX || JUCE_MAC
TEST_F (Preferences, FailedWriteKeepsThePreviousFile)
{
    UserPreferences preferences;
    preferences.saveGraphicsMode ("high");
    ASSERT_EQ (preferences.readGraphicsMode(), "high");

    // A file size limit of zero makes every write fail, even for root, while deleting still works.
    rlimit previous {};
    ASSERT_EQ (getrlimit (RLIMIT_FSIZE, &previous), 0);
    const auto previousHandler = std::signal (SIGXFSZ, SIG_IGN);
    rlimit none = previous;
    none.rlim_cur = 0;
    ASSERT_EQ (setrlimit (RLIMIT_FSIZE, &none), 0);

    preferences.saveGraphicsMode ("low");

    setrlimit (RLIMIT_FSIZE, &previous);
    std::signal (SIGXFSZ, previousHandler);

    EXPECT_EQ (preferences.readGraphicsMode(), "high");
}
#endif
