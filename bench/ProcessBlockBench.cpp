// The cost of processBlock (stereo, 48 kHz) for every oversampling choice, mode and three block
// sizes, beside the floor the design cannot go below: the bare oversampler with the same settings
// and the same curve on every oversampled sample (at 1x the curve alone). After the runs a table
// gives the ratio of each processor figure to its floor.
#include "ClipperCurves.h"
#include "PluginProcessor.h"

#include <benchmark/benchmark.h>

#include <cmath>
#include <map>
#include <string>

namespace
{
constexpr double sampleRate = 48000.0;
constexpr int numChannels = 2;
constexpr int sourceLength = 1 << 15;
constexpr float defaultShape = 1.0f + 0.07f * 40.0f; // the default "shape" of 40 %

/** A loud, changing stereo signal, read in successive blocks so the filters see real audio. */
class Source
{
public:
    Source() : audio (numChannels, sourceLength)
    {
        juce::Random random (3);

        for (int c = 0; c < numChannels; ++c)
            for (int i = 0; i < sourceLength; ++i)
                audio.setSample (c, i,
                                 0.8f * (float) std::sin (2.0 * juce::MathConstants<double>::pi * 70.0 * i / sampleRate)
                                     + 0.4f * (random.nextFloat() * 2.0f - 1.0f));
    }

    void next (juce::AudioBuffer<float>& block)
    {
        const int n = block.getNumSamples();

        if (position + n > sourceLength)
            position = 0;

        for (int c = 0; c < numChannels; ++c)
            block.copyFrom (c, 0, audio, c, position, n);

        position += n;
    }

private:
    juce::AudioBuffer<float> audio;
    int position = 0;
};

void setCounters (benchmark::State& state, int blockSize)
{
    state.counters["ns_per_frame"] = benchmark::Counter (
        (double) blockSize * 1e-9, benchmark::Counter::kIsIterationInvariantRate | benchmark::Counter::kInvert);
    state.counters["x_realtime"] =
        benchmark::Counter ((double) blockSize / sampleRate, benchmark::Counter::kIsIterationInvariantRate);
}

void BM_Process (benchmark::State& state)
{
    const int osIndex = (int) state.range (0), mode = (int) state.range (1), blockSize = (int) state.range (2);

    OstrelAudioProcessor processor;
    processor.setParamValue ("oversampling", (float) osIndex);
    processor.setParamValue ("mode", (float) mode);
    processor.setRateAndBufferSizeDetails (sampleRate, blockSize);
    processor.prepareToPlay (sampleRate, blockSize);

    Source source;
    juce::AudioBuffer<float> block (numChannels, blockSize);
    juce::MidiBuffer midi;

    for (auto _ : state)
    {
        source.next (block);
        processor.processBlock (block, midi);
        benchmark::DoNotOptimize (block.getReadPointer (0));
    }

    setCounters (state, blockSize);
}

/** One block of the floor: up, the curve on every sample, down. Not inlined, so that callgrind
    can count its instructions apart from the benchmark loop.
*/
__attribute__ ((noinline)) void floorBlock (juce::dsp::Oversampling<float>* oversampler, const ClipCurve& curve,
                                            juce::AudioBuffer<float>& buffer)
{
    juce::ScopedNoDenormals noDenormals;
    juce::dsp::AudioBlock<float> block (buffer);

    const auto shape = [&curve] (juce::dsp::AudioBlock<float> b)
    {
        for (size_t c = 0; c < b.getNumChannels(); ++c)
        {
            auto* data = b.getChannelPointer (c);

            for (size_t j = 0; j < b.getNumSamples(); ++j)
                data[j] = curve.apply (data[j]);
        }
    };

    if (oversampler != nullptr)
    {
        shape (oversampler->processSamplesUp (block));
        oversampler->processSamplesDown (block);
    }
    else
    {
        shape (block);
    }
}

void BM_Floor (benchmark::State& state)
{
    const int osIndex = (int) state.range (0), mode = (int) state.range (1), blockSize = (int) state.range (2);
    const auto curve = ClipCurve::make (mode, defaultShape);

    std::unique_ptr<juce::dsp::Oversampling<float>> oversampler;

    if (osIndex > 0)
    {
        oversampler = std::make_unique<juce::dsp::Oversampling<float>> (
            (size_t) numChannels, (size_t) osIndex, juce::dsp::Oversampling<float>::filterHalfBandFIREquiripple, true,
            true);
        oversampler->initProcessing ((size_t) blockSize);
        oversampler->setUsingIntegerLatency (true);
    }

    Source source;
    juce::AudioBuffer<float> buffer (numChannels, blockSize);

    for (auto _ : state)
    {
        source.next (buffer);
        floorBlock (oversampler.get(), curve, buffer);
        benchmark::DoNotOptimize (buffer.getReadPointer (0));
    }

    setCounters (state, blockSize);
}

void arguments (benchmark::internal::Benchmark* b)
{
    b->ArgNames ({ "os", "mode", "block" });

    for (int os = 0; os <= 3; ++os)
        for (int mode = 0; mode <= 2; ++mode)
            for (int block : { 64, 512, 2048 })
                b->Args ({ os, mode, block });
}

BENCHMARK (BM_Process)->Apply (arguments);
BENCHMARK (BM_Floor)->Apply (arguments);

/** The console report, then the table of processor cost over floor cost. */
class RatioReporter : public benchmark::ConsoleReporter
{
public:
    void ReportRuns (const std::vector<Run>& runs) override
    {
        ConsoleReporter::ReportRuns (runs);

        for (const auto& run : runs)
        {
            if (run.error_occurred || run.iterations == 0 || run.run_type != Run::RT_Iteration)
                continue;

            const auto name = run.benchmark_name();
            const auto slash = name.find ('/');
            auto& entry = figures[name.substr (slash + 1)];
            const double perIteration = run.GetAdjustedCPUTime();
            (name.rfind ("BM_Process", 0) == 0 ? entry.process : entry.floor) = perIteration;
        }
    }

    void Finalize() override
    {
        ConsoleReporter::Finalize();
        static const char* modes[] = { "Soft", "Hard", "Punch" };

        std::printf ("\n%-7s %-6s %6s %14s %14s %8s %10s\n", "factor", "mode", "block", "process ns/fr", "floor ns/fr",
                     "ratio", "x realtime");

        for (int os = 0; os <= 3; ++os)
            for (int mode = 0; mode <= 2; ++mode)
                for (int block : { 64, 512, 2048 })
                {
                    const auto key = "os:" + std::to_string (os) + "/mode:" + std::to_string (mode)
                                     + "/block:" + std::to_string (block);
                    const auto found = figures.find (key);

                    if (found == figures.end() || found->second.process <= 0.0 || found->second.floor <= 0.0)
                        continue;

                    // The benchmark's time unit is nanoseconds per iteration, one iteration one block.
                    const double process = found->second.process / block, floor = found->second.floor / block;
                    std::printf ("%-7s %-6s %6d %14.1f %14.1f %8.3f %10.1f\n", (std::to_string (1 << os) + "x").c_str(),
                                 modes[mode], block, process, floor, process / floor, 1e9 / (process * sampleRate));
                }
    }

private:
    struct Pair
    {
        double process = 0.0, floor = 0.0;
    };

    std::map<std::string, Pair> figures;
};
} // namespace

int main (int argc, char** argv)
{
    benchmark::Initialize (&argc, argv);

    if (benchmark::ReportUnrecognizedArguments (argc, argv))
        return 1;

    RatioReporter reporter;
    benchmark::RunSpecifiedBenchmarks (&reporter);
    benchmark::Shutdown();
    return 0;
}
