#include "FakeInput.h"

#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <X11/extensions/XTest.h>

#include <memory>

namespace
{
struct CloseDisplay
{
    void operator() (Display* d) const { XCloseDisplay (d); }
};

using DisplayPtr = std::unique_ptr<Display, CloseDisplay>;

// A connection of its own per event, flushed and closed at once, so nothing stays queued.
DisplayPtr openDisplay()
{
    int eventBase = 0, errorBase = 0, major = 0, minor = 0;
    DisplayPtr display (XOpenDisplay (nullptr));

    if (display != nullptr && ! XTestQueryExtension (display.get(), &eventBase, &errorBase, &major, &minor))
        display.reset();

    return display;
}
} // namespace

bool FakeInput::clickAt (int screenX, int screenY)
{
    auto display = openDisplay();

    if (display == nullptr)
        return false;

    XTestFakeMotionEvent (display.get(), -1, screenX, screenY, CurrentTime);
    XTestFakeButtonEvent (display.get(), 1, True, CurrentTime);
    XTestFakeButtonEvent (display.get(), 1, False, CurrentTime);
    XSync (display.get(), False);
    return true;
}

bool FakeInput::pressKey (const char* keysymName)
{
    auto display = openDisplay();

    if (display == nullptr)
        return false;

    const auto keycode = XKeysymToKeycode (display.get(), XStringToKeysym (keysymName));

    if (keycode == 0)
        return false;

    XTestFakeKeyEvent (display.get(), keycode, True, CurrentTime);
    XTestFakeKeyEvent (display.get(), keycode, False, CurrentTime);
    XSync (display.get(), False);
    return true;
}

long FakeInput::pixelAt (int screenX, int screenY)
{
    auto display = openDisplay();

    if (display == nullptr)
        return -1;

    auto* image =
        XGetImage (display.get(), DefaultRootWindow (display.get()), screenX, screenY, 1, 1, AllPlanes, ZPixmap);

    if (image == nullptr)
        return -1;

    const auto pixel = (long) (XGetPixel (image, 0, 0) & 0xffffff);
    XDestroyImage (image);
    return pixel;
}
