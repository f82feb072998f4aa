#include "DialogTestHelpers.h"

using namespace ostrel_test;

using SaveDialog = MenuBarFixture;

TEST_F (SaveDialog, ProposesTheCurrentUserPresetOrTheFirstFreeMyPresetName)
{
    struct Case
    {
        std::vector<const char*> existing;
        const char* current;
        bool currentIsUser;
        const char* proposed;
    };

    const Case cases[] = {
        { {}, "Presets", false, "MyPreset" },
        { { "MyPreset", "mypreset1" }, "Loud Mix Bus", false, "MyPreset2" },
        { { "mypreset" }, "Presets", false, "MyPreset1" },
        { { "Drums A" }, "  Drums A  ", true, "Drums A" },
        { { "MyPreset" }, "   ", true, "MyPreset1" },
    };

    for (const auto& c : cases)
    {
        processor.presetManager.getPresetsDirectory().deleteRecursively();

        for (auto* name : c.existing)
            makePreset (name, 0.0f);

        processor.setCurrentPresetInfo (c.current, c.currentIsUser, false);
        bar->saveButton.triggerClick();

        auto* dialog = waitForAlert ("Save Preset");
        ASSERT_NE (dialog, nullptr);
        EXPECT_EQ (alertMessage (*dialog), "Enter a name:");
        EXPECT_EQ (dialog->getTextEditorContents ("presetName"), c.proposed) << "current '" << c.current << "'";
        EXPECT_EQ (dialog->getNumButtons(), 2);
        press (*dialog, "Cancel");
        EXPECT_TRUE (noAlertAfterSettling());
    }
}

TEST_F (SaveDialog, SavesTheTrimmedNameAndAnnouncesIt)
{
    bar->showSavePresetDialog();
    auto* dialog = waitForAlert ("Save Preset");
    ASSERT_NE (dialog, nullptr);
    typeName (*dialog, "  Bass  ");
    press (*dialog, "Save");

    auto* success = waitForAlert ("Success");
    ASSERT_NE (success, nullptr);
    EXPECT_EQ (alertMessage (*success), "Preset \"Bass\" has been saved.");
    EXPECT_EQ (presetNames(), juce::StringArray ("Bass"));
    EXPECT_EQ (processor.getCurrentPresetName(), "Bass");
    EXPECT_TRUE (bar->presetButton.getText().startsWith ("Bass  "));

    press (*success, "OK");
    EXPECT_TRUE (noAlertAfterSettling());
}

TEST_F (SaveDialog, AsksBeforeReplacingAPresetFileAndKeepsItOnCancel)
{
    // "A!" is saved to "A.xml", so it replaces "A" just as "a" or "A" would on this file system.
    makePreset ("A", 3.0f);
    processor.setParamValue ("input", 9.0f);

    for (auto* typed : { "A", "A!" })
    {
        bar->saveUserPresetWithOverwritePrompt (typed);
        auto* question = waitForAlert ("Overwrite Preset?");
        ASSERT_NE (question, nullptr) << typed;
        EXPECT_EQ (alertMessage (*question),
                   "A preset named \"" + juce::String (typed) + "\" already exists.\nDo you want to overwrite it?");
        press (*question, "Cancel");
        EXPECT_TRUE (noAlertAfterSettling());
        EXPECT_FLOAT_EQ (storedInput ("A"), 3.0f);
    }

    bar->saveUserPresetWithOverwritePrompt ("A!");
    auto* question = waitForAlert ("Overwrite Preset?");
    ASSERT_NE (question, nullptr);
    press (*question, "Overwrite");

    auto* success = waitForAlert ("Success");
    ASSERT_NE (success, nullptr);
    EXPECT_EQ (alertMessage (*success), "Preset \"A!\" has been saved.");
    EXPECT_FLOAT_EQ (storedInput ("A"), 9.0f);
    EXPECT_EQ (presetNames(), juce::StringArray ("A"));
}

TEST_F (SaveDialog, SavingTheCurrentUserPresetAsksToOverwriteIt)
{
    makePreset ("Drums A", 3.0f);
    bar->showSavePresetDialog();
    auto* dialog = waitForAlert ("Save Preset");
    ASSERT_NE (dialog, nullptr);
    ASSERT_EQ (dialog->getTextEditorContents ("presetName"), "Drums A");
    press (*dialog, "Save");

    EXPECT_NE (waitForAlert ("Overwrite Preset?"), nullptr);
}

