#include "platform/CarbonKeys.h"

#include "platform/KeyboardLayout.h"

#include <Qt>

#include <array>
#include <utility>

namespace vellicord::CarbonKeys {
namespace {

struct Key {
    uint32_t carbon;
    const char* place; // the XKB key name; the same in the evdev and the older XFree86 key codes
    int qtKey;
    char16_t character; // what the key types without modifiers on a US layout; 0 for named keys
    const char16_t* name = nullptr;
};

// Carbon codes are the ANSI key positions of a Mac keyboard (kVK_ANSI_A = 0 and so on).
constexpr std::array keys{
    Key{0x00, "AC01", Qt::Key_A, u'a'}, Key{0x01, "AC02", Qt::Key_S, u's'},
    Key{0x02, "AC03", Qt::Key_D, u'd'}, Key{0x03, "AC04", Qt::Key_F, u'f'},
    Key{0x04, "AC06", Qt::Key_H, u'h'}, Key{0x05, "AC05", Qt::Key_G, u'g'},
    Key{0x06, "AB01", Qt::Key_Z, u'z'}, Key{0x07, "AB02", Qt::Key_X, u'x'},
    Key{0x08, "AB03", Qt::Key_C, u'c'}, Key{0x09, "AB04", Qt::Key_V, u'v'},
    Key{0x0B, "AB05", Qt::Key_B, u'b'}, Key{0x0C, "AD01", Qt::Key_Q, u'q'},
    Key{0x0D, "AD02", Qt::Key_W, u'w'}, Key{0x0E, "AD03", Qt::Key_E, u'e'},
    Key{0x0F, "AD04", Qt::Key_R, u'r'}, Key{0x10, "AD06", Qt::Key_Y, u'y'},
    Key{0x11, "AD05", Qt::Key_T, u't'}, Key{0x12, "AE01", Qt::Key_1, u'1'},
    Key{0x13, "AE02", Qt::Key_2, u'2'}, Key{0x14, "AE03", Qt::Key_3, u'3'},
    Key{0x15, "AE04", Qt::Key_4, u'4'}, Key{0x16, "AE06", Qt::Key_6, u'6'},
    Key{0x17, "AE05", Qt::Key_5, u'5'}, Key{0x18, "AE12", Qt::Key_Equal, u'='},
    Key{0x19, "AE09", Qt::Key_9, u'9'}, Key{0x1A, "AE07", Qt::Key_7, u'7'},
    Key{0x1B, "AE11", Qt::Key_Minus, u'-'}, Key{0x1C, "AE08", Qt::Key_8, u'8'},
    Key{0x1D, "AE10", Qt::Key_0, u'0'}, Key{0x1E, "AD12", Qt::Key_BracketRight, u']'},
    Key{0x1F, "AD09", Qt::Key_O, u'o'}, Key{0x20, "AD07", Qt::Key_U, u'u'},
    Key{0x21, "AD11", Qt::Key_BracketLeft, u'['}, Key{0x22, "AD08", Qt::Key_I, u'i'},
    Key{0x23, "AD10", Qt::Key_P, u'p'}, Key{0x24, "RTRN", Qt::Key_Return, 0, u"Return"},
    Key{0x25, "AC09", Qt::Key_L, u'l'}, Key{0x26, "AC07", Qt::Key_J, u'j'},
    Key{0x27, "AC11", Qt::Key_Apostrophe, u'\''}, Key{0x28, "AC08", Qt::Key_K, u'k'},
    Key{0x29, "AC10", Qt::Key_Semicolon, u';'}, Key{0x2A, "BKSL", Qt::Key_Backslash, u'\\'},
    Key{0x2B, "AB08", Qt::Key_Comma, u','}, Key{0x2C, "AB10", Qt::Key_Slash, u'/'},
    Key{0x2D, "AB06", Qt::Key_N, u'n'}, Key{0x2E, "AB07", Qt::Key_M, u'm'},
    Key{0x2F, "AB09", Qt::Key_Period, u'.'}, Key{0x30, "TAB", Qt::Key_Tab, 0, u"Tab"},
    Key{0x31, "SPCE", Qt::Key_Space, 0, u"Space"}, Key{0x32, "TLDE", Qt::Key_QuoteLeft, u'`'},
    Key{0x33, "BKSP", Qt::Key_Backspace, 0, u"Backspace"}, Key{0x35, "ESC", Qt::Key_Escape, 0, u"Esc"},
    Key{0x60, "FK05", Qt::Key_F5, 0, u"F5"}, Key{0x61, "FK06", Qt::Key_F6, 0, u"F6"},
    Key{0x62, "FK07", Qt::Key_F7, 0, u"F7"}, Key{0x63, "FK03", Qt::Key_F3, 0, u"F3"},
    Key{0x64, "FK08", Qt::Key_F8, 0, u"F8"}, Key{0x65, "FK09", Qt::Key_F9, 0, u"F9"},
    Key{0x67, "FK11", Qt::Key_F11, 0, u"F11"}, Key{0x6D, "FK10", Qt::Key_F10, 0, u"F10"},
    Key{0x6F, "FK12", Qt::Key_F12, 0, u"F12"}, Key{0x73, "HOME", Qt::Key_Home, 0, u"Home"},
    Key{0x74, "PGUP", Qt::Key_PageUp, 0, u"PgUp"}, Key{0x75, "DELE", Qt::Key_Delete, 0, u"Del"},
    Key{0x76, "FK04", Qt::Key_F4, 0, u"F4"}, Key{0x77, "END", Qt::Key_End, 0, u"End"},
    Key{0x78, "FK02", Qt::Key_F2, 0, u"F2"}, Key{0x79, "PGDN", Qt::Key_PageDown, 0, u"PgDown"},
    Key{0x7A, "FK01", Qt::Key_F1, 0, u"F1"}, Key{0x7B, "LEFT", Qt::Key_Left, 0, u"Left"},
    Key{0x7C, "RGHT", Qt::Key_Right, 0, u"Right"}, Key{0x7D, "DOWN", Qt::Key_Down, 0, u"Down"},
    Key{0x7E, "UP", Qt::Key_Up, 0, u"Up"},
};

const KeyboardLayout* layout = nullptr; // main thread only, like every key event

const Key* find(uint32_t carbonKeyCode)
{
    for (const Key& key : keys) {
        if (key.carbon == carbonKeyCode)
            return &key;
    }
    return nullptr;
}

} // namespace

std::string_view placeName(uint32_t carbonKeyCode)
{
    const Key* key = find(carbonKeyCode);
    return key ? key->place : std::string_view();
}

std::optional<uint32_t> fromPlaceName(std::string_view name)
{
    for (const Key& key : keys) {
        if (key.place == name)
            return key.carbon;
    }
    return std::nullopt;
}

LayoutInUse::LayoutInUse(const KeyboardLayout* keyboard)
    : previous_(std::exchange(layout, keyboard))
{
}

LayoutInUse::~LayoutInUse()
{
    layout = previous_;
}

std::optional<uint32_t> fromKeyEvent(uint32_t nativeScanCode, int qtKey)
{
    // Qt's key is what the layout typed: on AZERTY the 1 key gives "&", in a Cyrillic group the
    // R key gives "К". Only the scan code says which key was pressed.
    if (layout && nativeScanCode != 0)
        return layout->keyCode(nativeScanCode);
    for (const Key& key : keys) {
        if (key.qtKey == qtKey)
            return key.carbon;
    }
    return std::nullopt;
}

QString keyName(uint32_t carbonKeyCode)
{
    const Key* key = find(carbonKeyCode);
    if (!key)
        return QStringLiteral("?");
    if (key->name)
        return QString::fromUtf16(key->name);
    const QString typed = layout ? layout->text(carbonKeyCode) : QString();
    return (typed.isEmpty() ? QString(QChar(key->character)) : typed).toUpper();
}

} // namespace vellicord::CarbonKeys
