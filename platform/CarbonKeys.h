#pragma once

#include <QString>

#include <cstdint>
#include <optional>
#include <string_view>

namespace vellicord {

class KeyboardLayout;

// The shortcut is kept as a Carbon virtual key code and Carbon modifier bits, so that a stored
// shortcut means the same key everywhere. A Carbon key code names a key by its place on the
// keyboard (the place of C on a US layout is key code 8, whatever the layout types there). This
// table maps those codes to what the desktop knows: the place's XKB key name for grabbing and for
// reading key events, Qt keys for key events that carry no scan code, and the key's name.
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
// The key at the place with this XKB name; none for places not in the table.
std::optional<uint32_t> fromPlaceName(std::string_view name);

// The keyboard that key events and key names are read from, for as long as this lives (the
// program's run, a test). Without one, keys are named as on a US layout and key events are known
// by their Qt key. Main thread only.
class LayoutInUse {
public:
    explicit LayoutInUse(const KeyboardLayout* layout);
    ~LayoutInUse();
    LayoutInUse(const LayoutInUse&) = delete;
    LayoutInUse& operator=(const LayoutInUse&) = delete;

private:
    const KeyboardLayout* previous_;
};
// The key of a key press: its place, from the native scan code, when there is a keyboard and the
// event carries one; else the key whose unshifted US character is Qt's key. None for modifiers
// alone and for keys not in the table.
std::optional<uint32_t> fromKeyEvent(uint32_t nativeScanCode, int qtKey);
// The key as Linux desktops write it in a shortcut: the upper-cased character it types in the
// layout in use (else on a US layout), the key's name for keys that type none ("Return", "Tab",
// "Backspace", "Esc", "Left"), "F1" for function keys, "?" for codes not in the table.
QString keyName(uint32_t carbonKeyCode);

} // namespace CarbonKeys
} // namespace vellicord
