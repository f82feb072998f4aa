// The cost of processBlock (stereo, 48 kHz) for every oversampling choice, mode and three block
// sizes, beside the floor the design cannot go below: the bare oversampler with the same settings
// and the same curve on every oversampled sample (at 1x the curve alone). After the runs a table
// gives the ratio of each processor figure to its floor, and a second one the cost of the DC
// blocker's recursion alone, which bounds the processor from below at 1x.
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

/** The DC blocker of both channels alone, sample by sample, with its coefficients and state in
    registers: a recursion the chain must run, each output feeding the next through a multiply, a
    subtract and two adds. Its time per frame bounds from below any rendition of the chain that
    gives the same output.
*/
void BM_Recursion (benchmark::State& state)
{
    const int blockSize = (int) state.range (0);
    const auto coefficients = juce::dsp::IIR::Coefficients<float>::makeHighPass (sampleRate, 18.0f);
    const float* c = coefficients->getRawCoefficients();
    const float b0 = c[0], b1 = c[1], b2 = c[2], a1 = c[3], a2 = c[4];
    float s0[numChannels] {}, s1[numChannels] {};

    Source source;
    juce::AudioBuffer<float> buffer (numChannels, blockSize);

    for (auto _ : state)
    {
        source.next (buffer);
        float* data[numChannels] = { buffer.getWritePointer (0), buffer.getWritePointer (1) };
        float l0 = s0[0], l1 = s1[0], r0 = s0[1], r1 = s1[1];

        for (int i = 0; i < blockSize; ++i)
        {
            const float x = data[0][i], y = b0 * x + l0;
            l0 = (b1 * x - a1 * y) + l1;
            l1 = b2 * x - a2 * y;
            data[0][i] = y;

            const float xr = data[1][i], yr = b0 * xr + r0;
            r0 = (b1 * xr - a1 * yr) + r1;
            r1 = b2 * xr - a2 * yr;
            data[1][i] = yr;
        }

        s0[0] = l0, s1[0] = l1, s0[1] = r0, s1[1] = r1;
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
BENCHMARK (BM_Recursion)->ArgName ("block")->Arg (64)->Arg (512)->Arg (2048);

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
            const double perIteration = run.GetAdjustedCPUTime();

            if (name.rfind ("BM_Recursion", 0) == 0)
            {
                recursion[name.substr (slash + 1)] = perIteration;
                continue;
            }

            auto& entry = figures[name.substr (slash + 1)];
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

        // At 1x the Hard curve is cheaper than the recursion the chain has to run anyway.
        std::printf ("\n%-6s %16s %18s %14s\n", "block", "recursion ns/fr", "1x Hard floor ns/fr", "least ratio");

        for (int block : { 64, 512, 2048 })
        {
            const auto bound = recursion.find ("block:" + std::to_string (block));
            const auto hard = figures.find ("os:0/mode:1/block:" + std::to_string (block));

            if (bound == recursion.end() || hard == figures.end() || hard->second.floor <= 0.0)
                continue;

            std::printf ("%-6d %16.1f %18.1f %14.3f\n", block, bound->second / block, hard->second.floor / block,
                         bound->second / hard->second.floor);
        }
    }

private:
    struct Pair
    {
        double process = 0.0, floor = 0.0;
    };

    std::map<std::string, Pair> figures;
    std::map<std::string, double> recursion;
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
