#include "platform/CarbonKeys.h"

#include <Qt>

#include <array>

namespace vellicord::CarbonKeys {
namespace {

struct Key {
    uint32_t carbon;
    uint32_t keysym;
    int qtKey;
    int shiftedQtKey; // the Qt key the same key gives with Shift on a US layout, 0 when the same
    const char16_t* name; // null: the keysym's character, upper-cased
};

// Carbon codes are the ANSI key positions of a Mac keyboard (kVK_ANSI_A = 0 and so on).
constexpr std::array keys{
    Key{0x00, 'a', Qt::Key_A, 0, nullptr}, Key{0x01, 's', Qt::Key_S, 0, nullptr},
    Key{0x02, 'd', Qt::Key_D, 0, nullptr}, Key{0x03, 'f', Qt::Key_F, 0, nullptr},
    Key{0x04, 'h', Qt::Key_H, 0, nullptr}, Key{0x05, 'g', Qt::Key_G, 0, nullptr},
    Key{0x06, 'z', Qt::Key_Z, 0, nullptr}, Key{0x07, 'x', Qt::Key_X, 0, nullptr},
    Key{0x08, 'c', Qt::Key_C, 0, nullptr}, Key{0x09, 'v', Qt::Key_V, 0, nullptr},
    Key{0x0B, 'b', Qt::Key_B, 0, nullptr}, Key{0x0C, 'q', Qt::Key_Q, 0, nullptr},
    Key{0x0D, 'w', Qt::Key_W, 0, nullptr}, Key{0x0E, 'e', Qt::Key_E, 0, nullptr},
    Key{0x0F, 'r', Qt::Key_R, 0, nullptr}, Key{0x10, 'y', Qt::Key_Y, 0, nullptr},
    Key{0x11, 't', Qt::Key_T, 0, nullptr}, Key{0x12, '1', Qt::Key_1, Qt::Key_Exclam, nullptr},
    Key{0x13, '2', Qt::Key_2, Qt::Key_At, nullptr}, Key{0x14, '3', Qt::Key_3, Qt::Key_NumberSign, nullptr},
    Key{0x15, '4', Qt::Key_4, Qt::Key_Dollar, nullptr}, Key{0x16, '6', Qt::Key_6, Qt::Key_AsciiCircum, nullptr},
    Key{0x17, '5', Qt::Key_5, Qt::Key_Percent, nullptr}, Key{0x18, '=', Qt::Key_Equal, Qt::Key_Plus, nullptr},
    Key{0x19, '9', Qt::Key_9, Qt::Key_ParenLeft, nullptr}, Key{0x1A, '7', Qt::Key_7, Qt::Key_Ampersand, nullptr},
    Key{0x1B, '-', Qt::Key_Minus, Qt::Key_Underscore, nullptr}, Key{0x1C, '8', Qt::Key_8, Qt::Key_Asterisk, nullptr},
    Key{0x1D, '0', Qt::Key_0, Qt::Key_ParenRight, nullptr}, Key{0x1E, ']', Qt::Key_BracketRight, Qt::Key_BraceRight, nullptr},
    Key{0x1F, 'o', Qt::Key_O, 0, nullptr}, Key{0x20, 'u', Qt::Key_U, 0, nullptr},
    Key{0x21, '[', Qt::Key_BracketLeft, Qt::Key_BraceLeft, nullptr}, Key{0x22, 'i', Qt::Key_I, 0, nullptr},
    Key{0x23, 'p', Qt::Key_P, 0, nullptr}, Key{0x24, 0xff0d, Qt::Key_Return, Qt::Key_Enter, u"Return"},
    Key{0x25, 'l', Qt::Key_L, 0, nullptr}, Key{0x26, 'j', Qt::Key_J, 0, nullptr},
    Key{0x27, '\'', Qt::Key_Apostrophe, Qt::Key_QuoteDbl, nullptr}, Key{0x28, 'k', Qt::Key_K, 0, nullptr},
    Key{0x29, ';', Qt::Key_Semicolon, Qt::Key_Colon, nullptr}, Key{0x2A, '\\', Qt::Key_Backslash, Qt::Key_Bar, nullptr},
    Key{0x2B, ',', Qt::Key_Comma, Qt::Key_Less, nullptr}, Key{0x2C, '/', Qt::Key_Slash, Qt::Key_Question, nullptr},
    Key{0x2D, 'n', Qt::Key_N, 0, nullptr}, Key{0x2E, 'm', Qt::Key_M, 0, nullptr},
    Key{0x2F, '.', Qt::Key_Period, Qt::Key_Greater, nullptr}, Key{0x30, 0xff09, Qt::Key_Tab, Qt::Key_Backtab, u"Tab"},
    Key{0x31, ' ', Qt::Key_Space, 0, u"Space"}, Key{0x32, '`', Qt::Key_QuoteLeft, Qt::Key_AsciiTilde, nullptr},
    Key{0x33, 0xff08, Qt::Key_Backspace, 0, u"Backspace"}, Key{0x35, 0xff1b, Qt::Key_Escape, 0, u"Esc"},
    Key{0x60, 0xffc2, Qt::Key_F5, 0, u"F5"}, Key{0x61, 0xffc3, Qt::Key_F6, 0, u"F6"},
    Key{0x62, 0xffc4, Qt::Key_F7, 0, u"F7"}, Key{0x63, 0xffc0, Qt::Key_F3, 0, u"F3"},
    Key{0x64, 0xffc5, Qt::Key_F8, 0, u"F8"}, Key{0x65, 0xffc6, Qt::Key_F9, 0, u"F9"},
    Key{0x67, 0xffc8, Qt::Key_F11, 0, u"F11"}, Key{0x6D, 0xffc7, Qt::Key_F10, 0, u"F10"},
    Key{0x6F, 0xffc9, Qt::Key_F12, 0, u"F12"}, Key{0x73, 0xff50, Qt::Key_Home, 0, u"Home"},
    Key{0x74, 0xff55, Qt::Key_PageUp, 0, u"PgUp"}, Key{0x75, 0xffff, Qt::Key_Delete, 0, u"Del"},
    Key{0x76, 0xffc1, Qt::Key_F4, 0, u"F4"}, Key{0x77, 0xff57, Qt::Key_End, 0, u"End"},
    Key{0x78, 0xffbf, Qt::Key_F2, 0, u"F2"}, Key{0x79, 0xff56, Qt::Key_PageDown, 0, u"PgDown"},
    Key{0x7A, 0xffbe, Qt::Key_F1, 0, u"F1"}, Key{0x7B, 0xff51, Qt::Key_Left, 0, u"Left"},
    Key{0x7C, 0xff53, Qt::Key_Right, 0, u"Right"}, Key{0x7D, 0xff54, Qt::Key_Down, 0, u"Down"},
    Key{0x7E, 0xff52, Qt::Key_Up, 0, u"Up"},
};

const Key* find(uint32_t carbonKeyCode)
{
    for (const Key& key : keys) {
        if (key.carbon == carbonKeyCode)
            return &key;
    }
    return nullptr;
}

} // namespace

std::optional<uint32_t> keysym(uint32_t carbonKeyCode)
{
    if (const Key* key = find(carbonKeyCode))
        return key->keysym;
    return std::nullopt;
}

std::optional<uint32_t> fromQtKey(int qtKey)
{
    for (const Key& key : keys) {
        if (key.qtKey == qtKey || (key.shiftedQtKey != 0 && key.shiftedQtKey == qtKey))
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
    return QString(QChar(char16_t(key->keysym))).toUpper();
}

} // namespace vellicord::CarbonKeys
