#include "Hosting.h"

#include "ParameterIDs.h"
#include "PluginProcessor.h"

#include <cmath>

namespace
{
juce::AudioProcessor::BusesLayout layoutFor (int numChannels)
{
    juce::AudioProcessor::BusesLayout layout;
    layout.inputBuses.add (juce::AudioChannelSet::canonicalChannelSet (numChannels));
    layout.outputBuses.add (juce::AudioChannelSet::canonicalChannelSet (numChannels));
    return layout;
}

[[noreturn]] void fail (int code, const juce::String& message) { throw RenderFailure { code, message }; }

juce::String quoted (const juce::String& text) { return "\"" + text + "\""; }

juce::String knownParameterIDs()
{
    juce::StringArray ids;

    for (auto* id : ParamIDs::all)
        ids.add (id);

    return ids.joinIntoString (", ");
}
} // namespace

HostedProcessor createBuiltInProcessor (const Options& options, int numChannels)
{
    auto ostrel = std::make_unique<OstrelAudioProcessor>();

    if (! ostrel->setBusesLayout (layoutFor (numChannels)))
        fail (ExitCode::input, "the processor does not accept " + juce::String (numChannels) + " channels");

    // A preset first, so that --set values adjust it.
    if (options.preset.isNotEmpty())
    {
        if (! OstrelAudioProcessor::factoryPresetNames.contains (options.preset))
            fail (ExitCode::usage, "unknown preset " + quoted (options.preset) + " (factory presets: "
                                       + OstrelAudioProcessor::factoryPresetNames.joinIntoString (", ") + ")");

        ostrel->applyFactoryPreset (options.preset);
    }

    if (options.userPreset.isNotEmpty() && ! ostrel->loadUserPreset (options.userPreset))
    {
        const auto names = ostrel->getUserPresetNames();
        fail (ExitCode::usage, "unknown or unreadable user preset " + quoted (options.userPreset) + " (your presets: "
                                   + (names.isEmpty() ? juce::String ("none") : names.joinIntoString (", ")) + ")");
    }

    for (const auto& setting : options.settings)
    {
        auto* parameter = ostrel->apvts.getParameter (setting.id);

        if (parameter == nullptr)
            fail (ExitCode::usage,
                  "unknown parameter ID " + quoted (setting.id) + " (known IDs: " + knownParameterIDs() + ")");

        const auto& range = ostrel->apvts.getParameterRange (setting.id);

        if (setting.value < range.start || setting.value > range.end)
            fail (ExitCode::usage, "the value " + setting.text + " of " + setting.id + " is out of range ("
                                       + juce::String (range.start) + " to " + juce::String (range.end) + ")");

        ostrel->setParamValue (setting.id, (float) setting.value);
    }

    // The hard clip sits before the master gain, so the output's ceiling is the sum of both.
    const auto rawValue = [&] (const char* id) { return (double) ostrel->apvts.getRawParameterValue (id)->load(); };
    const double ceilingDb = rawValue (ParamIDs::ceiling) + rawValue (ParamIDs::master);

    auto name = juce::String ("Ostrel (built-in)");

    if (options.preset.isNotEmpty())
        name << ", preset " << quoted (options.preset);
    else if (options.userPreset.isNotEmpty())
        name << ", user preset " << quoted (options.userPreset);

    return { std::move (ostrel), name, ceilingDb, {} };
}

namespace
{
/** Sets a hosted parameter from a value in the units its host text uses; a discrete parameter
    also takes its step index, as the built-in processor's choices do.
*/
void setHostedParameter (juce::AudioProcessorParameter& parameter, const ParameterSetting& setting)
{
    const int steps = parameter.getNumSteps();
    const bool isIndex =
        setting.value == std::floor (setting.value) && setting.value >= 0.0 && setting.value <= steps - 1;

    if ((parameter.isDiscrete() || parameter.isBoolean()) && steps >= 2 && isIndex)
        parameter.setValueNotifyingHost ((float) (setting.value / (steps - 1)));
    else
        parameter.setValueNotifyingHost (parameter.getValueForText (setting.text));
}
} // namespace

HostedProcessor loadBundle (const Options& options, int numChannels, double sampleRate)
{
    const auto path = options.plugin.getFullPathName();

    if (! options.plugin.exists())
        fail (ExitCode::plugin, "plug-in bundle not found: " + path);

    juce::VST3PluginFormat format;
    juce::OwnedArray<juce::PluginDescription> types;
    format.findAllTypesForFile (types, path);

    if (types.isEmpty())
        fail (ExitCode::plugin, "no VST3 plug-in found in " + path);

    juce::String error;
    auto instance = format.createInstanceFromDescription (*types[0], sampleRate, options.blockSize, error);

    if (instance == nullptr)
        fail (ExitCode::plugin, "cannot load " + path + ": " + (error.isNotEmpty() ? error : "unknown error"));

    if (! instance->setBusesLayout (layoutFor (numChannels)))
        fail (ExitCode::plugin,
              instance->getName() + " does not accept " + juce::String (numChannels) + " channels in and out");

    if (options.preset.isNotEmpty())
    {
        juce::StringArray programs;

        for (int i = 0; i < instance->getNumPrograms(); ++i)
            programs.add (instance->getProgramName (i));

        const int index = programs.indexOf (options.preset);

        if (index < 0)
            fail (ExitCode::usage, "unknown preset " + quoted (options.preset) + " for " + instance->getName()
                                       + " (its programs: " + programs.joinIntoString (", ") + ")");

        instance->setCurrentProgram (index);
    }

    for (const auto& setting : options.settings)
    {
        juce::AudioProcessorParameter* match = nullptr;
        juce::StringArray names;

        for (auto* parameter : instance->getParameters())
        {
            const auto name = parameter->getName (256);
            names.add (name);

            if (match == nullptr && name.equalsIgnoreCase (setting.id))
                match = parameter;
        }

        if (match == nullptr)
            fail (ExitCode::usage, "unknown parameter " + quoted (setting.id) + " for " + instance->getName()
                                       + " (its parameters: " + names.joinIntoString (", ") + ")");

        setHostedParameter (*match, setting);
    }

    const auto name = instance->getName() + " (" + path + ")";

    // The bundle's latency report travels through asynchronous messages on both sides of the
    // VST3 interface; a host's message thread would deliver them while audio runs.
    const auto deliverMessages = [] { juce::MessageManager::getInstance()->runDispatchLoopUntil (100); };

    return { std::move (instance), name, 0.0, deliverMessages };
}

void prepareForRender (juce::AudioProcessor& processor, double sampleRate, int blockSize)
{
    processor.setNonRealtime (true);
    processor.setRateAndBufferSizeDetails (sampleRate, blockSize);
    processor.prepareToPlay (sampleRate, blockSize);
}
