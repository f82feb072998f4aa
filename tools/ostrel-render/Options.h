#pragma once

#include <juce_core/juce_core.h>

#include <vector>

/** The exit codes of ostrel-render, one per kind of failure. */
namespace ExitCode
{
inline constexpr int ok = 0;
inline constexpr int processing = 1; // the processor or the writer failed while rendering
inline constexpr int usage = 2;      // a bad option, preset, parameter or value
inline constexpr int input = 3;      // a missing, unreadable or unsupported input
inline constexpr int output = 4;     // an output that cannot be written
inline constexpr int plugin = 5;     // a bundle that cannot be loaded or run
} // namespace ExitCode

/** A failure that ends the run: the message for stderr and the exit code. */
struct RenderFailure
{
    int exitCode;
    juce::String message;
};

/** One --set ID=VALUE: the value as given and as a number. */
struct ParameterSetting
{
    juce::String id;
    juce::String text;
    double value = 0.0;
};

/** The command line of ostrel-render. */
struct Options
{
    juce::File input;  // none: render the built-in demo
    juce::File output; // none: the default name (see defaultOutputFile)
    juce::String preset, userPreset;
    std::vector<ParameterSetting> settings;
    int blockSize = 512;
    juce::File plugin;
    bool json = false;
    bool floatOutput = false;
    bool help = false;

    bool hasInput() const { return input != juce::File(); }
    bool hasPlugin() const { return plugin != juce::File(); }

    /** Where the output goes when -o is not given: "NAME-ostrel.wav" beside the input, or
        "ostrel-demo.wav" in the current folder for the demo.
    */
    juce::File defaultOutputFile() const;
};

/** Parses the arguments (without the program name). Throws RenderFailure with ExitCode::usage. */
Options parseOptions (const juce::StringArray& args);

/** Parses a whole string as a finite number; false for anything else ("", "1x", "nan"). */
bool parseNumber (const juce::String& text, double& result);

juce::String usageText();
