#include "platform/x11/X11KeyboardLayout.h"

#include "platform/CarbonKeys.h"

#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

#include <string>

namespace vellicord {

struct X11KeyboardLayout::Keymap {
    std::unique_ptr<xkb_keymap, void (*)(xkb_keymap*)> keymap{nullptr, xkb_keymap_unref};
    std::unique_ptr<xkb_state, void (*)(xkb_state*)> state{nullptr, xkb_state_unref};
    explicit operator bool() const { return keymap && state; }
};

X11KeyboardLayout::X11KeyboardLayout(xcb_connection_t* connection)
    : connection_(connection)
    , context_(xkb_context_new(XKB_CONTEXT_NO_FLAGS), xkb_context_unref)
{
    if (xkb_x11_setup_xkb_extension(connection_, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                    XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr))
        device_ = xkb_x11_get_core_keyboard_device_id(connection_);
}

X11KeyboardLayout::~X11KeyboardLayout() = default;

X11KeyboardLayout::Keymap X11KeyboardLayout::read() const
{
    Keymap map;
    if (device_ < 0 || !context_)
        return map;
    map.keymap.reset(xkb_x11_keymap_new_from_device(context_.get(), connection_, device_, XKB_KEYMAP_COMPILE_NO_FLAGS));
    if (map.keymap)
        map.state.reset(xkb_x11_state_new_from_device(map.keymap.get(), connection_, device_));
    return map;
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
    return keycodeIn(read().keymap.get(), carbonKeyCode);
}

std::optional<uint32_t> X11KeyboardLayout::keyCode(uint32_t nativeScanCode) const
{
    const Keymap map = read();
    const char* name = map ? xkb_keymap_key_get_name(map.keymap.get(), nativeScanCode) : nullptr;
    return name ? CarbonKeys::fromPlaceName(name) : std::nullopt;
}

QString X11KeyboardLayout::text(uint32_t carbonKeyCode) const
{
    const Keymap map = read();
    const std::optional<xcb_keycode_t> keycode = keycodeIn(map.keymap.get(), carbonKeyCode);
    if (!keycode || !map)
        return {};
    // The first level of the group in use: what the key types without Shift in that layout.
    const xkb_layout_index_t group = xkb_state_key_get_layout(map.state.get(), *keycode);
    const xkb_keysym_t* symbols = nullptr;
    if (group == XKB_LAYOUT_INVALID
        || xkb_keymap_key_get_syms_by_level(map.keymap.get(), *keycode, group, 0, &symbols) != 1)
        return {};
    const char32_t character = xkb_keysym_to_utf32(symbols[0]);
    // Dead keys give none, Return and Escape a control character.
    if (character < 0x20 || character == 0x7f)
        return {};
    return QString::fromUcs4(&character, 1);
}

} // namespace vellicord
