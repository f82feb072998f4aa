#pragma once

/** Mouse clicks and key presses sent to the X server as if they came from the user, and pixels
    read back from the screen, so that a test can work and see a plug-in's editor, which lives in
    the plug-in's own window, the way a user does. Kept apart from the framework's headers, which clash with X11's
   macros.
*/
namespace FakeInput
{
/** Moves the pointer to a point on the screen and clicks the left button there. */
bool clickAt (int screenX, int screenY);

/** The colour of a pixel on the screen as 0xRRGGBB, or -1 when it cannot be read. */
long pixelAt (int screenX, int screenY);

/** Presses and releases the key with this X keysym name, e.g. "Up" or "Return". */
bool pressKey (const char* keysymName);
} // namespace FakeInput
