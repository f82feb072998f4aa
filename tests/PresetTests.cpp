#include "ParameterIDs.h"
#include "ParameterTestSupport.h"
#include "PluginProcessor.h"
#include "PresetTestSupport.h"

#include <gtest/gtest.h>

#include <map>
#include <memory>

namespace
{
using Values = ParameterValues;

void expectRecord (OstrelAudioProcessor& p, const juce::String& name, bool isUser, bool modified)
{
    EXPECT_EQ (p.getCurrentPresetName(), name);
    EXPECT_EQ (p.isCurrentPresetUser(), isUser);
    EXPECT_EQ (p.isCurrentPresetModified(), modified);
}

struct FactoryRow
{
    const char* name;
    float mode, input, shape, ceiling, output, mix, edge, lowProtect, oversampling;
};

// The factory presets as published, in menu order.
const FactoryRow factoryRows[] = {
    { "Punchy Drums", 2, 6, 56, -1, 2, 100, 18, 52, 2 },
    { "Loud Mix Bus", 0, 3, 34, -1, 1, 80, 8, 68, 2 },
    { "Snare Forward", 2, 8, 62, -1.8f, 0.5f, 88, 36, 34, 1 },
    { "Clipper Glue", 1, 4, 46, -0.8f, 1.5f, 72, 4, 72, 2 },
    { "Warm Masters", 0, 2, 24, -1.2f, 0, 64, -10, 84, 3 },
    { "Parallel Smash", 2, 10, 72, -2.2f, 0, 42, 20, 40, 2 },
    { "Vocal Peak Tame", 0, 3, 28, -1.4f, -0.5f, 68, 6, 78, 1 },
    { "808 Grip", 1, 5, 52, -1.5f, 1, 100, -8, 92, 2 },
    { "Aggro Guitars", 2, 7, 58, -1.2f, 1.2f, 90, 28, 38, 1 },
    { "Clean Loudness", 0, 1.5f, 18, -0.8f, 0.5f, 100, 0, 88, 3 },
};

// Parameters snap to steps of 0.01, so a value read back may differ from the literal by rounding.
constexpr float tolerance = 1.0e-4f;
} // namespace

//==============================================================================
TEST (FactoryPresets, NamesAreTheTenPresetsInMenuOrder)
{
    juce::StringArray expected;

    for (const auto& row : factoryRows)
        expected.add (row.name);

    EXPECT_EQ (OstrelAudioProcessor::factoryPresetNames, expected);
}

TEST (FactoryPresets, EachPresetSetsItsValuesSwitchesOnAndKeepsMaster)
{
    for (const auto& row : factoryRows)
    {
        SCOPED_TRACE (row.name);
        OstrelAudioProcessor p;
        p.setParamValue (ParamIDs::power, 0.0f);
        p.setParamValue (ParamIDs::master, -7.25f);
        ASSERT_TRUE (p.isCurrentPresetModified());

        p.applyFactoryPreset (row.name);

        EXPECT_EQ (valueOf (p, ParamIDs::power), 1.0f);
        EXPECT_NEAR (valueOf (p, ParamIDs::mode), row.mode, tolerance);
        EXPECT_NEAR (valueOf (p, ParamIDs::input), row.input, tolerance);
        EXPECT_NEAR (valueOf (p, ParamIDs::shape), row.shape, tolerance);
        EXPECT_NEAR (valueOf (p, ParamIDs::ceiling), row.ceiling, tolerance);
        EXPECT_NEAR (valueOf (p, ParamIDs::output), row.output, tolerance);
        EXPECT_NEAR (valueOf (p, ParamIDs::mix), row.mix, tolerance);
        EXPECT_NEAR (valueOf (p, ParamIDs::edge), row.edge, tolerance);
        EXPECT_NEAR (valueOf (p, ParamIDs::lowProtect), row.lowProtect, tolerance);
        EXPECT_NEAR (valueOf (p, ParamIDs::oversampling), row.oversampling, tolerance);
        EXPECT_NEAR (valueOf (p, ParamIDs::master), -7.25f, tolerance);
        expectRecord (p, row.name, false, false);
    }
}

