// ostrel-snapshot: renders Ostrel's control panel into a PNG file.
//
//   ostrel-snapshot [options] output.png
//     --size WxH              panel size in pixels (default 1187x712, the panel of the default editor)
//     --bypassed              render with power off
//     --preset NAME           apply a factory preset (it switches power on); repeatable
//     --set ID=VALUE          set a parameter in its own units (dB, percent, choice index); repeatable
//     --meters IL,IR,OL,OR,C  fixed meter levels 0 … 1: input left/right, output left/right, clip amount
//
//   Parameter options apply in the order given, so --set after --preset changes the preset's value.
//
//   ostrel-snapshot --editor [--open menu|save|rename|overwrite|delete|success] output.png
//     the whole editor at the size the display gives it, optionally with the preset menu or a
//     dialog open (needs an X display; see EditorSnapshot.h)

#include "EditorSnapshot.h"
#include "GUI.h"

#include <iostream>
#include <optional>

namespace
{
int usage (const juce::String& problem)
{
    std::cerr << problem << "\n"
              << "usage: ostrel-snapshot [--size WxH] [--bypassed] [--preset NAME]... [--set ID=VALUE]... "
                 "[--meters IL,IR,OL,OR,C] output.png\n";
    return 2;
}

std::optional<juce::Point<int>> parseSize (const juce::String& text)
{
    const auto w = text.upToFirstOccurrenceOf ("x", false, true);
    const auto h = text.fromFirstOccurrenceOf ("x", false, true);

    if (! w.containsOnly ("0123456789") || ! h.containsOnly ("0123456789") || w.isEmpty() || h.isEmpty())
        return std::nullopt;

    const juce::Point<int> size (w.getIntValue(), h.getIntValue());

    if (size.x < 1 || size.y < 1 || size.x > 8192 || size.y > 8192)
        return std::nullopt;

    return size;
}
} // namespace

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juceInitialiser;

    if (argc > 1 && juce::String (argv[1]) == "--editor")
        return renderEditorSnapshot (argc, argv);

    OstrelAudioProcessor processor;
    juce::Point<int> size (1187, 712);
    std::array<float, 5> meters {};
    juce::String outputPath;

    for (int i = 1; i < argc; ++i)
    {
        const juce::String arg (argv[i]);
        const auto hasValue = i + 1 < argc;

        if (arg == "--size" && hasValue)
        {
            const auto parsed = parseSize (argv[++i]);

            if (! parsed)
                return usage ("bad size: " + juce::String (argv[i]));

            size = *parsed;
        }
        else if (arg == "--bypassed")
        {
            processor.setParamValue ("power", 0.0f);
        }
        else if (arg == "--preset" && hasValue)
        {
            const juce::String name (argv[++i]);

            if (! OstrelAudioProcessor::factoryPresetNames.contains (name))
                return usage ("unknown factory preset: " + name
                              + " (one of: " + OstrelAudioProcessor::factoryPresetNames.joinIntoString (", ") + ")");

            processor.applyFactoryPreset (name);
        }
        else if (arg == "--set" && hasValue)
        {
            const juce::String assignment (argv[++i]);
            const auto id = assignment.upToFirstOccurrenceOf ("=", false, false);
            const auto value = assignment.fromFirstOccurrenceOf ("=", false, false);

            if (processor.apvts.getParameter (id) == nullptr || value.isEmpty())
                return usage ("bad parameter assignment: " + assignment);

            processor.setParamValue (id, value.getFloatValue());
        }
        else if (arg == "--meters" && hasValue)
        {
            const auto values = juce::StringArray::fromTokens (argv[++i], ",", "");

            if (values.size() != (int) meters.size())
                return usage ("--meters takes five comma-separated levels");

            for (size_t m = 0; m < meters.size(); ++m)
                meters[m] = juce::jlimit (0.0f, 1.0f, values[(int) m].getFloatValue());
        }
        else if (! arg.startsWith ("--") && outputPath.isEmpty())
        {
            outputPath = arg;
        }
        else
        {
            return usage ("unknown or incomplete option: " + arg);
        }
    }

    if (outputPath.isEmpty())
        return usage ("no output file given");

    processor.inputLevel[0] = meters[0];
    processor.inputLevel[1] = meters[1];
    processor.outputLevel[0] = meters[2];
    processor.outputLevel[1] = meters[3];
    processor.clipAmount = meters[4];

    OstrelGUI panel (processor);
    panel.setSize (size.x, size.y);
    panel.timerCallback(); // one poll, so the selectors show the parameters

    const auto image = panel.createComponentSnapshot (panel.getLocalBounds(), true, 1.0f);
    const juce::File file = juce::File::getCurrentWorkingDirectory().getChildFile (outputPath);
    file.deleteFile();
    juce::FileOutputStream stream (file);
    juce::PNGImageFormat png;

    if (! stream.openedOk() || ! png.writeImageToStream (image, stream))
    {
        std::cerr << "cannot write " << file.getFullPathName() << "\n";
        return 1;
    }

    std::cout << "wrote " << file.getFullPathName() << " (" << size.x << " x " << size.y << ")\n";
    return 0;
}
