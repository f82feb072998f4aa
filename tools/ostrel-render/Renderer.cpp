#include "Renderer.h"

#include "DemoLoop.h"
#include "Options.h"

InputSource::InputSource (const juce::File& file) : description (file.getFullPathName())
{
    const auto path = file.getFullPathName();

    if (file.isDirectory())
        throw RenderFailure { ExitCode::input, "the input is a folder, not a sound file: " + path };

    if (! file.existsAsFile())
        throw RenderFailure { ExitCode::input, "input file not found: " + path };

    {
        juce::FileInputStream probe (file);

        if (probe.failedToOpen())
            throw RenderFailure { ExitCode::input,
                                  "cannot read the input file " + path + ": " + probe.getStatus().getErrorMessage() };
    }

    formats.registerBasicFormats();
    reader.reset (formats.createReaderFor (file));

    if (reader == nullptr)
        throw RenderFailure { ExitCode::input, "unknown or unsupported audio format: " + path
                                                   + " (WAV, AIFF, FLAC and Ogg Vorbis are read)" };

    numChannels = (int) reader->numChannels;
    sampleRate = reader->sampleRate;
    length = reader->lengthInSamples;

    if (length <= 0)
        throw RenderFailure { ExitCode::input, "the input holds no audio: " + path };

    if (numChannels < 1 || numChannels > 2)
        throw RenderFailure { ExitCode::input, "the input has " + juce::String (numChannels)
                                                   + " channels; mono and stereo files are rendered: " + path };
}

InputSource::InputSource() :
    demo (DemoLoop::render()), numChannels (demo.getNumChannels()), sampleRate (DemoLoop::sampleRate),
    length (demo.getNumSamples()), description ("built-in demo loop")
{
}

InputSource::~InputSource() = default;

void InputSource::read (juce::AudioBuffer<float>& dest, juce::int64 start, int numSamples)
{
    for (int c = 0; c < numChannels; ++c)
        juce::FloatVectorOperations::clear (dest.getWritePointer (c), numSamples);

    const auto available = (int) juce::jlimit ((juce::int64) 0, (juce::int64) numSamples, length - start);

    if (available <= 0)
        return;

    if (reader != nullptr)
        reader->read (dest.getArrayOfWritePointers(), numChannels, start, available);
    else
        for (int c = 0; c < numChannels; ++c)
            dest.copyFrom (c, 0, demo, c, (int) start, available);
}

RenderResult renderThrough (juce::AudioProcessor& processor, InputSource& source, int blockSize, float ceilingGain,
                            const std::function<void()>& afterFirstBlock,
                            const std::function<bool (const float* const*, int)>& write,
                            const std::function<void (double)>& progress)
{
    const int numChannels = source.getNumChannels();
    const auto length = source.getLength();

    juce::AudioBuffer<float> buffer (
        juce::jmax (numChannels, processor.getTotalNumInputChannels(), processor.getTotalNumOutputChannels()),
        blockSize);
    juce::MidiBuffer midi;

    LoudnessMeter inputMeter (numChannels, source.getSampleRate(), ceilingGain);
    LoudnessMeter outputMeter (numChannels, source.getSampleRate(), ceilingGain);

    RenderResult result;
    juce::int64 consumed = 0; // input samples handed to the processor (padding included)
    juce::int64 written = 0;  // output samples passed on
    juce::int64 toDrop = -1;  // leading output samples still to drop; known after the first block
    const float* outputChannels[2] = {};
    double ticks = 0.0;

    while (written < length)
    {
        buffer.clear();
        source.read (buffer, consumed, blockSize);

        if (consumed < length)
            inputMeter.add (buffer.getArrayOfReadPointers(),
                            (int) juce::jmin ((juce::int64) blockSize, length - consumed));

        const auto start = juce::Time::getHighResolutionTicks();
        processor.processBlock (buffer, midi);
        ticks += (double) (juce::Time::getHighResolutionTicks() - start);
        midi.clear();
        consumed += blockSize;

        // The built-in processor reports its latency from its first block.
        if (toDrop < 0)
        {
            if (afterFirstBlock)
                afterFirstBlock();

            toDrop = result.latencySamples = processor.getLatencySamples();
        }

        const int skip = (int) juce::jmin ((juce::int64) blockSize, toDrop);
        toDrop -= skip;
        const int count = (int) juce::jmin ((juce::int64) (blockSize - skip), length - written);

        if (count > 0)
        {
            for (int c = 0; c < numChannels; ++c)
                outputChannels[c] = buffer.getReadPointer (c, skip);

            outputMeter.add (outputChannels, count);

            if (! write (outputChannels, count))
                throw RenderFailure { ExitCode::output, "writing the output failed (is the disk full?)" };

            written += count;
        }

        if (progress)
            progress ((double) juce::jmin (consumed, length) / (double) length);
    }

    result.processingSeconds = juce::Time::highResolutionTicksToSeconds ((juce::int64) ticks);
    result.input = inputMeter.figures();
    result.output = outputMeter.figures();
    return result;
}
