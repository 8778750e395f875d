#include "platform/x11/X11KeyEvents.h"

#include "platform/x11/X11Connection.h"

#include <algorithm>
#include <cstdlib>
#include <memory>
#include <thread>

#include <xcb/xtest.h>
#include <xkbcommon/xkbcommon-x11.h>
#include <xkbcommon/xkbcommon.h>

namespace vellicord {

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template<typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

// Evdev key codes as X numbers them, for when the layout has no such key at its first level
// (a Cyrillic layout has no "c"): applications match shortcuts by physical key then.
constexpr quint8 physicalC = 54;
constexpr quint8 physicalControl = 37;
constexpr quint8 physicalShift = 50;

constexpr quint32 keysymC = 0x0063;
constexpr quint32 keysymControlL = 0xffe3;
constexpr quint32 keysymShiftL = 0xffe1;

} // namespace

X11KeyEvents::X11KeyEvents()
    : x11_(std::make_unique<X11Connection>())
{
}

X11KeyEvents::~X11KeyEvents() = default;

X11KeyEvents::Keycodes X11KeyEvents::keycodes()
{
    Keycodes result{physicalControl, physicalShift, physicalC};
    xcb_connection_t* c = x11_->get();
    if (!xkb_x11_setup_xkb_extension(c, XKB_X11_MIN_MAJOR_XKB_VERSION, XKB_X11_MIN_MINOR_XKB_VERSION,
                                     XKB_X11_SETUP_XKB_EXTENSION_NO_FLAGS, nullptr, nullptr, nullptr, nullptr))
        return result;
    const int32_t device = xkb_x11_get_core_keyboard_device_id(c);
    std::unique_ptr<xkb_context, decltype(&xkb_context_unref)> context(xkb_context_new(XKB_CONTEXT_NO_FLAGS),
                                                                       xkb_context_unref);
    if (device < 0 || !context)
        return result;
    std::unique_ptr<xkb_keymap, decltype(&xkb_keymap_unref)> keymap(
        xkb_x11_keymap_new_from_device(context.get(), c, device, XKB_KEYMAP_COMPILE_NO_FLAGS), xkb_keymap_unref);
    if (!keymap)
        return result;
    std::unique_ptr<xkb_state, decltype(&xkb_state_unref)> state(xkb_x11_state_new_from_device(keymap.get(), c, device),
                                                                 xkb_state_unref);
    if (!state)
        return result;
    bool found[3] = {false, false, false};
    const quint32 wanted[3] = {keysymControlL, keysymShiftL, keysymC};
    quint8* slots[3] = {&result.control, &result.shift, &result.letter};
    const xkb_keycode_t last = std::min<xkb_keycode_t>(xkb_keymap_max_keycode(keymap.get()), 255);
    for (xkb_keycode_t code = xkb_keymap_min_keycode(keymap.get()); code <= last; ++code) {
        const xkb_layout_index_t layout = xkb_state_key_get_layout(state.get(), code);
        if (layout == XKB_LAYOUT_INVALID)
            continue;
        const xkb_keysym_t* syms = nullptr;
        const int count = xkb_keymap_key_get_syms_by_level(keymap.get(), code, layout, 0, &syms);
        for (int i = 0; i < count; ++i) {
            for (int k = 0; k < 3; ++k) {
                if (!found[k] && syms[i] == wanted[k]) {
                    found[k] = true;
                    *slots[k] = quint8(code);
                }
            }
        }
    }
    return result;
}

void X11KeyEvents::waitForModifierRelease()
{
    xcb_connection_t* c = x11_->get();
    Reply<xcb_get_modifier_mapping_reply_t> mapping(
        xcb_get_modifier_mapping_reply(c, xcb_get_modifier_mapping(c), nullptr));
    if (!mapping)
        return;
    const xcb_keycode_t* codes = xcb_get_modifier_mapping_keycodes(mapping.get());
    const int count = xcb_get_modifier_mapping_keycodes_length(mapping.get());
    // Lock modifiers (Caps Lock, Num Lock) are held "down" by state, not by a finger: only Shift,
    // Control and Mod1 to Mod5 keys that are physically down count, excluding the lock row.
    const int perModifier = mapping->keycodes_per_modifier;
    const auto deadline = std::chrono::steady_clock::now() + modifierWait;
    for (;;) {
        Reply<xcb_query_keymap_reply_t> keymap(xcb_query_keymap_reply(c, xcb_query_keymap(c), nullptr));
        if (!keymap)
            return;
        bool held = false;
        for (int i = 0; i < count && !held; ++i) {
            if (i / perModifier == 1) // the Lock row
                continue;
            const xcb_keycode_t code = codes[i];
            held = code != 0 && (keymap->keys[code / 8] & (1 << (code % 8)));
        }
        if (!held || std::chrono::steady_clock::now() >= deadline)
            return;
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

bool X11KeyEvents::postCopyCommand(const std::optional<QString>& bundleIdentifier)
{
    if (!x11_->isValid() || !x11_->hasExtension("XTEST"))
        return false;
    const CopyKeys keys = copyKeysFor(bundleIdentifier, x11_->windowClass(x11_->activeWindow()).first);
    if (keys == CopyKeys::none)
        return false;
    waitForModifierRelease();
    xcb_connection_t* c = x11_->get();
    const auto [control, shift, letter] = keycodes();
    auto send = [&](uint8_t type, quint8 code) {
        xcb_test_fake_input(c, type, code, XCB_CURRENT_TIME, x11_->root(), 0, 0, 0);
    };
    // Every key pressed here is released here, in reverse order, whatever happens in between.
    send(XCB_KEY_PRESS, control);
    if (keys == CopyKeys::controlShiftC)
        send(XCB_KEY_PRESS, shift);
    send(XCB_KEY_PRESS, letter);
    xcb_flush(c);
    std::this_thread::sleep_for(keyHold);
    send(XCB_KEY_RELEASE, letter);
    if (keys == CopyKeys::controlShiftC)
        send(XCB_KEY_RELEASE, shift);
    send(XCB_KEY_RELEASE, control);
    x11_->roundTrip();
    return true;
}

} // namespace vellicord
