#include "UserPreferences.h"

#include "AppDataFolder.h"

namespace
{
constexpr const char* defaultGraphicsMode = "auto";
}

UserPreferences::UserPreferences()
{
    const auto base = getBaseDirectory();

    if (! base.isDirectory())
        base.createDirectory();
}

juce::File UserPreferences::getBaseDirectory() const
{
    return getAppDataFolder (companyFolderName, productName, versionString);
}

juce::File UserPreferences::getPreferencesFile() const { return getBaseDirectory().getChildFile ("preferences.xml"); }

juce::String UserPreferences::sanitizeGraphicsMode (const juce::String& mode) const
{
    const auto name = mode.trim().toLowerCase();

    if (name == "auto" || name == "low" || name == "medium" || name == "high")
        return name;

    return defaultGraphicsMode;
}

void UserPreferences::saveGraphicsMode (const juce::String& mode)
{
    juce::XmlElement preferences ("Preferences");
    preferences.setAttribute ("graphicsMode", sanitizeGraphicsMode (mode));

    // writeTo writes a temporary file beside the target and moves it into place only once the
    // text is complete. The old file is deliberately not deleted first: a failed write must not
    // lose it. Failures are not reported; the next read falls back to what is on disk.
    preferences.writeTo (getPreferencesFile());
}

juce::String UserPreferences::readGraphicsMode() const
{
    juce::String mode (defaultGraphicsMode);
    const auto file = getPreferencesFile();

    if (file.existsAsFile())
        if (const auto xml = juce::parseXML (file))
            if (xml->getTagName().equalsIgnoreCase ("Preferences"))
                mode = xml->getStringAttribute ("graphicsMode", defaultGraphicsMode);

    return sanitizeGraphicsMode (mode);
}
