#pragma once

#include <juce_audio_basics/juce_audio_basics.h>

/** The built-in demo: a drum-and-bass loop of six bars at 174 BPM (about 8.3 s), stereo, synthesised
    in code from a fixed seed, so every run gives the same samples. Its peaks sit at −6 dBFS, the
    headroom a drum bus leaves for the clipper.
*/
namespace DemoLoop
{
inline constexpr double sampleRate = 48000.0;

juce::AudioBuffer<float> render();
} // namespace DemoLoop
