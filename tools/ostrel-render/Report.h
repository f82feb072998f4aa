#pragma once

#include "Loudness.h"

#include <juce_core/juce_core.h>

/** Everything the report says about one render. */
struct RenderReport
{
    juce::String input, output, processor;
    double sampleRate = 0.0;
    int numChannels = 0;
    juce::int64 lengthSamples = 0;
    int blockSize = 0;
    int latencySamples = 0;
    double ceilingDb = 0.0;
    LoudnessFigures in, out;
    double speed = 0.0; // seconds of audio per second of processing

    double seconds() const { return sampleRate > 0.0 ? (double) lengthSamples / sampleRate : 0.0; }
    double loudnessGainLu() const { return out.integratedLufs - in.integratedLufs; }
};

/** The report for people: a heading, then one line per figure with input beside output. */
juce::String formatText (const RenderReport& report);

/** The same as one JSON object on one line; levels of silence (−∞) are null. */
juce::String formatJson (const RenderReport& report);
