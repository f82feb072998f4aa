#pragma once

#include <juce_core/juce_core.h>

/** Knows where user presets live and which file belongs to a preset name. It holds no list and
    no state: the processor performs the file operations and lists the folder anew each time.
*/
class PresetManager
{
public:
    /** Creates the application data folder and the presets folder when they are missing;
        failures are ignored (a later save tries again).
    */
    PresetManager();

    /** The application data folder, shared with the preferences file. */
    juce::File getBaseDirectory() const;

    /** The folder the user preset files lie in (not searched recursively). */
    juce::File getPresetsDirectory() const;

    /** The file for a preset name: the name trimmed, reduced to allowedPresetNameCharacters,
        "Preset" when nothing is left, plus ".xml". Does not touch the disk.
    */
    juce::File getPresetFile (const juce::String& presetName) const;

    /** The characters a preset file name may contain; every other character is dropped. */
    static constexpr const char* allowedPresetNameCharacters =
        "abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ0123456789 _-";

    const juce::String companyFolderName { "LarkfenAudio" };
    const juce::String productName { "Ostrel" };
    const juce::String versionString { "1.0.0" };

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (PresetManager)
};
