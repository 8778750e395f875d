#include "core/library/RgbaColor.h"

#include "core/foundation/Text.h"

#include <cstdint>

namespace vellicord {

namespace {

int hexDigit(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= u'0' && u <= u'9')
        return u - u'0';
    if (u >= u'a' && u <= u'f')
        return u - u'a' + 10;
    if (u >= u'A' && u <= u'F')
        return u - u'A' + 10;
    return -1;
}

// Base-16 parsing as the standard integer parser does it: an optional sign first, then digits
// only. A minus sign is accepted only for a value of zero (the number is unsigned).
std::optional<uint64_t> parseHex(QStringView digits)
{
    qsizetype start = 0;
    bool negative = false;
    if (!digits.isEmpty() && (digits[0] == u'+' || digits[0] == u'-')) {
        negative = digits[0] == u'-';
        start = 1;
    }
    if (start == digits.size())
        return std::nullopt;
    uint64_t value = 0;
    for (qsizetype i = start; i < digits.size(); ++i) {
        const int d = hexDigit(digits[i]);
        if (d < 0)
            return std::nullopt;
        value = value * 16 + uint64_t(d);
    }
    if (negative && value != 0)
        return std::nullopt;
    return value;
}

} // namespace

std::optional<RgbaColor> RgbaColor::fromHexString(const QString& text)
{
    const QString trimmed = Text::trimmed(text);
    QStringView rest = trimmed;
    if (rest.startsWith(u'#'))
        rest = rest.mid(1);
    if (rest.size() != 6)
        return std::nullopt;
    const auto value = parseHex(rest);
    if (!value)
        return std::nullopt;
    const uint64_t v = *value;
    return RgbaColor{double((v >> 16) & 255) / 255.0, double((v >> 8) & 255) / 255.0, double(v & 255) / 255.0, 1.0};
}

RgbaColor RgbaColor::systemTeal()
{
    return RgbaColor{48 / 255.0, 176 / 255.0, 199 / 255.0, 1.0};
}

} // namespace vellicord