TEST (FactoryPresets, ApplyingTwiceChangesNothingMoreAndTheNextChangeMarksModified)
{
    OstrelAudioProcessor p;
    p.applyFactoryPreset ("808 Grip");
    const auto once = parameterValues (p);

    p.applyFactoryPreset ("808 Grip");
    EXPECT_EQ (parameterValues (p), once);
    expectRecord (p, "808 Grip", false, false);

    p.setParamValue (ParamIDs::master, 2.0f);
    expectRecord (p, "808 Grip", false, true);
}

TEST (FactoryPresets, UnknownNameChangesNothing)
{
    OstrelAudioProcessor p;
    p.setParamValue (ParamIDs::shape, 12.0f);
    p.setCurrentPresetInfo ("Live", true, true);
    const auto before = parameterValues (p);

    for (const auto* name : { "punchy drums", "Punchy Drums ", "" })
    {
        p.applyFactoryPreset (name);
        EXPECT_EQ (parameterValues (p), before) << name;
        expectRecord (p, "Live", true, true);
    }
}

//==============================================================================
/** Every user-preset test starts without any of the plug-in's folders, then constructs the
    processor, which creates them.
*/
class UserPresets : public ::testing::Test
{
protected:
    void SetUp() override
    {
        removeAppDataFolders();

        if (! HasFatalFailure())
            processor = std::make_unique<OstrelAudioProcessor>();
    }

    void TearDown() override { processor.reset(); }

    juce::File presetsFolder() const { return appDataFolder().getChildFile ("Presets"); }

    juce::File writePresetFile (const juce::String& fileName, const juce::String& text) const
    {
        const auto file = presetsFolder().getChildFile (fileName);
        EXPECT_TRUE (file.replaceWithText (text));
        return file;
    }

    /** A folder, not empty, where a preset file would be. */
    juce::File makeFolderAt (const juce::String& fileName) const
    {
        const auto folder = presetsFolder().getChildFile (fileName);
        EXPECT_TRUE (folder.getChildFile ("keep").create());
        return folder;
    }

    std::unique_ptr<OstrelAudioProcessor> processor;
};

TEST_F (UserPresets, ConstructionCreatesThePresetsFolderInTheAppDataFolder)
{
#if JUCE_MAC
    const auto root = juce::File ("~/Library/Application Support");
#else
    const auto root = juce::File ("~/.config");
#endif
    const auto expected = root.getChildFile ("LarkfenAudio/Ostrel/version_1.0.0");

    EXPECT_EQ (processor->presetManager.getBaseDirectory(), expected);
    EXPECT_EQ (processor->presetManager.getPresetsDirectory(), expected.getChildFile ("Presets"));
    EXPECT_TRUE (expected.getChildFile ("Presets").isDirectory());
    EXPECT_TRUE (expected.isAChildOf (juce::File::getSpecialLocation (juce::File::userHomeDirectory)));
}

TEST_F (UserPresets, PresetFileNameIsTheTrimmedNameReducedToAllowedCharacters)
{
    const std::pair<const char*, const char*> cases[] = {
        { "", "Preset.xml" },
        { "   ", "Preset.xml" },
        { "///", "Preset.xml" },
        { "  Bass/Lead  ", "BassLead.xml" },
        { "A", "A.xml" },
        { "A!", "A.xml" },
        { "My Preset_2-b", "My Preset_2-b.xml" },
        { "/ x /", " x .xml" },
        { "../up", "up.xml" },
        { "Caf\xc3\xa9 Cr\xc3\xa8me", "Caf Crme.xml" },
    };

    for (const auto& [name, fileName] : cases)
    {
        const auto file = processor->presetManager.getPresetFile (juce::String::fromUTF8 (name));
        EXPECT_EQ (file.getFileName(), fileName) << name;
        EXPECT_EQ (file.getParentDirectory(), presetsFolder()) << name;
        EXPECT_FALSE (file.exists()) << name;
    }
}

