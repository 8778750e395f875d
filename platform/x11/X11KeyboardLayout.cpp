#include "platform/x11/X11KeyboardLayout.h"

#include "platform/CarbonKeys.h"

#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <string>

namespace vellicord {

X11KeyboardLayout::X11KeyboardLayout(xcb_connection_t* connection)
    : connection_(connection)
    , context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS), xkb_context_unref)
{
    if (xkb_x11_setup_xkb_extension(connection_, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                    XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr))
        device_ = xkb_x11_get_core_keyboard_device_id(connection_);
}

X11KeyboardLayout::~X11KeyboardLayout() = default;

std::unique_ptr<xkb_keymap, void (*)(xkb_keymap*)> X11KeyboardLayout::read() const
{
    std::unique_ptr<xkb_keymap, void (*)(xkb_keymap*)> keymap(nullptr, xkb_keymap_unref);
    if (device_ >= 0 && context_)
        keymap.reset(xkb_x11_keymap_new_from_device(context_.get(), connection_, device_, XKB_KEYMAP_COMPILE_NO_FLAGS));
    return keymap;
}

namespace {

std::optional<xcb_keycode_t> keycodeIn(xkb_keymap* keymap, uint32_t carbonKeyCode)
{
    const std::string place(CarbonKeys::placeName(carbonKeyCode));
    if (!keymap || place.empty())
        return std::nullopt;
    // Aliases count: a keyboard may give the place another name and this one as an alias.
    const xkb_keycode_t keycode = xkb_keymap_key_by_name(keymap, place.c_str());
    if (keycode == XKB_KEYCODE_INVALID || keycode > 255)
        return std::nullopt;
    return xcb_keycode_t(keycode);
}

} // namespace

std::optional<xcb_keycode_t> X11KeyboardLayout::xKeycode(uint32_t carbonKeyCode) const
{
    return keycodeIn(read().get(), carbonKeyCode);
}

} // namespace vellicord
