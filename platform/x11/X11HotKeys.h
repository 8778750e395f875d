#pragma once

#include "platform/HotKeys.h"

#include <QObject>

#include <memory>

namespace vellicord {

class KeyboardLayout;
class X11KeyboardLayout;

// The global shortcut on X11: a checked key grab on the root window through Qt's own X11
// connection, for each combination of NumLock and CapsLock with the wanted modifiers (an X grab
// matches the modifier state exactly). Command is Super (Mod4), option is Alt (Mod1).
// The key is grabbed at its place on the keyboard, and grabbed again whenever the keyboard map
// changes. Needs a QGuiApplication on the xcb platform; elsewhere it is unavailable.
class X11HotKeys final : public HotKeys {
public:
    X11HotKeys();
    ~X11HotKeys() override;

    bool isAvailable() const override;
    int grab(uint32_t carbonKeyCode, uint32_t carbonModifiers) override;
    void release() override;
    // The keyboard the grabs are made on, for reading key events and naming keys; null when
    // unavailable.
    const KeyboardLayout* layout() const;

private:
    int grabKey(uint32_t carbonKeyCode, uint32_t carbonModifiers);
    void ungrabKey();
    // After the keyboard map changes, the key may sit on another key code: grab it anew.
    void scheduleRegrab();

    struct Grab;
    class Filter;
    std::unique_ptr<Grab> grab_;
    std::unique_ptr<X11KeyboardLayout> layout_;
    std::unique_ptr<Filter> filter_;
    std::unique_ptr<QObject> filterContext_ = std::make_unique<QObject>(); // ends pending re-grabs with this object
};

} // namespace vellicord
