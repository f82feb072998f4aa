// The cost of one full repaint of the control panel, children included. The panel repaints at
// about 30 Hz in every open editor, so this is paid continuously.

#include "GUI.h"

#include <benchmark/benchmark.h>

static void paintWholePanel (benchmark::State& state)
{
    const auto width = (int) state.range (0);
    const auto height = (int) state.range (1);

    OstrelAudioProcessor processor;
    processor.inputLevel[0] = 0.8f;
    processor.inputLevel[1] = 0.7f;
    processor.outputLevel[0] = 0.9f;
    processor.outputLevel[1] = 0.85f;
    processor.clipAmount = 0.4f;

    OstrelGUI panel (processor);
    panel.setSize (width, height);
    panel.timerCallback();

    juce::Image image (juce::Image::ARGB, width, height, true, juce::SoftwareImageType());

    for (auto _ : state)
    {
        juce::Graphics g (image);
        panel.paintEntireComponent (g, false);
        benchmark::DoNotOptimize (image.getPixelAt (width / 2, height / 2));
    }
}

BENCHMARK (paintWholePanel)->Args ({ 1187, 712 })->Args ({ 1600, 971 })->Unit (benchmark::kMillisecond);

int main (int argc, char** argv)
{
    juce::ScopedJuceInitialiser_GUI juceInitialiser;
    benchmark::Initialize (&argc, argv);

    if (benchmark::ReportUnrecognizedArguments (argc, argv))
        return 1;

    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
