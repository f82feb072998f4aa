#include "../PresetTestSupport.h"
#include "ParameterIDs.h"
#include "PluginProcessor.h"
#include "UserPreferences.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <linux/fs.h>
#include <map>
#include <memory>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

// Hostile file systems and files: every preset and preferences operation must fail cleanly (false,
// or the documented fallback), change neither parameters nor record, and lose no file.

namespace
{
struct Snapshot
{
    std::map<juce::String, float> values;
    juce::String name;
    bool isUser = false, modified = false;

    bool operator== (const Snapshot& other) const
    {
        return values == other.values && name == other.name && isUser == other.isUser && modified == other.modified;
    }
};

Snapshot take (OstrelAudioProcessor& p)
{
    Snapshot s;

    for (auto* id : ParamIDs::all)
        s.values[id] = p.apvts.getRawParameterValue (id)->load();

    s.name = p.getCurrentPresetName();
    s.isUser = p.isCurrentPresetUser();
    s.modified = p.isCurrentPresetModified();
    return s;
}

/** Makes a folder read-only for its lifetime. Root ignores permission bits, so for root the
    folder is also marked immutable (which binds root too, on file systems that support it).
*/
class ReadOnlyFolder
{
public:
    explicit ReadOnlyFolder (const juce::File& f) : folder (f)
    {
        chmod (path(), 0555);

        if (isWritable())
            immutable = setImmutable (true);
    }

    ~ReadOnlyFolder()
    {
        if (immutable)
            setImmutable (false);

        chmod (path(), 0755);
    }

    bool holds() const { return ! isWritable(); }

private:
    const char* path() const { return folder.getFullPathName().toRawUTF8(); }

    bool isWritable() const
    {
        const auto probe = folder.getChildFile (".probe");
        const bool created = probe.create().wasOk();
        probe.deleteFile();
        return created;
    }

    bool setImmutable (bool on) const
    {
        const int fd = open (path(), O_RDONLY | O_DIRECTORY);

        if (fd < 0)
            return false;

        int flags = 0;
        bool done = ioctl (fd, FS_IOC_GETFLAGS, &flags) == 0;
        flags = on ? (flags | FS_IMMUTABLE_FL) : (flags & ~FS_IMMUTABLE_FL);
        done = done && ioctl (fd, FS_IOC_SETFLAGS, &flags) == 0;
        close (fd);
        return done;
    }

    juce::File folder;
    bool immutable = false;
};

/** Makes every file write of this process fail, as on a full disk (reads and deletes still work). */
class FullDisk
{
public:
    FullDisk()
    {
        getrlimit (RLIMIT_FSIZE, &previous);
        previousHandler = std::signal (SIGXFSZ, SIG_IGN);
        rlimit none = previous;
        none.rlim_cur = 0;
        active = setrlimit (RLIMIT_FSIZE, &none) == 0;
    }

    ~FullDisk()
    {
        setrlimit (RLIMIT_FSIZE, &previous);
        std::signal (SIGXFSZ, previousHandler);
    }

    bool active = false;

private:
    rlimit previous {};
    void (*previousHandler) (int) = nullptr;
};

class HostileFiles : public ::testing::Test
{
protected:
    void SetUp() override
    {
        removeAppDataFolders();

        if (HasFatalFailure())
            return;

        processor = std::make_unique<OstrelAudioProcessor>();
        processor->setParamValue (ParamIDs::shape, 77.0f);
        ASSERT_TRUE (processor->saveUserPreset ("Keep"));
        keptText = presetFile ("Keep").loadFileAsString();
        processor->setParamValue (ParamIDs::shape, 12.0f);
        processor->setCurrentPresetInfo ("Live", true, true);
    }

    juce::File presetsFolder() const { return appDataFolder().getChildFile ("Presets"); }
    juce::File presetFile (const juce::String& fileName) const
    {
        return presetsFolder().getChildFile (fileName + ".xml");
    }

    /** Each operation fails, the processor is as before, and "Keep.xml" is still there unchanged. */
    void expectEveryWriteFailsCleanly()
    {
        const auto before = take (*processor);

        EXPECT_FALSE (processor->saveUserPreset ("New"));
        EXPECT_FALSE (processor->saveUserPreset ("Keep"));
        EXPECT_FALSE (processor->renameUserPreset ("Keep", "Moved"));
        EXPECT_FALSE (processor->deleteUserPreset ("Keep"));

        EXPECT_TRUE (take (*processor) == before);
        EXPECT_EQ (presetFile ("Keep").loadFileAsString(), keptText);
        EXPECT_FALSE (presetFile ("New").exists());
        EXPECT_FALSE (presetFile ("Moved").exists());
    }

    std::unique_ptr<OstrelAudioProcessor> processor;
    juce::String keptText;
};
} // namespace