TEST_F (UserPresets, ListingGivesXmlFilesOnlySortedIgnoringCase)
{
    for (const auto* name : { "gamma.xml", "Beta.xml", "alpha.xml", "notes.txt" })
        writePresetFile (name, "<PARAMETERS/>");

    makeFolderAt ("old.xml");
    writePresetFile ("old.xml/inner.xml", "<PARAMETERS/>");

    EXPECT_EQ (processor->getUserPresetNames(), juce::StringArray ({ "alpha", "Beta", "gamma" }));
}

TEST_F (UserPresets, WithoutPresetsFolderListingIsEmptyAndSavingCreatesIt)
{
    ASSERT_TRUE (presetsFolder().deleteRecursively());

    EXPECT_TRUE (processor->getUserPresetNames().isEmpty());
    EXPECT_TRUE (processor->saveUserPreset ("First"));
    EXPECT_TRUE (presetsFolder().getChildFile ("First.xml").existsAsFile());
}

TEST_F (UserPresets, SavingWritesTheParameterTreeAndMakesTheNameCurrent)
{
    processor->setParamValue (ParamIDs::shape, 66.0f);
    ASSERT_TRUE (processor->saveUserPreset ("Bass/Lead"));

    const auto file = presetsFolder().getChildFile ("BassLead.xml");
    const auto xml = juce::parseXML (file);
    ASSERT_NE (xml, nullptr);
    EXPECT_EQ (xml->getTagName(), "PARAMETERS");
    EXPECT_FALSE (xml->hasAttribute ("uiCurrentPresetName"));
    EXPECT_EQ (xml->getNumChildElements(), (int) ParamIDs::all.size());
    ASSERT_NE (xml->getChildByAttribute ("id", ParamIDs::shape), nullptr);
    EXPECT_DOUBLE_EQ (xml->getChildByAttribute ("id", ParamIDs::shape)->getDoubleAttribute ("value"), 66.0);
    EXPECT_TRUE (file.loadFileAsString().startsWith ("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\r\n"));

    expectRecord (*processor, "Bass/Lead", true, false);
    EXPECT_EQ (processor->getUserPresetNames(), juce::StringArray ({ "BassLead" }));

    // Saving again under the same name replaces the file.
    processor->setParamValue (ParamIDs::shape, 11.0f);
    ASSERT_TRUE (processor->saveUserPreset ("Bass/Lead"));
    EXPECT_DOUBLE_EQ (juce::parseXML (file)->getChildByAttribute ("id", ParamIDs::shape)->getDoubleAttribute ("value"),
                      11.0);
    expectRecord (*processor, "Bass/Lead", true, false);
}

TEST_F (UserPresets, FailedSaveReturnsFalseAndLeavesTheRecord)
{
    makeFolderAt ("Blocked.xml");
    processor->setCurrentPresetInfo ("Live", true, true);

    EXPECT_FALSE (processor->saveUserPreset ("Blocked"));
    EXPECT_TRUE (presetsFolder().getChildFile ("Blocked.xml/keep").existsAsFile());
    expectRecord (*processor, "Live", true, true);
}

