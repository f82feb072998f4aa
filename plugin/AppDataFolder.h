#pragma once

#include <juce_core/juce_core.h>

/** The per-user folder that holds the presets folder and the preferences file, built from the
    company folder name, the product name and the version (the last component is "version_"
    followed by the version). On macOS it lies in ~/Library/Application Support; elsewhere in the
    platform's own per-user data folder (~/.config on Linux).

    PresetManager and UserPreferences both find their files through this one function, so the
    two can never disagree about the location.
*/
inline juce::File getAppDataFolder (const juce::String& companyFolderName, const juce::String& productName,
                                    const juce::String& versionString)
{
#if JUCE_MAC
    const auto root = juce::File::getSpecialLocation (juce::File::userHomeDirectory)
                          .getChildFile ("Library")
                          .getChildFile ("Application Support");
#else
    const auto root = juce::File::getSpecialLocation (juce::File::userApplicationDataDirectory);
#endif

    return root.getChildFile (companyFolderName).getChildFile (productName).getChildFile ("version_" + versionString);
}
