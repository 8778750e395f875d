#include "core/foundation/UuidText.h"

#include <array>

namespace vellicord::UuidText {

namespace {

constexpr char hexDigits[] = "0123456789ABCDEF";

std::array<uchar, 16> bytesOf(const QUuid& id)
{
    return {uchar(id.data1 >> 24), uchar(id.data1 >> 16), uchar(id.data1 >> 8), uchar(id.data1),
            uchar(id.data2 >> 8), uchar(id.data2), uchar(id.data3 >> 8), uchar(id.data3),
            id.data4[0], id.data4[1], id.data4[2], id.data4[3],
            id.data4[4], id.data4[5], id.data4[6], id.data4[7]};
}

void writeText(char* out, const QUuid& id)
{
    const auto bytes = bytesOf(id);
    int pos = 0;
    for (int i = 0; i < 16; ++i) {
        if (i == 4 || i == 6 || i == 8 || i == 10)
            out[pos++] = '-';
        out[pos++] = hexDigits[bytes[size_t(i)] >> 4];
        out[pos++] = hexDigits[bytes[size_t(i)] & 0xF];
    }
}

int hexValue(char16_t c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

template <typename At>
std::optional<QUuid> parseChars(qsizetype size, At at)
{
    if (size != 36)
        return std::nullopt;
    uchar bytes[16];
    int byte = 0;
    for (qsizetype i = 0; i < 36;) {
        if (i == 8 || i == 13 || i == 18 || i == 23) {
            if (at(i) != u'-')
                return std::nullopt;
            ++i;
            continue;
        }
        const int hi = hexValue(at(i));
        const int lo = hexValue(at(i + 1));
        if (hi < 0 || lo < 0)
            return std::nullopt;
        bytes[byte++] = uchar((hi << 4) | lo);
        i += 2;
    }
    return QUuid(uint(bytes[0]) << 24 | uint(bytes[1]) << 16 | uint(bytes[2]) << 8 | bytes[3],
                 ushort(bytes[4] << 8 | bytes[5]), ushort(bytes[6] << 8 | bytes[7]),
                 bytes[8], bytes[9], bytes[10], bytes[11], bytes[12], bytes[13], bytes[14], bytes[15]);
}

} // namespace

QString format(const QUuid& id)
{
    char text[36];
    writeText(text, id);
    return QString::fromLatin1(text, 36);
}

void appendUtf8(std::string& out, const QUuid& id)
{
    char text[36];
    writeText(text, id);
    out.append(text, 36);
}

std::optional<QUuid> parse(QStringView text)
{
    return parseChars(text.size(), [&](qsizetype i) { return text[i].unicode(); });
}

std::optional<QUuid> parse(std::string_view utf8)
{
    return parseChars(qsizetype(utf8.size()), [&](qsizetype i) { return char16_t(uchar(utf8[size_t(i)])); });
}

} // namespace vellicord::UuidText
