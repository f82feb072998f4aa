// Runs the ostrel-render binary as a user would and checks what it writes and reports.
#include "PluginProcessor.h"

#include <juce_audio_formats/juce_audio_formats.h>

#include <gtest/gtest.h>

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <cmath>
#include <vector>

extern char** environ;

namespace
{
struct RunResult
{
    int exitCode = -1;
    juce::String out, err;
};

/** Runs ostrel-render with the given arguments, stdout and stderr captured apart. */
RunResult runRenderer (const juce::File& folder, const juce::StringArray& args)
{
    const auto outFile = folder.getChildFile ("stdout.txt"), errFile = folder.getChildFile ("stderr.txt");

    std::vector<std::string> argv { OSTREL_RENDER_PATH };
    for (const auto& a : args)
        argv.push_back (a.toStdString());

    std::vector<char*> pointers;
    for (auto& a : argv)
        pointers.push_back (a.data());
    pointers.push_back (nullptr);

    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init (&actions);
    posix_spawn_file_actions_addopen (&actions, 1, outFile.getFullPathName().toRawUTF8(), O_WRONLY | O_CREAT | O_TRUNC,
                                      0644);
    posix_spawn_file_actions_addopen (&actions, 2, errFile.getFullPathName().toRawUTF8(), O_WRONLY | O_CREAT | O_TRUNC,
                                      0644);

    RunResult result;
    pid_t pid = 0;

    if (posix_spawn (&pid, argv[0].c_str(), &actions, nullptr, pointers.data(), environ) == 0)
    {
        int status = 0;
        waitpid (pid, &status, 0);
        result.exitCode = WIFEXITED (status) ? WEXITSTATUS (status) : -1;
    }

    posix_spawn_file_actions_destroy (&actions);
    result.out = outFile.loadFileAsString();
    result.err = errFile.loadFileAsString();
    outFile.deleteFile();
    errFile.deleteFile();
    return result;
}

void writeFloatWav (const juce::File& file, const juce::AudioBuffer<float>& audio, double sampleRate)
{
    file.deleteFile();
    auto stream = file.createOutputStream();
    ASSERT_NE (stream, nullptr);
    juce::WavAudioFormat wav;
    std::unique_ptr<juce::AudioFormatWriter> writer (
        wav.createWriterFor (stream.get(), sampleRate, (unsigned) audio.getNumChannels(), 32, {}, 0));
    ASSERT_NE (writer, nullptr);
    stream.release();
    ASSERT_TRUE (writer->writeFromAudioSampleBuffer (audio, 0, audio.getNumSamples()));
}

juce::AudioBuffer<float> readAudio (const juce::File& file, double& sampleRate)
{
    juce::AudioFormatManager formats;
    formats.registerBasicFormats();
    std::unique_ptr<juce::AudioFormatReader> reader (formats.createReaderFor (file));

    if (reader == nullptr)
        return {};

    juce::AudioBuffer<float> audio ((int) reader->numChannels, (int) reader->lengthInSamples);
    reader->read (&audio, 0, audio.getNumSamples(), 0, true, true);
    sampleRate = reader->sampleRate;
    return audio;
}

/** Noise over a low sine, loud enough for the clipper to work. */
juce::AudioBuffer<float> testSignal (int numChannels, int numSamples, double sampleRate)
{
    juce::AudioBuffer<float> audio (numChannels, numSamples);
    juce::Random random (7);

    for (int c = 0; c < numChannels; ++c)
        for (int i = 0; i < numSamples; ++i)
            audio.setSample (c, i,
                             0.7f * (float) std::sin (2.0 * juce::MathConstants<double>::pi * 90.0 * i / sampleRate)
                                 + 0.3f * (random.nextFloat() * 2.0f - 1.0f));

    return audio;
}

class RenderTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        folder = juce::File::getSpecialLocation (juce::File::tempDirectory)
                     .getNonexistentChildFile ("ostrel-render-test", "");
        ASSERT_TRUE (folder.createDirectory());
    }

    void TearDown() override { folder.deleteRecursively(); }

    juce::File folder;
};
} // namespace

