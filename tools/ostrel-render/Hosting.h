#pragma once

#include "Options.h"

#include <juce_audio_processors/juce_audio_processors.h>

#include <functional>
#include <memory>

/** A processor set up for rendering, with the level the report counts as the ceiling. */
struct HostedProcessor
{
    std::unique_ptr<juce::AudioProcessor> processor;
    juce::String name;
    double ceilingDb = 0.0; // dBFS

    /** Run after the first block, before the latency is read. A bundle reports a latency change
        through the message thread, as it would to a host.
    */
    std::function<void()> afterFirstBlock;
};

/** Creates the built-in processor for the given channel count and applies the preset and the
    --set values. Throws RenderFailure for an unknown preset, parameter or out-of-range value.
*/
HostedProcessor createBuiltInProcessor (const Options& options, int numChannels);

/** Loads the VST3 bundle of --plugin as a host loads it and applies the preset (one of its
    programs) and the --set values (its parameters addressed by name). Throws RenderFailure.
*/
HostedProcessor loadBundle (const Options& options, int numChannels, double sampleRate);

/** Prepares a processor the way a host does before an offline render. */
void prepareForRender (juce::AudioProcessor& processor, double sampleRate, int blockSize);