TEST_F (SaveDialog, ABlankNameOrAFailedSaveShowsNothing)
{
    bar->saveUserPresetWithOverwritePrompt ("   ");
    EXPECT_TRUE (noAlertAfterSettling());

    // A plain file where the presets folder should be makes every write fail.
    auto folder = processor.presetManager.getPresetsDirectory();
    folder.deleteRecursively();
    ASSERT_TRUE (folder.replaceWithText ("not a folder"));

    bar->saveUserPresetWithOverwritePrompt ("Bass");
    EXPECT_TRUE (noAlertAfterSettling());
    EXPECT_EQ (processor.getCurrentPresetName(), "Presets");

    folder.deleteFile();
}

//==============================================================================
using RenameDialog = MenuBarFixture;

TEST_F (RenameDialog, RenamesAndAnnouncesWithTheTrimmedNames)
{
    makePreset ("Live", 1.0f);
    bar->showRenamePresetDialog ("Live");
    auto* dialog = waitForAlert ("Rename Preset");
    ASSERT_NE (dialog, nullptr);
    EXPECT_EQ (alertMessage (*dialog), "Enter a new name:");
    EXPECT_EQ (dialog->getTextEditorContents ("presetName"), "Live");
    typeName (*dialog, " Live 2 ");
    press (*dialog, "Rename");

    auto* success = waitForAlert ("Success");
    ASSERT_NE (success, nullptr);
    EXPECT_EQ (alertMessage (*success), "Preset \"Live\" was renamed to \"Live 2\".");
    EXPECT_EQ (presetNames(), juce::StringArray ("Live 2"));
    EXPECT_TRUE (bar->presetButton.getText().startsWith ("Live 2  "));
}

TEST_F (RenameDialog, ASameNameRenameIsIgnoredSilently)
{
    makePreset ("bass", 1.0f);

    for (auto* typed : { "Bass", "bass", "  BASS ", "bass!", "" })
    {
        bar->renamePresetWithOverwritePrompt ("bass", typed);
        EXPECT_TRUE (noAlertAfterSettling()) << typed;
    }

    EXPECT_EQ (presetNames(), juce::StringArray ("bass"));
}

TEST_F (RenameDialog, OverwritingRenameGoesThroughAFreeBackupAndLeavesNoneBehind)
{
    for (bool backupTaken : { false, true })
    {
        processor.presetManager.getPresetsDirectory().deleteRecursively();
        makePreset ("A", 3.0f);
        makePreset ("B", 7.0f);

        if (backupTaken)
            makePreset ("B__backup", 5.0f);

        bar->renamePresetWithOverwritePrompt ("A", "B");
        auto* question = waitForAlert ("Overwrite Preset?");
        ASSERT_NE (question, nullptr);
        EXPECT_EQ (alertMessage (*question), "A preset named \"B\" already exists.\nDo you want to overwrite it?");
        press (*question, "Overwrite");

        auto* success = waitForAlert ("Success");
        ASSERT_NE (success, nullptr);
        EXPECT_EQ (alertMessage (*success), "Preset \"A\" was renamed to \"B\".");
        press (*success, "OK");

        EXPECT_FLOAT_EQ (storedInput ("B"), 3.0f);

        if (backupTaken)
        {
            EXPECT_EQ (presetNames(), juce::StringArray ({ "B", "B__backup" }));
            EXPECT_FLOAT_EQ (storedInput ("B__backup"), 5.0f);
        }
        else
        {
            EXPECT_EQ (presetNames(), juce::StringArray ("B"));
        }
    }
}

TEST_F (RenameDialog, CancelledOverwriteLeavesBothPresets)
{
    makePreset ("A", 3.0f);
    makePreset ("B", 7.0f);

    bar->renamePresetWithOverwritePrompt ("A", "B");
    auto* question = waitForAlert ("Overwrite Preset?");
    ASSERT_NE (question, nullptr);
    press (*question, "Cancel");

    EXPECT_TRUE (noAlertAfterSettling());
    EXPECT_FLOAT_EQ (storedInput ("A"), 3.0f);
    EXPECT_FLOAT_EQ (storedInput ("B"), 7.0f);
}

//==============================================================================
using DeleteDialog = MenuBarFixture;