TEST_F (RenderTest, OutputEqualsProcessBlockShiftedByTheLatency)
{
    struct Case
    {
        int channels;
        int oversampling;
        int mode;
        int block;
        const char* preset = "";
        const char* userPreset = "";
    };

    // A user preset in the test's home folder, which the renderer shares.
    {
        OstrelAudioProcessor author;
        author.setParamValue ("mode", 0.0f);
        author.setParamValue ("shape", 75.0f);
        author.setParamValue ("mix", 60.0f);
        ASSERT_TRUE (author.saveUserPreset ("Render Test"));
    }

    const Case cases[] = { { 2, 2, 2, 512 },
                           { 2, 0, 0, 256 },
                           { 1, 3, 1, 100 },
                           { 2, 1, 2, 64 },
                           { 2, 2, 2, 512, "Punchy Drums" },
                           { 1, 1, 0, 128, "", "Render Test" } };
    const double rate = 44100.0;

    for (const auto& c : cases)
    {
        SCOPED_TRACE ("channels " + std::to_string (c.channels) + ", oversampling " + std::to_string (c.oversampling)
                      + ", block " + std::to_string (c.block) + ", preset " + c.preset + c.userPreset);

        const auto input = testSignal (c.channels, 9001, rate);
        const auto inFile = folder.getChildFile ("in.wav"), outFile = folder.getChildFile ("out.wav");
        writeFloatWav (inFile, input, rate);

        juce::StringArray args {
            inFile.getFullPathName(), "-o", outFile.getFullPathName(), "--float", "--json", "--block",
            juce::String (c.block)
        };

        if (*c.preset != 0)
            args.addArray ({ "--preset", c.preset });
        else if (*c.userPreset != 0)
            args.addArray ({ "--user-preset", c.userPreset });

        args.addArray ({ "--set", "oversampling=" + juce::String (c.oversampling), "--set",
                         "mode=" + juce::String (c.mode), "--set", "input=6" });

        const auto run = runRenderer (folder, args);
        ASSERT_EQ (run.exitCode, 0) << run.err;

        // The same input through processBlock, in the same blocks, followed by silence.
        OstrelAudioProcessor processor;
        const auto set = c.channels == 1 ? juce::AudioChannelSet::mono() : juce::AudioChannelSet::stereo();
        juce::AudioProcessor::BusesLayout layout;
        layout.inputBuses.add (set);
        layout.outputBuses.add (set);
        ASSERT_TRUE (processor.setBusesLayout (layout));

        if (*c.preset != 0)
        {
            processor.applyFactoryPreset (c.preset);
        }
        else if (*c.userPreset != 0)
        {
            ASSERT_TRUE (processor.loadUserPreset (c.userPreset));
        }

        processor.setParamValue ("oversampling", (float) c.oversampling);
        processor.setParamValue ("mode", (float) c.mode);
        processor.setParamValue ("input", 6.0f);
        processor.setRateAndBufferSizeDetails (rate, c.block);
        processor.prepareToPlay (rate, c.block);

        const int blocks = (input.getNumSamples() + 200) / c.block + 1;
        juce::AudioBuffer<float> expected (c.channels, blocks * c.block);
        expected.clear();
        for (int ch = 0; ch < c.channels; ++ch)
            expected.copyFrom (ch, 0, input, ch, 0, input.getNumSamples());

        juce::MidiBuffer midi;
        for (int b = 0; b < blocks; ++b)
        {
            juce::AudioBuffer<float> view (expected.getArrayOfWritePointers(), c.channels, b * c.block, c.block);
            processor.processBlock (view, midi);
        }

        const int latency = processor.getLatencySamples();
        EXPECT_EQ (latency > 0, c.oversampling > 0);
        EXPECT_EQ ((int) juce::JSON::parse (run.out)["latencySamples"], latency);

        double outRate = 0.0;
        const auto output = readAudio (outFile, outRate);
        EXPECT_EQ (outRate, rate);
        ASSERT_EQ (output.getNumChannels(), c.channels);
        ASSERT_EQ (output.getNumSamples(), input.getNumSamples());

        int mismatches = 0;
        for (int ch = 0; ch < c.channels; ++ch)
            for (int i = 0; i < output.getNumSamples(); ++i)
                mismatches += output.getSample (ch, i) != expected.getSample (ch, i + latency) ? 1 : 0;

        EXPECT_EQ (mismatches, 0);
    }
}

