#pragma once

#include "ParameterIDs.h"
#include "PluginProcessor.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <iterator>
#include <limits>
#include <string>
#include <utility>
#include <vector>

// The entry points libFuzzer calls.
extern "C" int LLVMFuzzerInitialize (int* argc, char*** argv);
extern "C" int LLVMFuzzerTestOneInput (const std::uint8_t* data, std::size_t size);

/** What the two harnesses share: a JUCE environment with a private home folder, one processor
    for the whole run, a snapshot of everything a rejected input must leave alone, and the
    "--write-seeds=DIR" mode that writes the harness's seed corpus and exits.
*/
namespace FuzzSupport
{
/** Every parameter value and the current-preset record. */
struct Snapshot
{
    std::array<float, ParamIDs::all.size()> values {};
    juce::String name;
    bool isUser = false;
    bool modified = false;

    bool operator== (const Snapshot& other) const
    {
        // Bitwise, so that a NaN that crept in is a difference too.
        return std::memcmp (values.data(), other.values.data(), sizeof (values)) == 0 && name == other.name
               && isUser == other.isUser && modified == other.modified;
    }
};

inline Snapshot take (OstrelAudioProcessor& p)
{
    Snapshot s;

    for (size_t i = 0; i < ParamIDs::all.size(); ++i)
        s.values[i] = p.apvts.getRawParameterValue (ParamIDs::all[i])->load();

    // One lock for both, so the pair is read as a pair.
    const juce::ScopedLock lock (p.presetInfoLock);
    s.name = p.getCurrentPresetName();
    s.isUser = p.isCurrentPresetUser();
    s.modified = p.isCurrentPresetModified();
    return s;
}

/** Stops the run with a message; libFuzzer then keeps the input as a crash. */
[[noreturn]] inline void fail (const char* what)
{
    std::fprintf (stderr, "FUZZ CHECK FAILED: %s\n", what);
    std::abort();
}

inline void check (bool condition, const char* what)
{
    if (! condition)
        fail (what);
}

/** Every parameter holds a finite value inside its range. */
inline void checkParametersSane (OstrelAudioProcessor& p)
{
    for (auto* id : ParamIDs::all)
    {
        const float v = p.apvts.getRawParameterValue (id)->load();
        const auto range = p.apvts.getParameterRange (id);
        check (std::isfinite (v) && v >= range.start && v <= range.end, "parameter outside its range");
    }
}

/** Processes one short block of a loud signal: whatever the parameters became, the output and
    the meters stay finite.
*/
inline void checkProcessingSane (OstrelAudioProcessor& p)
{
    static juce::AudioBuffer<float> buffer (2, 64);
    static juce::MidiBuffer midi;

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            buffer.setSample (c, i, 1.5f * std::sin (0.1f * (float) i));

    p.processBlock (buffer, midi);

    for (int c = 0; c < 2; ++c)
        for (int i = 0; i < buffer.getNumSamples(); ++i)
            check (std::isfinite (buffer.getSample (c, i)), "non-finite output");

    for (float v : { p.inputLevel[0].load(), p.outputLevel[1].load(), p.clipAmount.load() })
        check (v >= 0.0f && v <= 1.0f, "meter outside 0 ... 1");
}

/** Points HOME at a fresh folder and starts JUCE once. */
inline void initialise()
{
    static std::string home = "/tmp/ostrel-fuzz-home-XXXXXX";

    if (mkdtemp (home.data()) == nullptr)
        fail ("no temporary home folder");

    setenv ("HOME", home.c_str(), 1);

    // Never destroyed: libFuzzer ends the process with exit(), after the framework's own statics
    // may already be gone.
    static auto* juceInitialiser = new juce::ScopedJuceInitialiser_GUI();
    juce::ignoreUnused (juceInitialiser);
}

/** The processor every input goes to, prepared once and, like JUCE, kept to the end. */
inline OstrelAudioProcessor& processor()
{
    static auto* instance = []
    {
        auto* p = new OstrelAudioProcessor();
        p->prepareToPlay (48000.0, 64);
        return p;
    }();

    return *instance;
}

using Seed = std::pair<const char*, std::vector<std::uint8_t>>;

inline std::vector<std::uint8_t> bytesOf (const juce::MemoryBlock& block)
{
    const auto* data = static_cast<const std::uint8_t*> (block.getData());
    return { data, data + block.getSize() };
}

inline std::vector<std::uint8_t> bytesOf (const juce::String& text)
{
    const auto utf8 = text.toStdString();
    return { utf8.begin(), utf8.end() };
}

/** Handles "--write-seeds=DIR": writes the seeds made by makeSeeds into DIR and exits. libFuzzer
    ignores arguments that start with "--", so the flag reaches only this function.
*/
template <typename MakeSeeds>
void writeSeedsIfAsked (int argc, char** argv, MakeSeeds makeSeeds)
{
    const juce::String flag ("--write-seeds=");

    for (int i = 1; i < argc; ++i)
    {
        const juce::String arg (argv[i]);

        if (! arg.startsWith (flag))
            continue;

        const juce::File folder (arg.fromFirstOccurrenceOf (flag, false, false));

        if (! folder.createDirectory())
            fail ("cannot create the seed folder");

        for (const auto& [name, bytes] : makeSeeds())
            if (! folder.getChildFile (name).replaceWithData (bytes.data(), bytes.size()))
                fail ("cannot write a seed");

        std::exit (0);
    }
}
} // namespace FuzzSupport
