#pragma once

#include "platform/KeyEvents.h"
#include "platform/xdg/CopyKeys.h"

#include <QSet>

#include <chrono>
#include <memory>

namespace vellicord {

class X11Connection;

// The copy command through XTest: Control-C, or Control-Shift-C in terminals (where Control-C
// interrupts); nothing for terminals that copy only by selecting. Waits for the user's shortcut
// keys to be let go first, so they do not turn the copy into another command.
class X11KeyEvents final : public KeyEvents {
public:
    X11KeyEvents();
    ~X11KeyEvents() override;

    static constexpr std::chrono::milliseconds modifierWait{500};
    static constexpr std::chrono::milliseconds keyHold{30};

    bool postCopyCommand(const std::optional<QString>& bundleIdentifier) override;

private:
    void waitForModifierRelease();
    struct Keycodes {
        quint8 control;
        quint8 shift;
        quint8 letter;
    };
    // Read from the current layout each time, as the user may switch layouts between captures.
    Keycodes keycodes();

    std::unique_ptr<X11Connection> x11_;
};

} // namespace vellicord
