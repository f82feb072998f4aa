#include "Checks.h"
#include "Instance.h"
#include "ProcessRig.h"
#include "Report.h"

#include <atomic>
#include <cstdlib>
#include <thread>

#include <X11/Xlib.h>

using namespace Steinberg;

namespace
{
constexpr int maxEditorSize = 16384;

bool plausibleSize (const ViewRect& r)
{
    return r.getWidth() > 0 && r.getHeight() > 0 && r.getWidth() <= maxEditorSize && r.getHeight() <= maxEditorSize;
}

/** What a host checks before it opens a view: platform support and size. */
bool checkViewBasics (IPlugView& view, ViewRect& size)
{
    report::expect (view.isPlatformTypeSupported (kPlatformTypeX11EmbedWindowID) == kResultTrue,
                    std::string ("the view does not support ") + kPlatformTypeX11EmbedWindowID);
    report::expect (view.isPlatformTypeSupported ("NoSuchPlatformType") != kResultTrue,
                    "the view claims to support an unknown platform type");

    return report::expect (view.getSize (&size) == kResultOk && plausibleSize (size),
                           "getSize gives no plausible size (" + std::to_string (size.getWidth()) + " × "
                               + std::to_string (size.getHeight()) + ")");
}

Display* hostDisplay = nullptr;
std::atomic<int> pluginXErrors { 0 };

int handleXError (Display* display, XErrorEvent* event)
{
    if (display != hostDisplay)
    {
        ++pluginXErrors;
        report::info ("X error " + std::to_string (event->error_code) + " (request "
                      + std::to_string (event->request_code) + ") on the plug-in's connection");
        return 0;
    }

    char text[128] = {};
    XGetErrorText (display, event->error_code, text, (int) sizeof (text));
    report::fail (std::string ("X error on the host's connection: ") + text + " (request "
                  + std::to_string (event->request_code) + ")");
    return 0;
}

int numChildWindows (Display* display, Window window)
{
    Window root = 0, parent = 0;
    Window* children = nullptr;
    unsigned int count = 0;

    if (XQueryTree (display, window, &root, &parent, &children, &count) == 0)
        return 0;

    if (children != nullptr)
        XFree (children);

    return (int) count;
}

/** Attaches the view to a new host window, uses it and removes it again. */
void runAttachCycle (Display* display, IPlugView& view, PlugFrame& frame, RunLoop& loop, PluginInstance& instance,
                     std::mt19937& rng, const std::string& where)
{
    ViewRect size {};
    view.getSize (&size);
    const auto width = (unsigned) std::max (size.getWidth(), 1), height = (unsigned) std::max (size.getHeight(), 1);

    const auto window = XCreateSimpleWindow (display, DefaultRootWindow (display), 0, 0, width, height, 0, 0, 0);

    // The plug-in uses the window on a connection of its own, so the server must know the window
    // before its ID is handed over: a flush only sends the request, a sync waits for it.
    XSync (display, False);

    frame.onResize = [display, window] (int w, int h)
    {
        XResizeWindow (display, window, (unsigned) w, (unsigned) h);
        XSync (display, False);
    };

    report::setStep ("attached " + where);

    if (report::expect (view.attached (reinterpret_cast<void*> (window), kPlatformTypeX11EmbedWindowID) == kResultOk,
                        "attached failed"))
    {
        // Like many hosts, the window is shown once the view is in it.
        XMapWindow (display, window);
        XFlush (display);

        report::expect (
            loop.pumpUntil ([&] { return numChildWindows (display, window) > 0; }, std::chrono::seconds (3)),
            "the view put no window into the host's window");
        // The host automates parameters while the editor shows them.
        report::setStep ("editor open " + where);
        std::uniform_real_distribution<double> unit (0.0, 1.0);

        for (int i = 0; i < 10; ++i)
        {
            const auto& p = instance.parameters[rng() % instance.parameters.size()];

            if ((p.flags & Vst::ParameterInfo::kIsReadOnly) == 0)
                instance.controller->setParamNormalized (p.id, snapToStep (unit (rng), p.stepCount));

            loop.pump (std::chrono::milliseconds (10));
        }

        ViewRect now {};
        report::expect (view.getSize (&now) == kResultOk && plausibleSize (now), "getSize fails while attached");

        if (view.canResize() == kResultTrue)
        {
            report::setStep ("resize " + where);
            ViewRect bigger { 0, 0, now.getWidth() + 40, now.getHeight() + 30 };
            report::expect (view.checkSizeConstraint (&bigger) == kResultOk && plausibleSize (bigger),
                            "checkSizeConstraint fails for a resizable view");
            XResizeWindow (display, window, (unsigned) bigger.getWidth(), (unsigned) bigger.getHeight());
            report::expect (view.onSize (&bigger) == kResultOk, "onSize fails for a resizable view");
            loop.pump (std::chrono::milliseconds (50));
        }

        report::setStep ("removed " + where);
        report::expect (view.removed() == kResultOk, "removed failed");
        report::expect (
            loop.pumpUntil ([&] { return numChildWindows (display, window) == 0; }, std::chrono::seconds (3)),
            "the view left its window in the host's window after removed");
    }

    frame.onResize = nullptr;
    XDestroyWindow (display, window);
    XFlush (display);
    loop.pump (std::chrono::milliseconds (20));
}
} // namespace