TEST_F (UserPresets, LoadingAppliesThePresetKeepsMasterAndSuspendsProcessingMeanwhile)
{
    {
        OstrelAudioProcessor author;
        author.applyFactoryPreset ("Parallel Smash");
        author.setParamValue (ParamIDs::master, 9.0f);
        author.setParamValue (ParamIDs::power, 0.0f);
        ASSERT_TRUE (author.saveUserPreset ("Smash"));
    }

    processor->setParamValue (ParamIDs::master, -4.0f);
    processor->applyFactoryPreset ("Warm Masters");

    // Records whether processing was suspended whenever the load changed a parameter.
    struct SuspendProbe : juce::AudioProcessorValueTreeState::Listener
    {
        explicit SuspendProbe (juce::AudioProcessor& p) : processor (p) {}
        void parameterChanged (const juce::String&, float) override
        {
            ++changes;
            allSuspended = allSuspended && processor.isSuspended();
        }
        juce::AudioProcessor& processor;
        int changes = 0;
        bool allSuspended = true;
    } probe (*processor);

    for (auto* id : ParamIDs::all)
        processor->apvts.addParameterListener (id, &probe);

    const bool loaded = processor->loadUserPreset ("Smash/");

    for (auto* id : ParamIDs::all)
        processor->apvts.removeParameterListener (id, &probe);

    ASSERT_TRUE (loaded);
    EXPECT_GT (probe.changes, 0);
    EXPECT_TRUE (probe.allSuspended);
    EXPECT_FALSE (processor->isSuspended());

    EXPECT_EQ (valueOf (*processor, ParamIDs::power), 0.0f);
    EXPECT_NEAR (valueOf (*processor, ParamIDs::input), 10.0f, 1.0e-4f);
    EXPECT_NEAR (valueOf (*processor, ParamIDs::mix), 42.0f, 1.0e-4f);
    EXPECT_NEAR (valueOf (*processor, ParamIDs::master), -4.0f, 1.0e-4f);
    expectRecord (*processor, "Smash/", true, false);

    processor->setParamValue (ParamIDs::edge, 1.0f);
    EXPECT_TRUE (processor->isCurrentPresetModified());
}

TEST_F (UserPresets, LoadingAFileThatLacksOrSpoilsValuesKeepsThoseParameters)
{
    // Any root name is accepted; unknown IDs and other children have no effect.
    writePresetFile ("Sparse.xml", R"(<?xml version="1.0" encoding="UTF-8"?>
<Whatever uiCurrentPresetName="Ignored">
  <PARAM id="shape" value="77"/>
  <PARAM id="input" value="nan"/>
  <PARAM id="output" value="-inf"/>
  <PARAM id="ceiling" value="-40"/>
  <PARAM id="noSuchParameter" value="3"/>
  <NOTE text="hello"/>
</Whatever>)");

    processor->setParamValue (ParamIDs::input, 5.0f);
    processor->setParamValue (ParamIDs::output, -6.0f);
    processor->setParamValue (ParamIDs::mix, 33.0f);

    ASSERT_TRUE (processor->loadUserPreset ("Sparse"));

    EXPECT_NEAR (valueOf (*processor, ParamIDs::shape), 77.0f, tolerance);
    EXPECT_NEAR (valueOf (*processor, ParamIDs::ceiling), -12.0f, tolerance);
    EXPECT_NEAR (valueOf (*processor, ParamIDs::input), 5.0f, tolerance);
    EXPECT_NEAR (valueOf (*processor, ParamIDs::output), -6.0f, tolerance);
    EXPECT_NEAR (valueOf (*processor, ParamIDs::mix), 33.0f, tolerance);
    expectRecord (*processor, "Sparse", true, false);
}

TEST_F (UserPresets, FailedLoadReturnsFalseAndChangesNothing)
{
    writePresetFile ("Garbage.xml", "this is not XML");
    writePresetFile ("Empty.xml", "");
    makeFolderAt ("Folder.xml");

    processor->setParamValue (ParamIDs::shape, 12.0f);
    processor->setCurrentPresetInfo ("Live", true, true);
    const auto before = parameterValues (*processor);

    for (const auto* name : { "Missing", "Garbage", "Empty", "Folder" })
    {
        EXPECT_FALSE (processor->loadUserPreset (name)) << name;
        EXPECT_EQ (parameterValues (*processor), before) << name;
        expectRecord (*processor, "Live", true, true);
        EXPECT_FALSE (processor->isSuspended());
    }
}

TEST_F (UserPresets, RenamingTheCurrentPresetMovesItsFileAndTheRecordFollows)
{
    ASSERT_TRUE (processor->saveUserPreset ("Live"));
    processor->setParamValue (ParamIDs::mix, 50.0f);
    processor->setCurrentPresetInfo ("LIVE", true, true);

    ASSERT_TRUE (processor->renameUserPreset ("Live", "Live 2"));

    EXPECT_FALSE (presetsFolder().getChildFile ("Live.xml").exists());
    EXPECT_TRUE (presetsFolder().getChildFile ("Live 2.xml").existsAsFile());
    expectRecord (*processor, "Live 2", true, false);
}

