#include "ParameterIDs.h"
#include "PluginProcessor.h"

#include <gtest/gtest.h>

#include <atomic>
#include <cmath>
#include <thread>

// Three threads at once, as a host runs them: the audio thread processes blocks (honouring
// suspension the way the plug-in wrapper does) and writes automation; a host thread saves the
// session state; the message thread applies factory presets, saves and loads user presets and
// saves and restores the state. Built with ThreadSanitizer by the "tsan" CMake preset.

namespace
{
constexpr int rounds = 40;
const char* const userNames[] = { "User A", "User B", "User C" };

/** The record's name and is-user flag belong together: a factory name or "Presets" is never a
    user preset, and the names this test saves are always user presets.
*/
bool isConsistentPair (const juce::String& name, bool isUser)
{
    if (name == "Presets" || OstrelAudioProcessor::factoryPresetNames.contains (name))
        return ! isUser;

    return name.startsWith ("User ") && isUser;
}

bool recordIsConsistent (OstrelAudioProcessor& p)
{
    const juce::ScopedLock lock (p.presetInfoLock);
    return isConsistentPair (p.getCurrentPresetName(), p.isCurrentPresetUser());
}

struct AudioThread
{
    explicit AudioThread (OstrelAudioProcessor& p) : processor (p)
    {
        processor.prepareToPlay (48000.0, 256);
        thread = std::thread ([this] { run(); });
    }

    ~AudioThread()
    {
        stop = true;
        thread.join();
    }

    /** Stops writing automation and waits until no write can still be under way. */
    void pauseAutomation()
    {
        automate = false;
        const auto seen = blocks.load();

        while (blocks.load() < seen + 2)
            std::this_thread::yield();
    }

    void resumeAutomation() { automate = true; }

    void run()
    {
        juce::AudioBuffer<float> buffer (2, 256);
        juce::MidiBuffer midi;

        for (int block = 0; ! stop; ++block)
        {
            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < buffer.getNumSamples(); ++i)
                    buffer.setSample (c, i, std::sin (0.02f * (float) (block * 256 + i)));

            if (automate)
            {
                // Host automation of every parameter in turn, the oversampling factor included.
                auto* param = processor.apvts.getParameter (ParamIDs::all[(size_t) block % ParamIDs::all.size()]);
                param->setValueNotifyingHost ((float) (block % 7) / 6.0f);
            }

            {
                const juce::ScopedLock lock (processor.getCallbackLock());

                if (processor.isSuspended())
                    buffer.clear();
                else
                    processor.processBlock (buffer, midi);
            }

            for (int c = 0; c < 2; ++c)
                for (int i = 0; i < buffer.getNumSamples(); ++i)
                    if (! std::isfinite (buffer.getSample (c, i)))
                        nonFinite = true;

            ++blocks;
        }
    }

    OstrelAudioProcessor& processor;
    std::atomic<bool> stop { false }, automate { true }, nonFinite { false };
    std::atomic<long> blocks { 0 };
    std::thread thread;
};

struct StateThread
{
    explicit StateThread (OstrelAudioProcessor& p) : processor (p), thread ([this] { run(); }) {}

    ~StateThread()
    {
        stop = true;
        thread.join();
    }

    void run()
    {
        while (! stop)
        {
            juce::MemoryBlock blob;
            processor.getStateInformation (blob);
            const auto xml = juce::AudioProcessor::getXmlFromBinary (blob.getData(), (int) blob.getSize());

            if (xml == nullptr
                || ! isConsistentPair (xml->getStringAttribute ("uiCurrentPresetName"),
                                       xml->getBoolAttribute ("uiCurrentPresetIsUser")))
                inconsistent = true;

            ++saves;
        }
    }

    OstrelAudioProcessor& processor;
    std::atomic<bool> stop { false }, inconsistent { false };
    std::atomic<long> saves { 0 };
    std::thread thread;
};
} // namespace

TEST (Stress, PresetsAndStateWhileTheAudioThreadAutomatesKeepTheRecordConsistent)
{
    OstrelAudioProcessor processor;
    long stateSaves = 0, audioBlocks = 0;

    {
        AudioThread audio (processor);
        StateThread host (processor);

        for (int round = 0; round < rounds; ++round)
        {
            SCOPED_TRACE ("round " + std::to_string (round));
            const auto& factoryName = OstrelAudioProcessor::factoryPresetNames[round % 10];

            // With automation running: every kind of write, checking the pair after each.
            processor.applyFactoryPreset (factoryName);
            EXPECT_TRUE (recordIsConsistent (processor));
            ASSERT_TRUE (processor.saveUserPreset (userNames[round % 3]));
            EXPECT_TRUE (recordIsConsistent (processor));
            EXPECT_TRUE (processor.loadUserPreset (userNames[0]));
            EXPECT_TRUE (recordIsConsistent (processor));

            juce::MemoryBlock blob;
            processor.getStateInformation (blob);
            processor.setStateInformation (blob.getData(), (int) blob.getSize());
            EXPECT_TRUE (recordIsConsistent (processor));

            // With automation paused, nothing else changes parameters: the writes of presets and
            // state restores must not mark the preset modified by themselves.
            audio.pauseAutomation();

            processor.applyFactoryPreset (OstrelAudioProcessor::factoryPresetNames[(round + 5) % 10]);
            EXPECT_FALSE (processor.isCurrentPresetModified()) << "applying a factory preset";

            juce::MemoryBlock unmodified;
            processor.getStateInformation (unmodified);

            EXPECT_TRUE (processor.loadUserPreset (userNames[round % 3]));
            EXPECT_FALSE (processor.isCurrentPresetModified()) << "loading a user preset";

            processor.setStateInformation (unmodified.getData(), (int) unmodified.getSize());
            EXPECT_FALSE (processor.isCurrentPresetModified()) << "restoring the state";

            // ... while a change of the user's own still does.
            processor.setParamValue (ParamIDs::master, (float) (round % 5) - 2.5f);
            EXPECT_TRUE (processor.isCurrentPresetModified()) << "changing master";

            audio.resumeAutomation();
        }

        stateSaves = host.saves;
        audioBlocks = audio.blocks;
        EXPECT_FALSE (audio.nonFinite);
        EXPECT_FALSE (host.inconsistent);
    }

    // The three threads really overlapped.
    EXPECT_GT (stateSaves, rounds);
    EXPECT_GT (audioBlocks, 2 * rounds);
}
