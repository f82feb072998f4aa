#include "Hosting.h"
#include "Options.h"
#include "Renderer.h"
#include "Report.h"

#include <juce_audio_formats/juce_audio_formats.h>
#include <juce_events/juce_events.h>

#include <unistd.h>

#include <iostream>

namespace
{
[[noreturn]] void fail (int code, const juce::String& message) { throw RenderFailure { code, message }; }

/** The writable formats, chosen by the output's extension. */
std::unique_ptr<juce::AudioFormat> formatFor (const juce::File& file)
{
    const auto extension = file.getFileExtension().toLowerCase();

    if (extension == ".wav")
        return std::make_unique<juce::WavAudioFormat>();
    if (extension == ".aif" || extension == ".aiff")
        return std::make_unique<juce::AiffAudioFormat>();
    if (extension == ".flac")
        return std::make_unique<juce::FlacAudioFormat>();

    fail (ExitCode::usage, "unknown output format \"" + extension + "\" for " + file.getFullPathName()
                               + " (write .wav, .aif, .aiff or .flac)");
}

/** Checks the output before any work is done, so a bad target fails at once. */
void checkOutputTarget (const Options& options, const juce::File& target)
{
    const auto path = target.getFullPathName();
    const auto folder = target.getParentDirectory();

    if (target.isDirectory())
        fail (ExitCode::output, "the output is a folder: " + path);

    if (folder.existsAsFile())
        fail (ExitCode::output, "the output folder is a file: " + folder.getFullPathName());

    if (! folder.isDirectory())
        fail (ExitCode::output, "the output folder does not exist: " + folder.getFullPathName());

    if (! folder.hasWriteAccess())
        fail (ExitCode::output, "the output folder is not writable: " + folder.getFullPathName());

    if (options.hasInput() && target == options.input)
        fail (ExitCode::output, "the output would overwrite the input: " + path);
}

/** A bar on stderr, redrawn only when it changes. */
class ProgressBar
{
public:
    void show (double fraction)
    {
        const int filled = juce::roundToInt (fraction * width);

        if (filled == lastFilled)
            return;

        lastFilled = filled;
        std::cerr << "\r[" << std::string ((size_t) filled, '#') << std::string ((size_t) (width - filled), ' ') << "] "
                  << juce::roundToInt (fraction * 100.0) << "%" << std::flush;
    }

    void clear() { std::cerr << "\r" << std::string ((size_t) width + 8, ' ') << "\r" << std::flush; }

private:
    static constexpr int width = 40;
    int lastFilled = -1;
};

int run (const Options& options)
{
    if (options.help)
    {
        std::cout << usageText();
        return ExitCode::ok;
    }

    auto source = options.hasInput() ? std::make_unique<InputSource> (options.input) : std::make_unique<InputSource>();
    const auto rate = source->getSampleRate();
    const int numChannels = source->getNumChannels();

    const auto target = options.output != juce::File() ? options.output : options.defaultOutputFile();
    const auto format = formatFor (target);

    if (options.floatOutput && dynamic_cast<juce::WavAudioFormat*> (format.get()) == nullptr)
        fail (ExitCode::usage, "--float writes WAV files only: " + target.getFullPathName());

    checkOutputTarget (options, target);

    auto hosted =
        options.hasPlugin() ? loadBundle (options, numChannels, rate) : createBuiltInProcessor (options, numChannels);
    prepareForRender (*hosted.processor, rate, options.blockSize);

    // Written beside the target and renamed over it only when everything worked.
    juce::TemporaryFile temporary (target, juce::TemporaryFile::useHiddenFile);
    auto stream = temporary.getFile().createOutputStream();

    if (stream == nullptr || stream->failedToOpen())
        fail (ExitCode::output, "the output folder is not writable: " + target.getParentDirectory().getFullPathName());

    const int bits = options.floatOutput ? 32 : 24;
    std::unique_ptr<juce::AudioFormatWriter> writer (
        format->createWriterFor (stream.get(), rate, (unsigned) numChannels, bits, {}, 0));

    if (writer == nullptr)
        fail (ExitCode::output, "cannot write " + juce::String (numChannels) + " channels at " + juce::String (rate)
                                    + " Hz as " + format->getFormatName());

    stream.release(); // the writer owns it now

    ProgressBar bar;
    const bool showProgress = isatty (STDERR_FILENO) != 0 && (double) source->getLength() / rate > 4.0;

    const auto result = renderThrough (
        *hosted.processor, *source, options.blockSize, (float) juce::Decibels::decibelsToGain (hosted.ceilingDb),
        hosted.afterFirstBlock,
        [&] (const float* const* channels, int count)
        { return writer->writeFromFloatArrays (channels, numChannels, count); },
        [&] (double fraction)
        {
            if (showProgress)
                bar.show (fraction);
        });

    if (showProgress)
        bar.clear();

    hosted.processor->releaseResources();

    if (! writer->flush())
        fail (ExitCode::output, "writing the output failed (is the disk full?)");

    writer.reset();

    if (! temporary.overwriteTargetFileWithTemporary())
        fail (ExitCode::output, "cannot replace " + target.getFullPathName());

    RenderReport report;
    report.input = source->getDescription();
    report.output = target.getFullPathName();
    report.processor = hosted.name;
    report.sampleRate = rate;
    report.numChannels = numChannels;
    report.lengthSamples = source->getLength();
    report.blockSize = options.blockSize;
    report.latencySamples = result.latencySamples;
    report.ceilingDb = hosted.ceilingDb;
    report.in = result.input;
    report.out = result.output;
    report.speed = result.processingSeconds > 0.0 ? report.seconds() / result.processingSeconds : 0.0;

    std::cout << (options.json ? formatJson (report) : formatText (report)) << std::flush;
    return ExitCode::ok;
}
} // namespace

int main (int argc, char* argv[])
{
    // Hosted bundles expect a message manager, as they would find in a host.
    juce::ScopedJuceInitialiser_GUI juceInitialiser;

    juce::StringArray args;

    for (int i = 1; i < argc; ++i)
        args.add (juce::String::fromUTF8 (argv[i]));

    try
    {
        return run (parseOptions (args));
    }
    catch (const RenderFailure& failure)
    {
        std::cerr << "ostrel-render: error: " << failure.message << "\n";
        return failure.exitCode;
    }
}
