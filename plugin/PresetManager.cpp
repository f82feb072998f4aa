#include "PresetManager.h"

#include "AppDataFolder.h"

PresetManager::PresetManager()
{
    const auto base = getBaseDirectory();

    if (! base.isDirectory())
        base.createDirectory();

    const auto presets = getPresetsDirectory();

    if (! presets.isDirectory())
        presets.createDirectory();
}

juce::File PresetManager::getBaseDirectory() const
{
    return getAppDataFolder (companyFolderName, productName, versionString);
}

juce::File PresetManager::getPresetsDirectory() const { return getBaseDirectory().getChildFile ("Presets"); }

juce::File PresetManager::getPresetFile (const juce::String& presetName) const
{
    // Trimming comes first, so a space beside a dropped character at either end stays.
    auto fileName = presetName.trim();

    if (fileName.isNotEmpty())
        fileName = fileName.retainCharacters (allowedPresetNameCharacters);

    if (fileName.isEmpty())
        fileName = "Preset";

    return getPresetsDirectory().getChildFile (fileName + ".xml");
}