TEST_F (RenderTest, RenderingThroughTheBuiltBundleEqualsTheBuiltInProcessor)
{
    const double rate = 48000.0;
    const auto inFile = folder.getChildFile ("in.wav");
    writeFloatWav (inFile, testSignal (2, 20000, rate), rate);

    const auto render = [&] (const juce::String& name, const juce::StringArray& extra)
    {
        const auto outFile = folder.getChildFile (name);
        auto args = juce::StringArray {
            inFile.getFullPathName(), "-o", outFile.getFullPathName(), "--float", "--json", "--block", "300"
        };
        args.addArray (extra);
        const auto run = runRenderer (folder, args);
        EXPECT_EQ (run.exitCode, 0) << run.err;
        juce::MemoryBlock bytes;
        outFile.loadFileAsData (bytes);
        return std::make_pair (juce::JSON::parse (run.out), bytes);
    };

    const auto builtIn = render ("built-in.wav", { "--set", "oversampling=3", "--set", "shape=80" });
    const auto bundle =
        render ("bundle.wav", { "--plugin", OSTREL_RENDER_BUNDLE, "--set", "Oversampling=3", "--set", "Shape=80" });

    EXPECT_GT ((int) builtIn.first["latencySamples"], 0);
    EXPECT_EQ ((int) bundle.first["latencySamples"], (int) builtIn.first["latencySamples"]);
    EXPECT_GT (builtIn.second.getSize(), (size_t) 20000);
    EXPECT_TRUE (bundle.second == builtIn.second) << "the bundle's output differs from the built-in processor's";
}

TEST_F (RenderTest, BadInputGivesItsMessageAndExitCodeAndLeavesNoFile)
{
    const auto good = folder.getChildFile ("good.wav");
    writeFloatWav (good, testSignal (2, 4800, 48000.0), 48000.0);
    folder.getChildFile ("notes.wav").replaceWithText ("these are not samples");
    folder.getChildFile ("a folder.wav").createDirectory();
    const auto aFile = folder.getChildFile ("plain-file");
    aFile.replaceWithText ("x");

    const auto out = folder.getChildFile ("out.wav").getFullPathName();
    const auto goodPath = good.getFullPathName();

    struct Case
    {
        const char* name;
        juce::StringArray args;
        int exitCode;
        const char* message;
    };

    const Case cases[] = {
        { "missing input",
          { folder.getChildFile ("missing.wav").getFullPathName(), "-o", out },
          3,
          "input file not found" },
        { "input is a folder",
          { folder.getChildFile ("a folder.wav").getFullPathName(), "-o", out },
          3,
          "is a folder" },
        { "unknown format",
          { folder.getChildFile ("notes.wav").getFullPathName(), "-o", out },
          3,
          "unknown or unsupported audio format" },
        { "unknown preset", { goodPath, "-o", out, "--preset", "Punchy Drum" }, 2, "unknown preset" },
        { "unknown user preset",
          { goodPath, "-o", out, "--user-preset", "Nobody's" },
          2,
          "unknown or unreadable user preset" },
        { "unknown parameter ID", { goodPath, "-o", out, "--set", "loudness=3" }, 2, "unknown parameter ID" },
        { "value not a number", { goodPath, "-o", out, "--set", "input=loud" }, 2, "is not a number" },
        { "value out of range", { goodPath, "-o", out, "--set", "ceiling=3" }, 2, "out of range" },
        { "bad block size", { goodPath, "-o", out, "--block", "0" }, 2, "--block expects" },
        { "unknown option", { goodPath, "-o", out, "--loud" }, 2, "unknown option" },
        { "unknown output format",
          { goodPath, "-o", folder.getChildFile ("out.mp3").getFullPathName() },
          2,
          "unknown output format" },
        { "missing output folder",
          { goodPath, "-o", folder.getChildFile ("nowhere/out.wav").getFullPathName() },
          4,
          "output folder does not exist" },
        { "output folder is a file",
          { goodPath, "-o", aFile.getChildFile ("out.wav").getFullPathName() },
          4,
          "output folder is a file" },
        { "output folder not writable",
          { goodPath, "-o", "/proc/ostrel-out.wav" },
          4,
          "output folder is not writable" },
        { "missing plug-in bundle",
          { goodPath, "-o", out, "--plugin", folder.getChildFile ("No.vst3").getFullPathName() },
          5,
          "plug-in bundle not found" },
    };

    const auto listing = [this]
    {
        juce::StringArray names;
        for (const auto& f : folder.findChildFiles (juce::File::findFilesAndDirectories | juce::File::ignoreHiddenFiles,
                                                    true, "*", juce::File::FollowSymlinks::no))
            names.add (f.getRelativePathFrom (folder));
        for (const auto& f :
             folder.findChildFiles (juce::File::findFilesAndDirectories, true, ".*", juce::File::FollowSymlinks::no))
            names.add (f.getRelativePathFrom (folder));
        names.sort (false);
        return names.joinIntoString (" | ");
    };
    const auto before = listing();

    for (const auto& c : cases)
    {
        SCOPED_TRACE (c.name);
        const auto run = runRenderer (folder, c.args);
        EXPECT_EQ (run.exitCode, c.exitCode);
        EXPECT_TRUE (run.err.contains (c.message)) << run.err;
        EXPECT_TRUE (run.out.isEmpty()) << run.out;
        EXPECT_EQ (listing(), before);
        EXPECT_FALSE (juce::File ("/proc/ostrel-out.wav").exists());
    }

    // A failed run leaves an existing output as it was.
    const auto existing = folder.getChildFile ("keep.wav");
    existing.replaceWithText ("keep me");
    const auto run = runRenderer (folder, { goodPath, "-o", existing.getFullPathName(), "--set", "input=loud" });
    EXPECT_EQ (run.exitCode, 2);
    EXPECT_EQ (existing.loadFileAsString(), "keep me");
}

