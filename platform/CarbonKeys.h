#pragma once

#include <QString>

#include <cstdint>
#include <optional>

namespace vellicord {

// The shortcut is kept as a Carbon virtual key code and Carbon modifier bits, so that a stored
// shortcut means the same key everywhere. This table maps those codes to what the desktop knows:
// X keysyms for grabbing, Qt keys for recording, and the key's name shown to the user.
namespace CarbonKeys {

inline constexpr uint32_t commandKey = 0x100;
inline constexpr uint32_t shiftKey = 0x200;
inline constexpr uint32_t optionKey = 0x800;
inline constexpr uint32_t controlKey = 0x1000;
inline constexpr uint32_t modifierMask = commandKey | shiftKey | optionKey | controlKey;

inline constexpr uint32_t escapeKeyCode = 53;

// The X keysym that the key types without modifiers on a US layout; none for codes not in the table.
std::optional<uint32_t> keysym(uint32_t carbonKeyCode);
// The Carbon key code of a Qt key (Qt::Key value), shifted US symbols included ("!" is the 1 key);
// none for modifiers alone and for keys not in the table.
std::optional<uint32_t> fromQtKey(int qtKey);
// The key as Linux desktops write it in a shortcut: the upper-cased character, the key's name for
// keys that type none ("Return", "Tab", "Backspace", "Esc", "Left"), "F1" for function keys, "?"
// for codes not in the table.
QString keyName(uint32_t carbonKeyCode);

} // namespace CarbonKeys
} // namespace vellicord