TEST_F (UserPresets, RenamingAnotherPresetLeavesTheRecord)
{
    writePresetFile ("Punchy Drums.xml", "<PARAMETERS/>");
    writePresetFile ("Other.xml", "<PARAMETERS/>");

    struct Case
    {
        const char* currentName;
        bool currentIsUser;
        const char* oldName;
    };

    // A factory preset of the same name, and a different user preset.
    for (const auto& c : { Case { "Punchy Drums", false, "Punchy Drums" }, Case { "Mine", true, "Other" } })
    {
        processor->setCurrentPresetInfo (c.currentName, c.currentIsUser, true);
        ASSERT_TRUE (processor->renameUserPreset (c.oldName, juce::String (c.oldName) + " B"));
        expectRecord (*processor, c.currentName, c.currentIsUser, true);
    }
}

TEST_F (UserPresets, FailedRenameReturnsFalseAndLeavesFilesAndRecord)
{
    writePresetFile ("A.xml", "a");
    writePresetFile ("B.xml", "b");
    makeFolderAt ("Folder.xml");
    makeFolderAt ("Full.xml");

    const std::pair<const char*, const char*> cases[] = {
        { "A", "B" },       // existing target
        { "A", "A!" },      // the same file
        { "A", "  " },      // blank new name
        { "A", "" },        // empty new name
        { "Missing", "C" }, // no such file
        { "Folder", "C" },  // a folder, not a file
        { "A", "Full" },    // a folder that cannot be removed in place of the target
    };

    processor->setCurrentPresetInfo ("A", true, true);

    for (const auto& [oldName, newName] : cases)
    {
        EXPECT_FALSE (processor->renameUserPreset (oldName, newName)) << oldName << " -> " << newName;
        EXPECT_EQ (presetsFolder().getChildFile ("A.xml").loadFileAsString(), "a");
        EXPECT_EQ (presetsFolder().getChildFile ("B.xml").loadFileAsString(), "b");
        EXPECT_FALSE (presetsFolder().getChildFile ("C.xml").exists());
        expectRecord (*processor, "A", true, true);
    }
}

TEST_F (UserPresets, DeletingTheCurrentUserPresetResetsTheRecord)
{
    ASSERT_TRUE (processor->saveUserPreset ("Live"));
    processor->setCurrentPresetInfo ("LIVE", true, true); // the record is matched ignoring case

    ASSERT_TRUE (processor->deleteUserPreset ("Live"));

    EXPECT_FALSE (presetsFolder().getChildFile ("Live.xml").exists());
    EXPECT_TRUE (processor->getUserPresetNames().isEmpty());
    expectRecord (*processor, "Presets", false, false);
}

TEST_F (UserPresets, DeletingAUserPresetNamedLikeTheCurrentFactoryPresetLeavesTheRecord)
{
    ASSERT_TRUE (processor->saveUserPreset ("Punchy Drums"));
    processor->applyFactoryPreset ("Punchy Drums");
    processor->setParamValue (ParamIDs::mix, 50.0f);

    ASSERT_TRUE (processor->deleteUserPreset ("Punchy Drums"));

    EXPECT_FALSE (presetsFolder().getChildFile ("Punchy Drums.xml").exists());
    expectRecord (*processor, "Punchy Drums", false, true);
}

TEST_F (UserPresets, FailedDeleteReturnsFalseAndLeavesTheRecord)
{
    makeFolderAt ("Folder.xml");
    processor->setCurrentPresetInfo ("Folder", true, true);

    for (const auto* name : { "Missing", "Folder" })
    {
        EXPECT_FALSE (processor->deleteUserPreset (name)) << name;
        expectRecord (*processor, "Folder", true, true);
    }

    EXPECT_TRUE (presetsFolder().getChildFile ("Folder.xml").isDirectory());
}
