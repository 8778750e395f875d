#pragma once

#include "platform/KeyboardLayout.h"

#include <memory>

#include <xcb/xcb.h>

struct xkb_context;

namespace vellicord {

// The keyboard as the X server has it, through XKB. A key's place is found by its XKB key name,
// which names the same place whatever the server numbers its keys by (evdev, or the XFree86
// numbers of older servers) and whatever layout or group is in use. The keyboard map is asked of
// the server each time: a copy kept would go stale when the user changes the layout.
class X11KeyboardLayout final : public KeyboardLayout {
public:
    // On Qt's connection, used on the main thread only.
    explicit X11KeyboardLayout(xcb_connection_t* connection);
    ~X11KeyboardLayout() override;

    // The X key code of the key's place; none when the keyboard has no such key or no XKB.
    std::optional<xcb_keycode_t> xKeycode(uint32_t carbonKeyCode) const;

    std::optional<uint32_t> keyCode(uint32_t nativeScanCode) const override;
    QString text(uint32_t carbonKeyCode) const override;

private:
    struct Keymap;
    Keymap read() const;

    xcb_connection_t* connection_;
    int32_t device_ = -1;
    std::unique_ptr<xkb_context, void (*)(xkb_context*)> context_;
};

} // namespace vellicord
