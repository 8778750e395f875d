#include "platform/x11/X11HotKeys.h"

#include "platform/CarbonKeys.h"
#include "platform/x11/X11KeyboardLayout.h"

#include <QAbstractNativeEventFilter>
#include <QCoreApplication>
#include <QGuiApplication>

#include <QTimer>

#include <X11/Xlib.h>
#include <X11/keysym.h>
#include <xcb/xcb.h>
// The XKB header names a member "explicit", a keyword in C++.
#define explicit xkb_explicit
#include <xcb/xkb.h>
#undef explicit

#include <cstdlib>
#include <vector>

namespace vellicord {

struct X11HotKeys::Grab {
    Display* display = nullptr;
    xcb_connection_t* connection = nullptr;
    xcb_window_t root = 0;
    uint8_t xkbFirstEvent = 0; // 0: no XKB extension
    uint32_t carbonKeyCode = 0;
    uint32_t carbonModifiers = 0;
    bool wanted = false; // from a successful grab() until release(), whatever the keymap does
    bool regrabPending = false;
    xcb_keycode_t keycode = 0;
    uint16_t modifiers = 0;
    uint16_t lockMasks = 0; // NumLock and CapsLock: ignored when matching a press
    bool active = false;
    bool held = false;
    xcb_timestamp_t lastRelease = 0;
};

namespace {

uint16_t xModifiers(uint32_t carbon)
{
    uint16_t mask = 0;
    if (carbon & CarbonKeys::shiftKey)
        mask |= XCB_MOD_MASK_SHIFT;
    if (carbon & CarbonKeys::controlKey)
        mask |= XCB_MOD_MASK_CONTROL;
    if (carbon & CarbonKeys::optionKey)
        mask |= XCB_MOD_MASK_1;
    if (carbon & CarbonKeys::commandKey)
        mask |= XCB_MOD_MASK_4;
    return mask;
}

// The modifier bit that NumLock sets; Mod2 on nearly every keyboard map, but read it.
uint16_t numLockMask(Display* display)
{
    const KeyCode numLock = XKeysymToKeycode(display, XK_Num_Lock);
    XModifierKeymap* map = XGetModifierMapping(display);
    uint16_t mask = 0;
    if (map && numLock != 0) {
        for (int modifier = 0; modifier < 8 && mask == 0; ++modifier) {
            for (int k = 0; k < map->max_keypermod; ++k) {
                if (map->modifiermap[modifier * map->max_keypermod + k] == numLock) {
                    mask = uint16_t(1u << modifier);
                    break;
                }
            }
        }
    }
    if (map)
        XFreeModifiermap(map);
    return mask != 0 ? mask : uint16_t(XCB_MOD_MASK_2);
}

std::vector<uint16_t> variants(uint16_t numLock)
{
    return {0, XCB_MOD_MASK_LOCK, numLock, uint16_t(XCB_MOD_MASK_LOCK | numLock)};
}

} // namespace

class X11HotKeys::Filter final : public QAbstractNativeEventFilter {
public:
    explicit Filter(X11HotKeys& owner) : owner_(owner) {}

    bool nativeEventFilter(const QByteArray& type, void* message, qintptr*) override
    {
        if (type != "xcb_generic_event_t")
            return false;
        Grab& grab = *owner_.grab_;
        const auto* event = static_cast<const xcb_generic_event_t*>(message);
        const uint8_t kind = event->response_type & 0x7f;
        if (grab.wanted && isKeymapChange(grab, event)) {
            owner_.scheduleRegrab();
            return false; // Qt follows keymap changes too
        }
        if (!grab.active || (kind != XCB_KEY_PRESS && kind != XCB_KEY_RELEASE))
            return false;
        const auto* key = reinterpret_cast<const xcb_key_press_event_t*>(event);
        if (key->event != grab.root || key->detail != grab.keycode)
            return false;
        if (kind == XCB_KEY_RELEASE) {
            grab.held = false;
            grab.lastRelease = key->time;
            return true;
        }
        if ((key->state & ~grab.lockMasks & 0xff) != grab.modifiers)
            return false;
        // Auto-repeat shows as presses without releases (detectable auto-repeat) or as a release
        // and a press with the same time stamp; either way the user is still holding the keys.
        const bool repeat = grab.held || (grab.lastRelease != 0 && key->time == grab.lastRelease);
        grab.held = true;
        if (!repeat)
            owner_.notifyPressed();
        return true;
    }

private:
    static bool isKeymapChange(const Grab& grab, const xcb_generic_event_t* event)
    {
        const uint8_t kind = event->response_type & 0x7f;
        if (kind == XCB_MAPPING_NOTIFY)
            return true;
        if (grab.xkbFirstEvent == 0 || kind != grab.xkbFirstEvent)
            return false;
        // The XKB event's own kind is its second byte.
        const uint8_t xkbKind = reinterpret_cast<const uint8_t*>(event)[1];
        return xkbKind == XCB_XKB_NEW_KEYBOARD_NOTIFY || xkbKind == XCB_XKB_MAP_NOTIFY;
    }

