#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <string_view>

namespace vellicord {

// The shortcut is kept as a Carbon virtual key code and Carbon modifier bits, so that a stored
// shortcut means the same key everywhere. A Carbon key code names a key by its place on the
// keyboard (the place of C on a US layout is key code 8, whatever the layout types there). This
// table maps those codes to what the desktop knows: the place's XKB key name for grabbing, Qt keys
// for recording, and the key's name shown to the user.
namespace CarbonKeys {

inline constexpr uint32_t commandKey = 0x100;
inline constexpr uint32_t shiftKey = 0x200;
inline constexpr uint32_t optionKey = 0x800;
inline constexpr uint32_t controlKey = 0x1000;
inline constexpr uint32_t modifierMask = commandKey | shiftKey | optionKey | controlKey;

inline constexpr uint32_t escapeKeyCode = 53;

// The XKB name of the key's place ("AB03": the third key of the bottom letter row); empty for
// codes not in the table.
std::string_view placeName(uint32_t carbonKeyCode);
// The Carbon key code of a Qt key (Qt::Key value), shifted US symbols included ("!" is the 1 key);
// none for modifiers alone and for keys not in the table.
std::optional<uint32_t> fromQtKey(int qtKey);
// The key as Linux desktops write it in a shortcut: the upper-cased character it types on a US
// layout, the key's name for keys that type none ("Return", "Tab", "Backspace", "Esc", "Left"),
// "F1" for function keys, "?" for codes not in the table.
QString keyName(uint32_t carbonKeyCode);

} // namespace CarbonKeys
} // namespace vellicord
