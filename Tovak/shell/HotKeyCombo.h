#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <Qt>

#include <cstdint>
#include <optional>

namespace vellicord {

// The capture shortcut: a Carbon key code and Carbon modifier bits (command 0x100, shift 0x200,
// option 0x800, control 0x1000), stored as {"keyCode":…,"modsCarbon":…}.
struct HotKeyCombo {
    uint32_t keyCode = 8;       // C
    uint32_t modsCarbon = 0x1900; // control, option, command

    static HotKeyCombo defaultCombo() { return {}; }

    // As Linux desktops write a shortcut: the modifiers in the order Ctrl, Alt, Shift, Super, then
    // the key, joined by "+" ("Ctrl+Alt+Super+C").
    QString display() const;

    QByteArray json() const;
    // Both members must be unsigned 32-bit integers; other members are ignored.
    static std::optional<HotKeyCombo> fromJson(QByteArrayView json);

    // The Carbon mask of Qt's modifiers: Meta (the Super key) is command, Alt is option.
    // Keypad and group-switch flags are ignored.
    static uint32_t carbonMods(Qt::KeyboardModifiers modifiers);

    friend bool operator==(const HotKeyCombo&, const HotKeyCombo&) = default;
};

} // namespace vellicord