TEST_F (RenderTest, ReportMeasuresAOneKilohertzSineAtMinusTwentyDecibels)
{
    const double rate = 48000.0;
    juce::AudioBuffer<float> sine (1, (int) (6 * rate));
    for (int i = 0; i < sine.getNumSamples(); ++i)
        sine.setSample (0, i, 0.1f * (float) std::sin (2.0 * juce::MathConstants<double>::pi * 1000.0 * i / rate));

    const auto inFile = folder.getChildFile ("sine.wav"), outFile = folder.getChildFile ("sine-out.wav");
    writeFloatWav (inFile, sine, rate);

    const auto run = runRenderer (folder, { inFile.getFullPathName(), "-o", outFile.getFullPathName(), "--json" });
    ASSERT_EQ (run.exitCode, 0) << run.err;
    EXPECT_TRUE (run.err.isEmpty()) << "no progress bar when stderr is not a terminal: " << run.err;

    juce::var report;
    ASSERT_TRUE (juce::JSON::parse (run.out, report).wasOk()) << run.out;

    const auto& in = report["input"];
    EXPECT_NEAR ((double) in["integratedLufs"], -23.0, 0.1);
    EXPECT_NEAR ((double) in["samplePeakDbfs"], -20.0, 0.005);
    EXPECT_EQ ((int) report["channels"], 1);
    EXPECT_EQ ((double) report["sampleRate"], rate);
    EXPECT_NEAR ((double) report["loudnessGainLu"],
                 (double) report["output"]["integratedLufs"] - (double) in["integratedLufs"], 1e-9);

    for (const auto* key : { "samplePeakDbfs", "truePeakDbtp", "integratedLufs", "loudnessRangeLu", "atCeilingShare" })
    {
        EXPECT_TRUE (in[key].isDouble()) << key;
        EXPECT_TRUE (report["output"][key].isDouble()) << key;
    }

    // The text report gives the same figures, one line each.
    const auto text = runRenderer (folder, { inFile.getFullPathName(), "-o", outFile.getFullPathName() });
    ASSERT_EQ (text.exitCode, 0) << text.err;
    const auto lines = juce::StringArray::fromLines (text.out);
    const auto line = [&] (const char* label)
    {
        for (const auto& l : lines)
            if (l.trim().startsWith (label))
                return l;
        return juce::String();
    };

    EXPECT_TRUE (line ("Integrated (LUFS)").contains (juce::String ((double) in["integratedLufs"], 2))) << text.out;
    EXPECT_TRUE (line ("Sample peak (dBFS)").contains ("-20.00")) << text.out;
    for (const auto* label :
         { "True peak (dBTP)", "Loudness range (LU)", "Loudness gain (LU)", "At ceiling (%)", "Speed (x real time)" })
        EXPECT_TRUE (line (label).isNotEmpty()) << label;
}
