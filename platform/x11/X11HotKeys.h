#pragma once

#include "platform/HotKeys.h"

#include <memory>

namespace vellicord {

// The global shortcut on X11: a checked key grab on the root window through Qt's own X11
// connection, for each combination of NumLock and CapsLock with the wanted modifiers (an X grab
// matches the modifier state exactly). Command is Super (Mod4), option is Alt (Mod1).
// Needs a QGuiApplication on the xcb platform; elsewhere it is unavailable.
class X11HotKeys final : public HotKeys {
public:
    X11HotKeys();
    ~X11HotKeys() override;

    bool isAvailable() const override;
    int grab(uint32_t carbonKeyCode, uint32_t carbonModifiers) override;
    void release() override;

private:
    struct Grab;
    class Filter;
    std::unique_ptr<Grab> grab_;
    std::unique_ptr<Filter> filter_;
};

} // namespace vellicord
