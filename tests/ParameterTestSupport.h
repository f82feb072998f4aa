#pragma once

#include "ParameterIDs.h"
#include "PluginProcessor.h"

#include <map>

/** Every parameter's raw value (in its own units), by ID. */
using ParameterValues = std::map<juce::String, float>;

inline ParameterValues parameterValues (OstrelAudioProcessor& p)
{
    ParameterValues values;

    for (auto* id : ParamIDs::all)
        values[id] = p.apvts.getRawParameterValue (id)->load();

    return values;
}

inline float valueOf (OstrelAudioProcessor& p, const char* id) { return p.apvts.getRawParameterValue (id)->load(); }
