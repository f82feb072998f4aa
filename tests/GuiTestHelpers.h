#pragma once

#include "GUI.h"

#include <juce_events/juce_events.h>

#include <functional>

// Dispatches one message of the event loop; defined by juce_events on Linux. Tests use it to let
// timers and posted clicks run, because modal loops are not compiled in.
namespace juce
{
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
}

namespace GuiTest
{
/** Runs the message loop until done() holds or the deadline passes; returns done(). */
inline bool pumpUntil (const std::function<bool()>& done, int timeoutMs = 2000)
{
    const auto deadline = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMs;

    while (! done())
    {
        if (juce::Time::getMillisecondCounter() > deadline)
            return false;

        juce::dispatchNextMessageOnSystemQueue (true);
        juce::Thread::sleep (1);
    }

    return true;
}

/** Runs the message loop for a while: long enough for several ticks of the panel's poll. */
inline void pumpFor (int milliseconds)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) milliseconds;
    pumpUntil ([end] { return juce::Time::getMillisecondCounter() > end; }, milliseconds + 1000);
}

/** The panel's child with the given component name, cast to T. */
template <typename T = juce::Component>
T* child (juce::Component& parent, const juce::String& name)
{
    for (auto* c : parent.getChildren())
        if (c->getName() == name)
            return dynamic_cast<T*> (c);

    return nullptr;
}

/** The panel's value readouts, in knob order. */
inline juce::Array<OstrelGUI::EditableValueLabel*> valueLabels (juce::Component& panel)
{
    juce::Array<OstrelGUI::EditableValueLabel*> labels;

    for (auto* c : panel.getChildren())
        if (auto* label = dynamic_cast<OstrelGUI::EditableValueLabel*> (c))
            labels.add (label);

    return labels;
}

inline float rawValue (OstrelAudioProcessor& processor, const char* id)
{
    return processor.apvts.getRawParameterValue (id)->load();
}
} // namespace GuiTest
