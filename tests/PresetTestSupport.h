#pragma once

#include "AppDataFolder.h"

#include <juce_core/juce_core.h>

/** The application data folder the plug-in uses, computed here from the same three strings. */
inline juce::File appDataFolder() { return getAppDataFolder ("LarkfenAudio", "Ostrel", "1.0.0"); }

/** Removes every folder the plug-in creates, so a test starts as on a new machine. HOME points at
    a temporary folder for the whole test run, so this never touches the real one.
*/
inline void removeAppDataFolders() { appDataFolder().getParentDirectory().getParentDirectory().deleteRecursively(); }
