#include <X11/Xlib.h>

namespace
{
// Under a bare X server (Xvfb without a window manager) atoms such as WM_PROTOCOLS do not exist,
// and JUCE then sets window properties naming atom 0. JUCE applications and plug-in hosts install
// an X error handler that ignores such errors; a test binary is neither, so Xlib's default
// handler would end the process as soon as a dialog, a menu or the editor opens a window. This
// handler ignores them, as JUCE's own does.
int ignoreXError (Display*, XErrorEvent*) { return 0; }

const auto previousXErrorHandler = XSetErrorHandler (ignoreXError);
} // namespace
