#pragma once

// For the X11 tests, which press keys for windows through XTest: a key pressed before its window
// holds the keyboard goes to whichever window had it, and on a busy machine a window shown or
// focused a moment ago may not have it yet.

#include "platform/x11/X11Connection.h"

#include <QString>
#include <QTest>

#include <cstdlib>
#include <memory>

namespace vellicord::test {

// The window with the keyboard, by its id as xdotool writes it.
inline QString keyboardWindow()
{
    X11Connection x11;
    std::unique_ptr<xcb_get_input_focus_reply_t, decltype(&std::free)> focus(
        xcb_get_input_focus_reply(x11.get(), xcb_get_input_focus(x11.get()), nullptr), &std::free);
    return focus ? QString::number(focus->focus) : QString();
}

// Whether the window (by its id as xdotool writes it) comes to hold the keyboard within the time.
inline bool awaitKeyboard(const QString& window, int milliseconds = 10000)
{
    return !window.isEmpty() && QTest::qWaitFor([&] { return keyboardWindow() == window; }, milliseconds);
}

// Watches a window that holds the keyboard, from its creation on: a menu that opens over the window
// takes the keyboard with a grab, which leaves the window the input focus, but tells it so.
class KeyboardGrabWatch {
public:
    explicit KeyboardGrabWatch(const QString& window)
    {
        const uint32_t focusChanges = XCB_EVENT_MASK_FOCUS_CHANGE;
        xcb_change_window_attributes(x11_.get(), window.toUInt(), XCB_CW_EVENT_MASK, &focusChanges);
        // Watched from here on: the server has the request once it answers a later one.
        std::free(xcb_get_input_focus_reply(x11_.get(), xcb_get_input_focus(x11_.get()), nullptr));
    }

    // Whether a grab takes the keyboard from the window within the time.
    bool awaitGrab(int milliseconds = 10000)
    {
        return QTest::qWaitFor(
            [&] {
                while (xcb_generic_event_t* event = xcb_poll_for_event(x11_.get())) {
                    const auto* focus = reinterpret_cast<xcb_focus_out_event_t*>(event);
                    grabbed_ = grabbed_
                        || ((event->response_type & 0x7F) == XCB_FOCUS_OUT && focus->mode == XCB_NOTIFY_MODE_GRAB);
                    std::free(event);
                }
                return grabbed_;
            },
            milliseconds);
    }

private:
    X11Connection x11_;
    bool grabbed_ = false;
};

} // namespace vellicord::test
