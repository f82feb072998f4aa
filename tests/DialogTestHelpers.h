#pragma once

#include "MenuBar.h"

#include <juce_gui_basics/juce_gui_basics.h>

#include <gtest/gtest.h>

#include <functional>
#include <limits>
#include <memory>

namespace juce
{
// Defined in juce_events on Linux. Modal loops are off in this build, so tests drive the message
// queue with it to let timers, asynchronous clicks and modal callbacks run.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

namespace ostrel_test
{
/** Runs the message loop for the given time. */
inline void pumpMessages (int milliseconds)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) milliseconds;

    while (juce::Time::getMillisecondCounter() < end)
        if (! juce::dispatchNextMessageOnSystemQueue (true))
            juce::Thread::sleep (1);
}

/** Runs the message loop until the condition holds or the time is up; returns the condition. */
inline bool pumpUntil (const std::function<bool()>& condition, int timeoutMilliseconds = 3000)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) timeoutMilliseconds;

    while (! condition())
    {
        if (juce::Time::getMillisecondCounter() >= end)
            return false;

        if (! juce::dispatchNextMessageOnSystemQueue (true))
            juce::Thread::sleep (1);
    }

    return true;
}

inline juce::AlertWindow* currentAlert()
{
    return dynamic_cast<juce::AlertWindow*> (juce::Component::getCurrentlyModalComponent());
}

/** Waits for a modal alert window with this title and returns it, or null. */
inline juce::AlertWindow* waitForAlert (const juce::String& title)
{
    pumpUntil ([&] { return currentAlert() != nullptr && currentAlert()->getName() == title; });
    auto* alert = currentAlert();
    return alert != nullptr && alert->getName() == title ? alert : nullptr;
}

/** The visible popup-menu window the bar opened, or null. Menus are looked at right after they
    open: on a bare X server the process is never the active one, and JUCE closes an open menu of
    an inactive process within about 50 ms.
*/
inline juce::Component* openMenuOf (MenuBar& bar)
{
    auto& desktop = juce::Desktop::getInstance();

    for (int i = 0; i < desktop.getNumComponents(); ++i)
        if (auto* c = desktop.getComponent (i); c->isVisible() && &c->getLookAndFeel() == &bar.menuLookAndFeel)
            return c;

    return nullptr;
}

/** Lets pending clicks and modal callbacks run, then reports whether no alert is open. */
inline bool noAlertAfterSettling()
{
    pumpMessages (50);
    return currentAlert() == nullptr;
}

/** The alert's message text (the window describes itself as its title, ". " and the message). */
inline juce::String alertMessage (const juce::AlertWindow& alert)
{
    return alert.getDescription().substring (alert.getName().length() + 2);
}

/** Presses the alert's button with this caption and lets the resulting callbacks run. */
inline void press (juce::AlertWindow& alert, const juce::String& buttonText)
{
    juce::Component::SafePointer<juce::AlertWindow> safeAlert (&alert);
    alert.triggerButtonClick (buttonText);
    pumpUntil ([&] { return safeAlert == nullptr || ! safeAlert->isCurrentlyModal(); });
    pumpMessages (20);
}

/** Types into the alert's name field, replacing its text. */
inline void typeName (juce::AlertWindow& alert, const juce::String& text)
{
    auto* field = alert.getTextEditor ("presetName");
    ASSERT_NE (field, nullptr);
    field->setText (text);
}
} // namespace ostrel_test

namespace ostrel_test
{
/** A processor with an empty presets folder and a menu bar of the editor's usual size. */
class MenuBarFixture : public ::testing::Test
{
protected:
    void SetUp() override
    {
        auto folder = processor.presetManager.getPresetsDirectory();
        folder.deleteRecursively();
        folder.createDirectory();

        bar = std::make_unique<MenuBar>();
        bar->processor = &processor;
        bar->setSize (1187, 71);
    }

    void TearDown() override
    {
        for (int i = 0; i < 10 && currentAlert() != nullptr; ++i)
        {
            currentAlert()->exitModalState (0);
            pumpMessages (20);
        }

        juce::PopupMenu::dismissAllActiveMenus();
        bar.reset();
        pumpMessages (20);
    }

    /** Saves the current settings as a user preset, with input set to mark them. */
    void makePreset (const juce::String& name, float input)
    {
        processor.setParamValue ("input", input);
        ASSERT_TRUE (processor.saveUserPreset (name));
    }

    /** The input value stored in a preset file, or NaN when the file cannot be read. */
    float storedInput (const juce::String& name) const
    {
        if (auto xml = juce::parseXML (processor.presetManager.getPresetFile (name)))
            for (auto* param : xml->getChildWithTagNameIterator ("PARAM"))
                if (param->getStringAttribute ("id") == "input")
                    return (float) param->getDoubleAttribute ("value");

        return std::numeric_limits<float>::quiet_NaN();
    }

    juce::StringArray presetNames() const { return processor.getUserPresetNames(); }

    OstrelAudioProcessor processor;
    std::unique_ptr<MenuBar> bar;
};
} // namespace ostrel_test
