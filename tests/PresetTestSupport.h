#pragma once

#include "AppDataFolder.h"

#include <gtest/gtest.h>
#include <juce_core/juce_core.h>

/** The application data folder the plug-in uses, computed here from the same three strings. */
inline juce::File appDataFolder() { return getAppDataFolder ("LarkfenAudio", "Ostrel", "1.0.0"); }

/** Removes every folder the plug-in creates, so a test starts as on a new machine. The test main
    points HOME at a fresh temporary folder; the check makes sure a real user's presets can never
    be the ones removed. Callers return when it fails.
*/
inline void removeAppDataFolders()
{
    const auto home = juce::File::getSpecialLocation (juce::File::userHomeDirectory);
    ASSERT_TRUE (home.getFileName().startsWith ("ostrel-test-home-")) << home.getFullPathName();

    appDataFolder().getParentDirectory().getParentDirectory().deleteRecursively();
}
