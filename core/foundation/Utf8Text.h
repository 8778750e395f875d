#pragma once

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <string_view>

namespace vellicord {

// A text kept as UTF-8, as the library file holds it, and made a QString where it is read. The
// passages of a library are most of its memory, and the Latin text most of them are takes half the
// room in UTF-8 that it takes in UTF-16; the file's own bytes are kept without converting them.
// Copies share one text. A text that UTF-8 cannot hold exactly, one with an unpaired UTF-16
// surrogate (which only text from outside the library brings), keeps its UTF-16 units instead, so
// that every text reads back as it was given.
class Utf8Text {
public:
    Utf8Text() = default;
    // Implicit, as the QString fields it stands for took QStrings.
    Utf8Text(const QString& text); // NOLINT(google-explicit-constructor)
    // Bytes that are valid UTF-8, as a JSON parser gives them.
    static Utf8Text fromUtf8(std::string_view utf8);

    QString toString() const;
    operator QString() const { return toString(); } // NOLINT(google-explicit-constructor)

    bool isEmpty() const { return bytes_.isEmpty(); }
    // Whether it is held as UTF-8; else as the UTF-16 units of a text UTF-8 cannot hold.
    bool isUtf8() const { return bytes_.isEmpty() || bytes_.front() != utf16Mark; }
    // Its UTF-8 bytes, when isUtf8().
    std::string_view utf8() const { return std::string_view(bytes_.constData(), size_t(bytes_.size())); }
    // Its UTF-8 form, an unpaired surrogate written as U+FFFD, as every file and clipboard has it.
    QByteArray toUtf8() const;
    // The memory its characters take: what reading it whole costs.
    qsizetype byteSize() const { return bytes_.size(); }

    // The character that starts at `p` in valid UTF-8; `p` moves past it.
    static char32_t next(const char*& p)
    {
        const auto b = static_cast<unsigned char>(*p++);
        if (b < 0x80)
            return b;
        if (b < 0xE0)
            return char32_t(b & 0x1F) << 6 | continuation(p);
        if (b < 0xF0) {
            const char32_t high = char32_t(b & 0x0F) << 12 | continuation(p) << 6;
            return high | continuation(p);
        }
        const char32_t high = char32_t(b & 0x07) << 18 | continuation(p) << 12;
        const char32_t middle = continuation(p) << 6;
        return high | middle | continuation(p);
    }

    // Whether the two are copies of one text, which makes them equal without reading them.
    bool isSharedWith(const Utf8Text& other) const
    {
        return bytes_.constData() == other.bytes_.constData() && bytes_.size() == other.bytes_.size();
    }

    // The same characters, unit for unit (canonically equivalent texts can differ).
    friend bool operator==(const Utf8Text& a, const Utf8Text& b) { return a.bytes_ == b.bytes_; }
    friend bool operator==(const Utf8Text& a, const QString& b) { return a == Utf8Text(b); }
    friend bool operator==(const QString& a, const Utf8Text& b) { return Utf8Text(a) == b; }

private:
    static char32_t continuation(const char*& p) { return char32_t(static_cast<unsigned char>(*p++) & 0x3F); }

    // Never a byte of UTF-8: the units of a text UTF-8 cannot hold follow it.
    static constexpr char utf16Mark = '\xFF';

    QByteArray bytes_;
};

} // namespace vellicord