    X11HotKeys& owner_;
};

X11HotKeys::X11HotKeys()
    : grab_(std::make_unique<Grab>())
{
    auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 = gui ? gui->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display() || !x11->connection())
        return;
    grab_->display = x11->display();
    grab_->connection = x11->connection();
    grab_->root = xcb_window_t(DefaultRootWindow(grab_->display));
    if (const xcb_query_extension_reply_t* xkb = xcb_get_extension_data(grab_->connection, &xcb_xkb_id);
        xkb && xkb->present)
        grab_->xkbFirstEvent = xkb->first_event;
    layout_ = std::make_unique<X11KeyboardLayout>(grab_->connection);
    filter_ = std::make_unique<Filter>(*this);
    QCoreApplication::instance()->installNativeEventFilter(filter_.get());
}

X11HotKeys::~X11HotKeys()
{
    release();
    if (filter_ && QCoreApplication::instance())
        QCoreApplication::instance()->removeNativeEventFilter(filter_.get());
}

bool X11HotKeys::isAvailable() const
{
    return grab_->connection != nullptr;
}

const KeyboardLayout* X11HotKeys::layout() const
{
    return layout_.get();
}

int X11HotKeys::grab(uint32_t carbonKeyCode, uint32_t carbonModifiers)
{
    release();
    if (!isAvailable())
        return unavailable;
    const int status = grabKey(carbonKeyCode, carbonModifiers);
    grab_->wanted = status == noError;
    return status;
}

int X11HotKeys::grabKey(uint32_t carbonKeyCode, uint32_t carbonModifiers)
{
    // The key's place, not the key that types its letter now: the shortcut stays on the key the
    // user chose in every layout, also in one without Latin letters.
    const std::optional<xcb_keycode_t> keycode = layout_->xKeycode(carbonKeyCode);
    if (!keycode)
        return keyInvalid;

    const uint16_t modifiers = xModifiers(carbonModifiers);
    const uint16_t numLock = numLockMask(grab_->display);
    std::vector<xcb_void_cookie_t> cookies;
    for (uint16_t variant : variants(numLock)) {
        cookies.push_back(xcb_grab_key_checked(grab_->connection, 0, grab_->root,
                                               uint16_t(modifiers | variant), *keycode,
                                               XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC));
    }
    // Every variant must be ours: a combination that another client holds in any lock state
    // would otherwise work only sometimes.
    bool taken = false;
    for (xcb_void_cookie_t cookie : cookies) {
        if (xcb_generic_error_t* error = xcb_request_check(grab_->connection, cookie)) {
            taken = true;
            std::free(error);
        }
    }
    if (taken) {
        for (uint16_t variant : variants(numLock))
            xcb_ungrab_key(grab_->connection, *keycode, grab_->root, uint16_t(modifiers | variant));
        xcb_flush(grab_->connection);
        return keyTaken;
    }
    grab_->keycode = *keycode;
    grab_->carbonKeyCode = carbonKeyCode;
    grab_->carbonModifiers = carbonModifiers;
    grab_->modifiers = modifiers;
    grab_->lockMasks = uint16_t(XCB_MOD_MASK_LOCK | numLock);
    grab_->active = true;
    grab_->held = false;
    grab_->lastRelease = 0;
    return noError;
}

void X11HotKeys::scheduleRegrab()
{
    if (grab_->regrabPending)
        return;
    // A layout change comes as several events; grab once, after the last of them. A grab refused
    // now (another client held the key for a moment) is tried again at the next change.
    grab_->regrabPending = true;
    QTimer::singleShot(0, filterContext_.get(), [this] {
        grab_->regrabPending = false;
        if (!grab_->wanted)
            return;
        ungrabKey();
        grabKey(grab_->carbonKeyCode, grab_->carbonModifiers);
    });
}

void X11HotKeys::release()
{
    grab_->wanted = false;
    ungrabKey();
}

void X11HotKeys::ungrabKey()
{
    if (!grab_->active)
        return;
    for (uint16_t variant : variants(uint16_t(grab_->lockMasks & ~XCB_MOD_MASK_LOCK))) {
        xcb_ungrab_key(grab_->connection, grab_->keycode, grab_->root,
                       uint16_t(grab_->modifiers | variant));
    }
    xcb_flush(grab_->connection);
    grab_->active = false;
    grab_->held = false;
}

} // namespace vellicord
