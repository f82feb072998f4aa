#include "Options.h"

#include <cerrno>
#include <cmath>
#include <cstdlib>

namespace
{
constexpr int maxBlockSize = 1 << 16;

[[noreturn]] void usageError (const juce::String& message) { throw RenderFailure { ExitCode::usage, message }; }
} // namespace

bool parseNumber (const juce::String& text, double& result)
{
    const auto trimmed = text.trim().toStdString();

    if (trimmed.empty())
        return false;

    errno = 0;
    char* end = nullptr;
    const double value = std::strtod (trimmed.c_str(), &end);

    if (end != trimmed.c_str() + trimmed.size() || errno == ERANGE || ! std::isfinite (value))
        return false;

    result = value;
    return true;
}

juce::File Options::defaultOutputFile() const
{
    if (hasInput())
        return input.getSiblingFile (input.getFileNameWithoutExtension() + "-ostrel.wav");

    return juce::File::getCurrentWorkingDirectory().getChildFile ("ostrel-demo.wav");
}

Options parseOptions (const juce::StringArray& args)
{
    Options options;

    for (int i = 0; i < args.size(); ++i)
    {
        const auto& arg = args[i];

        const auto value = [&]() -> juce::String
        {
            if (i + 1 >= args.size())
                usageError ("option " + arg + " needs a value");

            return args[++i];
        };

        const auto file = [&] (const juce::String& path)
        { return juce::File::getCurrentWorkingDirectory().getChildFile (path); };

        if (arg == "-h" || arg == "--help")
            options.help = true;
        else if (arg == "-o" || arg == "--output")
            options.output = file (value());
        else if (arg == "--preset")
            options.preset = value();
        else if (arg == "--user-preset")
            options.userPreset = value();
        else if (arg == "--set")
        {
            const auto setting = value();
            const int equals = setting.indexOfChar ('=');

            if (equals <= 0)
                usageError ("--set expects ID=VALUE, got \"" + setting + "\"");

            ParameterSetting parsed { setting.substring (0, equals).trim(), setting.substring (equals + 1).trim() };

            if (! parseNumber (parsed.text, parsed.value))
                usageError ("the value of " + parsed.id + " is not a number: \"" + parsed.text + "\"");

            options.settings.push_back (parsed);
        }
        else if (arg == "--block")
        {
            const auto text = value();
            double blockSize = 0.0;

            if (! parseNumber (text, blockSize) || blockSize != std::floor (blockSize) || blockSize < 1.0
                || blockSize > maxBlockSize)
                usageError ("--block expects a whole number of samples from 1 to " + juce::String (maxBlockSize)
                            + ", got \"" + text + "\"");

            options.blockSize = (int) blockSize;
        }
        else if (arg == "--plugin")
            options.plugin = file (value());
        else if (arg == "--json")
            options.json = true;
        else if (arg == "--float")
            options.floatOutput = true;
        else if (arg.startsWith ("-") && arg != "-")
            usageError ("unknown option " + arg);
        else if (options.hasInput())
            usageError ("only one input file can be given (got " + options.input.getFullPathName() + " and " + arg
                        + ")");
        else
            options.input = file (arg);
    }

    if (options.preset.isNotEmpty() && options.userPreset.isNotEmpty())
        usageError ("give either --preset or --user-preset, not both");

    if (options.hasPlugin() && options.userPreset.isNotEmpty())
        usageError ("--user-preset applies to the built-in processor only; a bundle's own presets are chosen "
                    "with --preset");

    return options;
}

juce::String usageText()
{
    return "Usage: ostrel-render [INPUT] [-o OUTPUT] [--preset NAME | --user-preset NAME] [--set ID=VALUE ...]\n"
           "                     [--block N] [--plugin BUNDLE] [--float] [--json]\n"
           "\n"
           "Runs INPUT (WAV, AIFF, FLAC or Ogg Vorbis) through Ostrel as a host would and reports the loudness\n"
           "of the input beside the output. Without INPUT it renders a built-in drum-and-bass demo loop.\n"
           "\n"
           "  -o, --output FILE    where to write (.wav, .aif/.aiff or .flac; default NAME-ostrel.wav beside\n"
           "                       the input, or ostrel-demo.wav for the demo)\n"
           "  --preset NAME        apply a factory preset (with --plugin: one of the bundle's programs)\n"
           "  --user-preset NAME   load one of your saved presets\n"
           "  --set ID=VALUE       set a parameter in its own units (dB, percent, choice index); with --plugin\n"
           "                       the bundle's parameters are addressed by name\n"
           "  --block N            process in blocks of N samples (default 512)\n"
           "  --plugin BUNDLE      render through a VST3 bundle instead of the built-in processor\n"
           "  --float              write 32-bit float WAV (default 24-bit)\n"
           "  --json               print the report as one JSON object\n"
           "  -h, --help           show this text\n";
}