TEST_F (HostileFiles, ReadOnlyPresetsFolderRefusesWritesButStillLoads)
{
    const ReadOnlyFolder readOnly (presetsFolder());

    if (! readOnly.holds())
        GTEST_SKIP() << "this file system cannot make a folder read-only for this user";

    expectEveryWriteFailsCleanly();
    EXPECT_EQ (processor->getUserPresetNames(), juce::StringArray ("Keep"));
    EXPECT_TRUE (processor->loadUserPreset ("Keep"));
    EXPECT_EQ (processor->apvts.getRawParameterValue (ParamIDs::shape)->load(), 77.0f);
}

TEST_F (HostileFiles, FullDiskRefusesWritesAndKeepsTheOldFiles)
{
    // Nothing can be written at all: the temporary file of a save stays empty and never replaces
    // the preset.
    {
        const FullDisk full;
        ASSERT_TRUE (full.active);
        const auto before = take (*processor);
        EXPECT_FALSE (processor->saveUserPreset ("Keep"));
        EXPECT_FALSE (processor->saveUserPreset ("New"));
        EXPECT_TRUE (take (*processor) == before);
    }

    EXPECT_EQ (presetFile ("Keep").loadFileAsString(), keptText);
    EXPECT_EQ (processor->getUserPresetNames(), juce::StringArray ("Keep"));
}

TEST_F (HostileFiles, AFileInPlaceOfThePresetsFolderFailsEverythingAndSurvives)
{
    const juce::File blocker = presetsFolder();
    ASSERT_TRUE (blocker.deleteRecursively());
    ASSERT_TRUE (blocker.replaceWithText ("not a folder"));
    const auto before = take (*processor);

    EXPECT_FALSE (processor->saveUserPreset ("New"));
    EXPECT_FALSE (processor->renameUserPreset ("Keep", "Moved"));
    EXPECT_FALSE (processor->deleteUserPreset ("Keep"));
    EXPECT_TRUE (take (*processor) == before);

    EXPECT_TRUE (processor->getUserPresetNames().isEmpty());
    EXPECT_FALSE (processor->loadUserPreset ("Keep"));
    EXPECT_EQ (blocker.loadFileAsString(), "not a folder");

    // A new processor tries to create the folder again and leaves the file alone.
    OstrelAudioProcessor another;
    EXPECT_EQ (blocker.loadFileAsString(), "not a folder");
}

TEST_F (HostileFiles, HugeOrBinaryPresetFilesAreRefusedAndKept)
{
    juce::MemoryBlock binary (4096);
    juce::Random random (8);

    for (size_t i = 0; i < binary.getSize(); ++i)
        binary[i] = (char) random.nextInt (256);

    // A real preset followed by 16 MiB of white space: as XML it would even parse, but no preset
    // is anywhere near that size.
    const auto valid = processor->apvts.copyState().createXml()->toString();
    juce::MemoryBlock huge (valid.getNumBytesAsUTF8() + 16 * 1024 * 1024);
    huge.fillWith (' ');
    huge.copyFrom (valid.toRawUTF8(), 0, valid.getNumBytesAsUTF8());

    const std::pair<const char*, const juce::MemoryBlock*> files[] = { { "Binary", &binary }, { "Huge", &huge } };

    for (const auto& [name, data] : files)
    {
        SCOPED_TRACE (name);
        ASSERT_TRUE (presetFile (name).replaceWithData (data->getData(), data->getSize()));
        const auto before = take (*processor);

        EXPECT_FALSE (processor->loadUserPreset (name));
        EXPECT_TRUE (take (*processor) == before);
        EXPECT_FALSE (processor->isSuspended());
        EXPECT_EQ ((size_t) presetFile (name).getSize(), data->getSize());
    }

    EXPECT_EQ (processor->getUserPresetNames(), juce::StringArray ("Binary", "Huge", "Keep"));
}

TEST_F (HostileFiles, NonAsciiNamesWorkThroughTheirReducedFileNamesAndOverwriteNothingOnRename)
{
    const juce::String snowman (juce::CharPointer_UTF8 ("\xe2\x98\x83"));
    const juce::String mixed (juce::CharPointer_UTF8 ("Gr\xc3\xbc\xc3\x9f\xe2\x80\x94"
                                                      "Bass \xf0\x9f\x8e\x9b"));
    const juce::String japanese (juce::CharPointer_UTF8 ("\xe6\x97\xa5\xe6\x9c\xac\xe8\xaa\x9e"));

    // Saving keeps the name as given in the record and writes the reduced file name.
    ASSERT_TRUE (processor->saveUserPreset (mixed));
    EXPECT_TRUE (presetFile ("GrBass ").existsAsFile());
    EXPECT_EQ (processor->getCurrentPresetName(), mixed);
    EXPECT_TRUE (processor->loadUserPreset (mixed));

    // A name of nothing but dropped characters is the file "Preset.xml"; renaming onto a name
    // that reduces to an existing file fails and keeps both files.
    ASSERT_TRUE (processor->saveUserPreset (japanese));
    EXPECT_TRUE (presetFile ("Preset").existsAsFile());
    EXPECT_FALSE (processor->renameUserPreset (mixed, snowman));
    EXPECT_TRUE (presetFile ("GrBass ").existsAsFile());
    EXPECT_TRUE (presetFile ("Preset").existsAsFile());

    EXPECT_TRUE (processor->renameUserPreset (japanese, snowman + " Lead"));
    EXPECT_EQ (processor->getCurrentPresetName(), snowman + " Lead");
    EXPECT_EQ (processor->getUserPresetNames(), juce::StringArray (" Lead", "GrBass ", "Keep"));
}