TEST_F (DeleteDialog, DeletesOnlyAfterConfirmation)
{
    makePreset ("Old", 1.0f);

    bar->confirmDeletePreset ("Old");
    auto* question = waitForAlert ("Delete Preset?");
    ASSERT_NE (question, nullptr);
    press (*question, "Cancel");
    EXPECT_EQ (presetNames(), juce::StringArray ("Old"));

    bar->confirmDeletePreset ("Old");
    question = waitForAlert ("Delete Preset?");
    ASSERT_NE (question, nullptr);
    press (*question, "Delete");

    auto* success = waitForAlert ("Success");
    ASSERT_NE (success, nullptr);
    EXPECT_EQ (alertMessage (*success), "Preset \"Old\" has been deleted.");
    EXPECT_TRUE (presetNames().isEmpty());
    EXPECT_EQ (bar->presetButton.getText(), "Presets" + juce::String (juce::CharPointer_UTF8 ("  \xe2\x96\xbe")));
}

TEST_F (DeleteDialog, FailedOperationsShowNothing)
{
    // Deleting a preset that is already gone, and loading one that does not parse.
    bar->confirmDeletePreset ("Missing");
    auto* question = waitForAlert ("Delete Preset?");
    ASSERT_NE (question, nullptr);
    press (*question, "Delete");
    EXPECT_TRUE (noAlertAfterSettling());

    processor.applyFactoryPreset ("Warm Masters");
    bar->refreshPresetButtonText();
    const auto caption = bar->presetButton.getText();
    ASSERT_TRUE (processor.presetManager.getPresetFile ("Broken").replaceWithText ("<<<"));

    bar->handlePresetMenuResult (2000);
    EXPECT_TRUE (noAlertAfterSettling());
    EXPECT_EQ (processor.getCurrentPresetName(), "Warm Masters");
    EXPECT_EQ (bar->presetButton.getText(), caption);
}

//==============================================================================
using SuccessMessage = MenuBarFixture;

TEST_F (SuccessMessage, ClosesItselfAfterThreeSeconds)
{
    bar->showSuccessMessage ("Success", "Preset \"X\" has been saved.");
    juce::Component::SafePointer<juce::AlertWindow> message (waitForAlert ("Success"));
    ASSERT_NE (message, nullptr);
    EXPECT_EQ (message->getNumButtons(), 1);

    pumpMessages (2500);
    ASSERT_NE (message, nullptr);
    EXPECT_TRUE (message->isCurrentlyModal());

    EXPECT_TRUE (pumpUntil ([&] { return message == nullptr; }, 3000));
}

//==============================================================================
using ClosingTheEditor = MenuBarFixture;

TEST_F (ClosingTheEditor, WithADialogOpenDismissesItAndItsHandlerDoesNothing)
{
    for (int step = 0; step < 3; ++step)
    {
        if (step == 0)
            bar->showSavePresetDialog();
        else if (step == 1)
            bar->saveUserPresetWithOverwritePrompt ("Keep");
        else
            bar->showSuccessMessage ("Success", "Preset \"Keep\" has been saved.");

        juce::Component::SafePointer<juce::AlertWindow> dialog (currentAlert());
        ASSERT_NE (dialog, nullptr) << step;

        bar.reset();
        EXPECT_TRUE (pumpUntil ([&] { return dialog == nullptr; })) << step;
        EXPECT_EQ (currentAlert(), nullptr);

        if (step == 0)
        {
            makePreset ("Keep", 2.0f); // the next step asks to overwrite it
            processor.setParamValue ("input", 8.0f);
        }

        bar = std::make_unique<MenuBar>();
        bar->processor = &processor;
        bar->setSize (1187, 71);
    }

    EXPECT_EQ (presetNames(), juce::StringArray ("Keep"));
    EXPECT_FLOAT_EQ (storedInput ("Keep"), 2.0f);

    // The success message's timer fires after its dialog and bar are gone.
    pumpMessages (3200);
}

TEST_F (ClosingTheEditor, WithThePresetMenuOpenClosesTheMenu)
{
    bar->showPresetMenu();
    juce::Component::SafePointer<juce::Component> menu (openMenuOf (*bar));
    ASSERT_NE (menu, nullptr);

    bar.reset();
    ASSERT_NE (menu, nullptr);
    EXPECT_FALSE (menu->isVisible());
    EXPECT_TRUE (pumpUntil ([&] { return menu == nullptr; }));
}