void checkEditor (const Options& options)
{
    // Xlib's default error handler ends the process. A host replaces it: plug-ins talk to the
    // server on connections of their own and may see harmless errors there (a plug-in toolkit
    // leaves error handling to its host).
    XInitThreads();
    XSetErrorHandler (handleXError);
    const char* displayName = std::getenv ("DISPLAY");
    Display* display = displayName != nullptr && *displayName != 0 ? XOpenDisplay (nullptr) : nullptr;
    hostDisplay = display;

    // Without a display a view cannot be shown, and a GUI toolkit may not even start.
    if (display == nullptr)
    {
        report::setStep ("open the X display");
        report::expect (! options.requireEditor, "the editor must be checked but there is no X display (use xvfb-run)");
        std::printf ("  note: no X display; the editor was not checked\n");
        return;
    }

    auto module = loadModuleForCheck (options);

    if (module != nullptr)
    {
        ValidatorHost host;
        std::mt19937 rng (options.seed);
        RunLoop loop;
        PlugFrame frame (loop);

        {
            report::setStep ("create instance");
            PluginInstance instance (*module->getFactory(), &host);

            if (! instance.isValid())
                return;

            report::setStep ("createView with an unknown name");

            if (auto* unknown = instance.controller->createView ("no-such-view"))
            {
                report::fail ("createView returns a view for an unknown view name");
                unknown->release();
            }

            // Audio keeps running while the editor opens and closes, as in a host.
            std::atomic<bool> running { true };
            std::thread audio;
            std::mt19937 audioRng (options.seed + 1);
            ProcessRig audioRig (instance, audioRng, options.outputBound);

            if (options.strictness >= 5 && audioRig.start (48000.0, 256))
                audio = std::thread (
                    [&]
                    {
                        while (running.load())
                            audioRig.process (256, ProcessRig::Signal::noise, true);
                    });

            const auto views = 1 + options.strictness / 4;
            const auto attachCycles = 2 + options.strictness / 4;

            for (int v = 0; v < views; ++v)
            {
                report::setStep ("createView (view " + std::to_string (v + 1) + ")");
                auto* view = instance.controller->createView (Vst::ViewType::kEditor);

                if (view == nullptr)
                {
                    report::expect (! options.requireEditor, "the controller offers no editor view");
                    break;
                }

                ViewRect size {};

                if (checkViewBasics (*view, size))
                {
                    report::expect (view->setFrame (&frame) == kResultOk, "setFrame failed");

                    for (int c = 0; c < attachCycles; ++c)
                        runAttachCycle (display, *view, frame, loop, instance, rng,
                                        "(view " + std::to_string (v + 1) + ", cycle " + std::to_string (c + 1) + ")");

                    view->setFrame (nullptr);
                    report::expect (frame.numBadResizeRequests == 0, "the view asked the frame for "
                                                                         + std::to_string (frame.numBadResizeRequests)
                                                                         + " resizes to an empty size");
                }

                report::setStep ("release view " + std::to_string (v + 1));
                view->release();
                loop.pump (std::chrono::milliseconds (20));
            }

            running = false;

            if (audio.joinable())
                audio.join();

            audioRig.stop();
            report::setStep ("terminate with the run loop");
        }

        loop.pump (std::chrono::milliseconds (50));
        report::expect (loop.numEventHandlers() == 0 && loop.numTimers() == 0,
                        "after its views and the instance were released, the plug-in left "
                            + std::to_string (loop.numEventHandlers()) + " event handlers and "
                            + std::to_string (loop.numTimers()) + " timers registered with the host's run loop");
    }

    if (pluginXErrors.load() > 0)
        std::printf ("  note: the plug-in's own X connection saw %d X errors (ignored, as hosts do)\n",
                     pluginXErrors.load());

    XCloseDisplay (display);
}
