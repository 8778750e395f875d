#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace vellicord {

// The keyboard as the desktop has it now: which key a key event came from, and what a key types
// in the layout in use. Keys are known by their place, as Carbon key codes (CarbonKeys.h), so a
// shortcut stays on its key whatever the layout.
class KeyboardLayout {
public:
    virtual ~KeyboardLayout() = default;
    // The key with this native scan code (the X key code); none for keys not in the table.
    virtual std::optional<uint32_t> keyCode(uint32_t nativeScanCode) const = 0;
    // What the key types without modifiers in the active layout; empty when it types no character.
    virtual QString text(uint32_t carbonKeyCode) const = 0;
};

} // namespace vellicord
