#pragma once

#include <juce_core/juce_core.h>

#include <cmath>
#include <optional>

/** Text of the knobs' value readouts, and reading typed values back. */
namespace ValueReadout
{
/** A decibel knob's value with one decimal place ("+3.5 dB", "0.0 dB", "-12.0 dB"), or a percent
    knob's value as a whole number, halves away from zero ("50%"). Values within 0.0005 of zero
    read as zero, so rounding noise never shows as "-0.0 dB".
*/
inline juce::String format (double v, bool decibels)
{
    if (std::abs (v) < 0.0005)
        v = 0.0;

    if (decibels)
        return juce::String (v > 0.0 ? "+" : (v < 0.0 ? "-" : "")) + juce::String (std::abs (v), 1) + " dB";

    if (std::abs (v) < 0.5)
        v = 0.0;

    return juce::String ((long long) std::llround (v)) + "%";
}

/** Reads a typed value: everything from "dB" or "%" on is dropped, blanks and tabs are removed,
    and the number at the start is read (no number reads as 0). Nothing left means no value.
*/
inline std::optional<double> parse (const juce::String& text)
{
    const auto cleaned = text.upToFirstOccurrenceOf ("dB", false, false)
                             .upToFirstOccurrenceOf ("%", false, false)
                             .removeCharacters (" \t");

    if (cleaned.isEmpty())
        return std::nullopt;

    return cleaned.getDoubleValue();
}
} // namespace ValueReadout
