#include "platform/NativePath.h"

namespace vellicord::NativePath {
namespace {

constexpr char16_t escapeBase = 0xDC00;

// The length of the valid UTF-8 sequence at the start of the bytes, 0 when there is none there:
// no overlong forms, no encoded surrogates, nothing above U+10FFFF.
qsizetype validSequence(QByteArrayView bytes)
{
    const auto at = [&](qsizetype i) { return static_cast<unsigned char>(bytes[i]); };
    const auto continuation = [&](qsizetype i) { return i < bytes.size() && (at(i) & 0xC0) == 0x80; };
    const unsigned char lead = at(0);
    if (lead < 0x80)
        return 1;
    if (lead >= 0xC2 && lead <= 0xDF)
        return continuation(1) ? 2 : 0;
    if (lead >= 0xE0 && lead <= 0xEF) {
        if (!continuation(1) || !continuation(2))
            return 0;
        if ((lead == 0xE0 && at(1) < 0xA0) || (lead == 0xED && at(1) >= 0xA0))
            return 0;
        return 3;
    }
    if (lead >= 0xF0 && lead <= 0xF4) {
        if (!continuation(1) || !continuation(2) || !continuation(3))
            return 0;
        if ((lead == 0xF0 && at(1) < 0x90) || (lead == 0xF4 && at(1) >= 0x90))
            return 0;
        return 4;
    }
    return 0;
}

bool isEscape(QStringView path, qsizetype i)
{
    const char16_t unit = path[i].unicode();
    // A low surrogate after a high one is half of a character, not an escaped byte.
    return unit >= escapeBase + 0x80 && unit <= escapeBase + 0xFF && !(i > 0 && path[i - 1].isHighSurrogate());
}

} // namespace

QString decode(QByteArrayView bytes)
{
    QString path;
    path.reserve(bytes.size());
    qsizetype i = 0;
    while (i < bytes.size()) {
        qsizetype valid = 0;
        while (i + valid < bytes.size()) {
            const qsizetype length = validSequence(bytes.sliced(i + valid));
            if (length == 0)
                break;
            valid += length;
        }
        path += QString::fromUtf8(bytes.sliced(i, valid));
        i += valid;
        if (i < bytes.size())
            path += QChar(char16_t(escapeBase + static_cast<unsigned char>(bytes[i++])));
    }
    return path;
}

QByteArray encode(QStringView path)
{
    QByteArray bytes;
    bytes.reserve(path.size());
    qsizetype from = 0;
    for (qsizetype i = 0; i < path.size(); ++i) {
        if (!isEscape(path, i))
            continue;
        bytes += path.sliced(from, i - from).toUtf8();
        bytes += char(path[i].unicode() - escapeBase);
        from = i + 1;
    }
    bytes += path.sliced(from).toUtf8();
    return bytes;
}

} // namespace vellicord::NativePath
