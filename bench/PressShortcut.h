#pragma once

// Presses the default capture shortcut (Control, Alt, Super and C) through XTest, as a user's
// keyboard would, and releases the keys in reverse order.

#include <X11/Xlib.h>
#include <X11/extensions/XTest.h>
#include <X11/keysym.h>

#include <iterator>

namespace vellicord::bench {

// The first synthetic key switches the server's keyboard device, and the shortcut is grabbed anew
// on it: a key that matters to nothing, pressed once before any measured press.
inline void switchToSyntheticKeyboard(Display* display)
{
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, XK_Shift_L), True, CurrentTime);
    XTestFakeKeyEvent(display, XKeysymToKeycode(display, XK_Shift_L), False, CurrentTime);
    XFlush(display);
}

inline void pressShortcut(Display* display)
{
    const KeySym keys[] = {XK_Control_L, XK_Alt_L, XK_Super_L, XK_c};
    for (KeySym key : keys)
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, key), True, CurrentTime);
    for (auto key = std::rbegin(keys); key != std::rend(keys); ++key)
        XTestFakeKeyEvent(display, XKeysymToKeycode(display, *key), False, CurrentTime);
    XFlush(display);
}

} // namespace vellicord::bench
