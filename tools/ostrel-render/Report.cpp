#include "Report.h"

#include <cmath>

namespace
{
juce::String number (double value, int decimals, bool withSign = false)
{
    if (std::isnan (value))
        return "n/a";

    if (std::isinf (value))
        return value < 0.0 ? "-inf" : "+inf";

    const auto text = juce::String (value, decimals);
    return withSign && value >= 0.0 ? "+" + text : text;
}

juce::String row (const juce::String& label, const juce::String& input, const juce::String& output)
{
    return "  " + label.paddedRight (' ', 22) + input.paddedLeft (' ', 9) + output.paddedLeft (' ', 11) + "\n";
}

juce::var jsonNumber (double value) { return std::isfinite (value) ? juce::var (value) : juce::var(); }

juce::var jsonFigures (const LoudnessFigures& f)
{
    auto* object = new juce::DynamicObject();
    object->setProperty ("samplePeakDbfs", jsonNumber (f.samplePeakDb));
    object->setProperty ("truePeakDbtp", jsonNumber (f.truePeakDb));
    object->setProperty ("integratedLufs", jsonNumber (f.integratedLufs));
    object->setProperty ("loudnessRangeLu", jsonNumber (f.loudnessRangeLu));
    object->setProperty ("atCeilingShare", jsonNumber (f.atCeilingShare));
    return juce::var (object);
}
} // namespace

juce::String formatText (const RenderReport& r)
{
    juce::String text;
    text << "ostrel-render: " << r.input << " -> " << r.output << "\n";
    text << "  " << r.processor << ", " << number (r.sampleRate, 0) << " Hz, " << r.numChannels
         << (r.numChannels == 1 ? " channel, " : " channels, ") << number (r.seconds(), 2) << " s, blocks of "
         << r.blockSize << ", latency " << r.latencySamples << " samples, ceiling " << number (r.ceilingDb, 2)
         << " dBFS\n";
    text << row ("", "input", "output");
    text << row ("Sample peak (dBFS)", number (r.in.samplePeakDb, 2), number (r.out.samplePeakDb, 2));
    text << row ("True peak (dBTP)", number (r.in.truePeakDb, 2), number (r.out.truePeakDb, 2));
    text << row ("Integrated (LUFS)", number (r.in.integratedLufs, 2), number (r.out.integratedLufs, 2));
    text << row ("Loudness range (LU)", number (r.in.loudnessRangeLu, 2), number (r.out.loudnessRangeLu, 2));
    text << row ("Loudness gain (LU)", "", number (r.loudnessGainLu(), 2, true));
    text << row ("At ceiling (%)", number (100.0 * r.in.atCeilingShare, 2), number (100.0 * r.out.atCeilingShare, 2));
    text << row ("Speed (x real time)", "", number (r.speed, 1));
    return text;
}

juce::String formatJson (const RenderReport& r)
{
    auto* object = new juce::DynamicObject();
    object->setProperty ("inputFile", r.input);
    object->setProperty ("outputFile", r.output);
    object->setProperty ("processor", r.processor);
    object->setProperty ("sampleRate", r.sampleRate);
    object->setProperty ("channels", r.numChannels);
    object->setProperty ("seconds", r.seconds());
    object->setProperty ("blockSize", r.blockSize);
    object->setProperty ("latencySamples", r.latencySamples);
    object->setProperty ("ceilingDbfs", jsonNumber (r.ceilingDb));
    object->setProperty ("input", jsonFigures (r.in));
    object->setProperty ("output", jsonFigures (r.out));
    object->setProperty ("loudnessGainLu", jsonNumber (r.loudnessGainLu()));
    object->setProperty ("speedRealTime", jsonNumber (r.speed));
    return juce::JSON::toString (juce::var (object), true) + "\n";
}
