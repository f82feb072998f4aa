#include "EditorSnapshot.h"

#include "PluginEditor.h"

#include <X11/Xlib.h>

#include <cstdlib>
#include <iostream>

namespace juce
{
// Defined in juce_events on Linux; modal loops are off, so the tool runs the queue itself.
bool dispatchNextMessageOnSystemQueue (bool returnIfNoPendingMessages);
} // namespace juce

namespace
{
// A bare X server (Xvfb) lacks WM_PROTOCOLS and similar atoms, and JUCE then names atom 0 in
// window properties. JUCE applications ignore such errors; this tool is not one, so it installs
// the same kind of handler before any window opens.
int ignoreXError (Display*, XErrorEvent*) { return 0; }

void pumpFor (int milliseconds)
{
    const auto end = juce::Time::getMillisecondCounter() + (juce::uint32) milliseconds;

    while (juce::Time::getMillisecondCounter() < end)
        if (! juce::dispatchNextMessageOnSystemQueue (true))
            juce::Thread::sleep (1);
}

int usage (const juce::String& problem)
{
    std::cerr << problem << "\n"
              << "usage: ostrel-snapshot --editor [--open menu|save|rename|overwrite|delete|success] output.png\n";
    return 2;
}

/** The desktop windows the editor opened (menus, dialogs), front-most last. */
juce::Array<juce::Component*> openedWindows (const juce::Component& editor)
{
    juce::Array<juce::Component*> windows;
    auto& desktop = juce::Desktop::getInstance();

    for (int i = 0; i < desktop.getNumComponents(); ++i)
        if (auto* c = desktop.getComponent (i); c != &editor && c->isVisible())
            windows.add (c);

    return windows;
}
} // namespace

int renderEditorSnapshot (int argc, char** argv)
{
    XSetErrorHandler (ignoreXError);

    juce::String open, outputPath;

    for (int i = 2; i < argc; ++i)
    {
        const juce::String arg (argv[i]);

        if (arg == "--open" && i + 1 < argc)
            open = argv[++i];
        else if (! arg.startsWith ("--") && outputPath.isEmpty())
            outputPath = arg;
        else
            return usage ("unknown or incomplete option: " + arg);
    }

    const juce::StringArray openings { "", "menu", "save", "rename", "overwrite", "delete", "success" };

    if (! openings.contains (open))
        return usage ("cannot open " + open);

    if (outputPath.isEmpty())
        return usage ("no output file given");

    const auto output = juce::File::getCurrentWorkingDirectory().getChildFile (outputPath);
    const auto home = juce::File::createTempFile ("ostrel-snapshot-home");
    home.createDirectory();
    setenv ("HOME", home.getFullPathName().toRawUTF8(), 1);

    int result = 0;
    {
        OstrelAudioProcessor processor;

        for (auto* name : { "Bass Weight", "Drums A", "Vocal Lead" })
            processor.saveUserPreset (name);

        processor.setParamValue ("shape", 64.0f); // the current preset shows as modified

        std::unique_ptr<OstrelAudioProcessorEditor> editor (
            dynamic_cast<OstrelAudioProcessorEditor*> (processor.createEditor()));
        editor->setTopLeftPosition (40, 40);
        editor->getControlPanel().timerCallback(); // one poll, so the selectors show the parameters

        auto& bar = editor->getMenuBar();

        if (open == "menu")
            bar.showPresetMenu();
        else if (open == "save")
            bar.showSavePresetDialog();
        else if (open == "rename")
            bar.showRenamePresetDialog ("Drums A");
        else if (open == "overwrite")
            bar.saveUserPresetWithOverwritePrompt ("Drums A");
        else if (open == "delete")
            bar.confirmDeletePreset ("Drums A");
        else if (open == "success")
            bar.showSuccessMessage ("Success", "Preset \"Drums A\" has been saved.");

        // The editor and everything it opened, each at its place on screen. Menus and dialogs open
        // synchronously and are captured at once: on a bare X server the process is never the
        // active one, and an open menu then closes within milliseconds.
        const auto origin = editor->getScreenPosition();
        auto area = editor->getLocalBounds();
        const auto windows = openedWindows (*editor);

        for (auto* w : windows)
            area = area.getUnion (w->getScreenBounds() - origin);

        juce::Image image (juce::Image::ARGB, area.getWidth(), area.getHeight(), true);
        {
            juce::Graphics g (image);
            g.drawImageAt (editor->createComponentSnapshot (editor->getLocalBounds()), -area.getX(), -area.getY());

            for (auto* w : windows)
            {
                const auto at = w->getScreenPosition() - origin - area.getPosition();
                g.drawImageAt (w->createComponentSnapshot (w->getLocalBounds()), at.x, at.y);
            }
        }

        output.deleteFile();
        juce::FileOutputStream stream (output);
        juce::PNGImageFormat png;

        if (! stream.openedOk() || ! png.writeImageToStream (image, stream))
        {
            std::cerr << "cannot write " << output.getFullPathName() << "\n";
            result = 1;
        }
        else
        {
            std::cout << "wrote " << output.getFullPathName() << " (" << area.getWidth() << " x " << area.getHeight()
                      << ", editor " << editor->getWidth() << " x " << editor->getHeight() << ")\n";
        }

        // Closing the editor closes what it opened; let that finish before the processor goes.
        editor.reset();
        pumpFor (100);
    }

    home.deleteRecursively();
    return result;
}
