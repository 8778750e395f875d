#pragma once

#include "Tovak/shell/HotKeyCombo.h"

#include <functional>
#include <optional>

namespace vellicord {

class Defaults;
class HotKeys;

// Owns the one global capture shortcut: registers it with the desktop, remembers the combination
// last registered and keeps it in the defaults under "captureHotKeyCombo". Main thread only.
class HotKeyManager {
public:
    static inline const QString defaultsKey = QStringLiteral("captureHotKeyCombo");

    HotKeyManager(HotKeys& hotKeys, Defaults& defaults);
    ~HotKeyManager();
    HotKeyManager(const HotKeyManager&) = delete;
    HotKeyManager& operator=(const HotKeyManager&) = delete;

    // Called for every press of the registered shortcut.
    std::function<void()> onCapture;

    const HotKeyCombo& currentCombo() const { return current_; }
    bool isRegistered() const { return registered_; }

    // Replaces the registration with one for the combination; true on success, and the
    // combination is then current and stored. When the desktop refuses it, the shortcut that was
    // in force before is registered again, so the user is never left without one.
    bool registerCombo(const HotKeyCombo& combo);
    // Releases the registration (at termination); the stored combination stays.
    void release();

    static std::optional<HotKeyCombo> loadCombo(const Defaults& defaults);
    static void saveCombo(Defaults& defaults, const HotKeyCombo& combo);

private:
    HotKeys& hotKeys_;
    Defaults& defaults_;
    HotKeyCombo current_;
    bool registered_ = false;
};

} // namespace vellicord
