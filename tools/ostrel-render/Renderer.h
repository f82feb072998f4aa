#pragma once

#include "Loudness.h"

#include <juce_audio_formats/juce_audio_formats.h>
#include <juce_audio_processors/juce_audio_processors.h>

#include <functional>
#include <memory>

/** Where the samples come from: a sound file read through JUCE's formats, or the built-in demo. */
class InputSource
{
public:
    /** Opens a file. Throws RenderFailure (ExitCode::input) naming the problem. */
    explicit InputSource (const juce::File& file);

    /** The built-in demo loop. */
    InputSource();

    ~InputSource();

    int getNumChannels() const noexcept { return numChannels; }
    double getSampleRate() const noexcept { return sampleRate; }
    juce::int64 getLength() const noexcept { return length; }
    const juce::String& getDescription() const noexcept { return description; }

    /** Reads numSamples samples from position start into the first numSamples of each channel of
        dest; samples beyond the end read as zeros.
    */
    void read (juce::AudioBuffer<float>& dest, juce::int64 start, int numSamples);

private:
    juce::AudioFormatManager formats;
    std::unique_ptr<juce::AudioFormatReader> reader;
    juce::AudioBuffer<float> demo;
    int numChannels = 0;
    double sampleRate = 0.0;
    juce::int64 length = 0;
    juce::String description;
};

struct RenderResult
{
    LoudnessFigures input, output;
    int latencySamples = 0;
    double processingSeconds = 0.0; // time spent inside processBlock
};

/** Runs the whole input through a prepared processor as a host does: blocks of blockSize samples
    (the last input block padded with silence), then silent blocks until the reported latency is
    flushed. The first latency samples of the output are dropped, so the samples handed to write
    line up with the input one for one and there are exactly as many.

    afterFirstBlock, if set, runs once before the latency is read. write receives the output
    channels and a sample count and returns false when it fails. progress, if set, receives the
    share of the input done.
*/
RenderResult renderThrough (juce::AudioProcessor& processor, InputSource& source, int blockSize, float ceilingGain,
                            const std::function<void()>& afterFirstBlock,
                            const std::function<bool (const float* const*, int)>& write,
                            const std::function<void (double)>& progress);