TEST_F (HostileFiles, AHomeFolderWithNonAsciiCharactersHoldsPresetsAndPreferences)
{
    const auto realHome = juce::File::getSpecialLocation (juce::File::userHomeDirectory);
    const auto home = realHome.getChildFile (juce::CharPointer_UTF8 ("J\xc3\xbcrgen \xe2\x98\x83 \xe6\x97\xa5"));
    ASSERT_TRUE (home.createDirectory());
    setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);

    {
        OstrelAudioProcessor p;
        p.setParamValue (ParamIDs::edge, -42.0f);
        EXPECT_TRUE (p.saveUserPreset ("Here"));
        p.setParamValue (ParamIDs::edge, 0.0f);
        EXPECT_TRUE (p.loadUserPreset ("Here"));
        EXPECT_EQ (p.apvts.getRawParameterValue (ParamIDs::edge)->load(), -42.0f);
        EXPECT_TRUE (p.renameUserPreset ("Here", "There"));
        EXPECT_EQ (p.getUserPresetNames(), juce::StringArray ("There"));

        UserPreferences preferences;
        preferences.saveGraphicsMode ("Medium");
        EXPECT_EQ (preferences.readGraphicsMode(), "medium");
        EXPECT_TRUE (preferences.getPreferencesFile().isAChildOf (home));
    }

    setenv ("HOME", realHome.getFullPathName().toRawUTF8(), 1);
}

//==============================================================================
TEST_F (HostileFiles, PreferencesInAReadOnlyOrBlockedFolderFailSilentlyAndKeepTheFile)
{
    UserPreferences preferences;
    preferences.saveGraphicsMode ("high");

    {
        const ReadOnlyFolder readOnly (appDataFolder());

        if (! readOnly.holds())
            GTEST_SKIP() << "this file system cannot make a folder read-only for this user";

        preferences.saveGraphicsMode ("low");
        EXPECT_EQ (preferences.readGraphicsMode(), "high");
    }

    // A file where the application data folder should be: nothing to read, nothing written, and
    // the file in the way is left as it was.
    removeAppDataFolders();
    ASSERT_TRUE (appDataFolder().getParentDirectory().createDirectory());
    ASSERT_TRUE (appDataFolder().replaceWithText ("in the way"));

    UserPreferences blocked;
    blocked.saveGraphicsMode ("medium");
    EXPECT_EQ (blocked.readGraphicsMode(), "auto");
    EXPECT_EQ (appDataFolder().loadFileAsString(), "in the way");
}

//==============================================================================
TEST_F (HostileFiles, TextThatSendsTheXmlParserPastTheEndOrIntoAnEndlessLoopIsRefused)
{
    // Found by fuzzing: a UTF-8 lead byte or an unterminated hexadecimal character reference at the
    // very end made the framework's parser read beyond the text; a processing instruction followed by text inside an
    // element, or entities that refer to each other, made it loop for ever. As a session blob and as a preset file,
    // each is refused and changes nothing.
    const std::string texts[] = {
        "<PARAMETERS><PARAM id=\"mix\" value=\"5\"/>\xf0",
        "<PARAMETERS><PARAM id=\"mix\" value=\"5\"/> <?x?>text</PARAMETERS>",
        "<!DOCTYPE x [<!ENTITY a \"&b;\"><!ENTITY b \"&a;\">]><PARAMETERS n=\"&a;\"/>",
        "<PARAMETERS><PARAM id=\"mix\"/>&#x2e",
    };

    for (const auto& text : texts)
    {
        SCOPED_TRACE (text);
        const auto before = take (*processor);

        juce::MemoryBlock blob;
        blob.append ("VC2!", 4);
        const auto length = juce::ByteOrder::swapIfBigEndian ((juce::uint32) text.size());
        blob.append (&length, 4);
        blob.append (text.data(), text.size());
        processor->setStateInformation (blob.getData(), (int) blob.getSize());
        EXPECT_TRUE (take (*processor) == before);

        ASSERT_TRUE (presetFile ("Odd").replaceWithData (text.data(), text.size()));
        EXPECT_FALSE (processor->loadUserPreset ("Odd"));
        EXPECT_TRUE (take (*processor) == before);
        EXPECT_EQ ((size_t) presetFile ("Odd").getSize(), text.size());
    }
}
