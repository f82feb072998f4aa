#pragma once

#include <juce_core/juce_core.h>

/** The per-user preferences file "preferences.xml" in the application data folder. It holds the
    editor's graphics mode ("auto", "low", "medium" or "high") and nothing else; no value is
    kept in memory, every read and write goes to the file.
*/
class UserPreferences
{
public:
    /** Creates the application data folder, with any missing parents; a failure is ignored. */
    UserPreferences();

    /** The application data folder, shared with the presets folder. */
    juce::File getBaseDirectory() const;

    /** The preferences file inside the application data folder. */
    juce::File getPreferencesFile() const;

    /** The name trimmed and lower-cased when it is one of the four graphics modes, else "auto". */
    juce::String sanitizeGraphicsMode (const juce::String& mode) const;

    /** Writes the file with the sanitised mode. The text goes to a temporary file that then
        replaces the old one, so a failed write leaves the previous file as it was.
    */
    void saveGraphicsMode (const juce::String& mode);

    /** The stored graphics mode, sanitised: "auto" for a missing file, a folder in its place,
        unparsable text, a root other than "Preferences" (any letter case) or a missing
        "graphicsMode" attribute.
    */
    juce::String readGraphicsMode() const;

    const juce::String companyFolderName { "LarkfenAudio" };
    const juce::String productName { "Ostrel" };
    const juce::String versionString { "1.0.0" };

private:
    JUCE_DECLARE_NON_COPYABLE_WITH_LEAK_DETECTOR (UserPreferences)
};
