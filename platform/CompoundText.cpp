#include "platform/CompoundText.h"

#include <QByteArray>
#include <QStringDecoder>

#include <algorithm>
#include <map>
#include <utility>

namespace vellicord::CompoundText {

namespace {

constexpr char escape = '\x1b';
constexpr unsigned char directionStart = 0x9b; // CSI
constexpr char nameEnd = '\x02'; // STX ends the encoding's name in a named segment

// How the bytes of one graphic character set become text. A set that an encoding of ICU carries
// is read by it, each byte with its high bit set: the right half of an ISO 8859 part, or the EUC
// form of a national set.
struct Charset {
    enum class Kind { ascii, jisRoman, katakana, encoded };
    Kind kind = Kind::ascii;
    const char* encoding = nullptr;
    int width = 1; // bytes per character
    char prefix = 0; // put before each character (JIS X 0212 in EUC-JP)

    friend bool operator==(const Charset&, const Charset&) = default;
};

// ESC ( F and ESC ) F: the one-byte sets of 94 characters.
std::optional<Charset> set94(char final)
{
    switch (final) {
    case 'B': return Charset{Charset::Kind::ascii};
    case 'J': return Charset{Charset::Kind::jisRoman};
    case 'I': return Charset{Charset::Kind::katakana};
    default: return std::nullopt;
    }
}

// ESC - F: the right halves of the ISO 8859 parts, and Thai.
std::optional<Charset> set96(char final)
{
    static constexpr std::pair<char, const char*> parts[] = {
        {'A', "ISO-8859-1"},  {'B', "ISO-8859-2"},  {'C', "ISO-8859-3"},  {'D', "ISO-8859-4"},  {'F', "ISO-8859-7"},
        {'G', "ISO-8859-6"},  {'H', "ISO-8859-8"},  {'L', "ISO-8859-5"},  {'M', "ISO-8859-9"},  {'T', "TIS-620"},
        {'V', "ISO-8859-10"}, {'Y', "ISO-8859-13"}, {'_', "ISO-8859-14"}, {'b', "ISO-8859-15"}, {'f', "ISO-8859-16"}};
    for (const auto& [letter, encoding] : parts) {
        if (letter == final)
            return Charset{Charset::Kind::encoded, encoding};
    }
    return std::nullopt;
}

// ESC $ ( F and ESC $ ) F: the two-byte national sets.
std::optional<Charset> set94x94(char final)
{
    switch (final) {
    case 'A': return Charset{Charset::Kind::encoded, "GB2312", 2};
    case 'B': return Charset{Charset::Kind::encoded, "EUC-JP", 2};
    case 'C': return Charset{Charset::Kind::encoded, "EUC-KR", 2};
    case 'D': return Charset{Charset::Kind::encoded, "EUC-JP", 2, '\x8f'};
    default: return std::nullopt;
    }
}

class Decoder {
public:
    explicit Decoder(QByteArrayView bytes)
        : bytes_(bytes)
    {
    }

    std::optional<QString> read()
    {
        while (at_ < bytes_.size()) {
            const auto byte = static_cast<unsigned char>(bytes_[at_]);
            bool ok = true;
            if (byte == escape) {
                ok = flush() && escapeSequence();
            } else if (byte == directionStart) {
                ok = flush() && direction();
            } else if (byte <= 0x20 || byte == 0x7f) {
                // Controls, and the space, which no set changes.
                ok = flush();
                text_ += QChar(char16_t(byte));
                ++at_;
            } else if (byte < 0x80 || byte >= 0xa0) {
                ok = add(byte < 0x80 ? left_ : right_, bytes_[at_]);
                ++at_;
            } else {
                ok = false;
            }
            if (!ok)
                return std::nullopt;
        }
        if (!flush())
            return std::nullopt;
        return std::move(text_);
    }

private:
    bool escapeSequence()
    {
        const QByteArrayView rest = bytes_.sliced(at_ + 1);
        if (rest.size() >= 2 && rest[0] == '(')
            return designate(left_, set94(rest[1]), 3);
        if (rest.size() >= 2 && rest[0] == ')')
            return designate(right_, set94(rest[1]), 3);
        if (rest.size() >= 2 && rest[0] == '-')
            return designate(right_, set96(rest[1]), 3);
        if (rest.size() >= 3 && rest.startsWith("$("))
            return designate(left_, set94x94(rest[2]), 4);
        if (rest.size() >= 3 && rest.startsWith("$)"))
            return designate(right_, set94x94(rest[2]), 4);
        if (rest.startsWith("%G"))
            return utf8Segment();
        if (rest.startsWith("%/"))
            return namedSegment();
        return false;
    }

    bool designate(Charset& half, std::optional<Charset> set, qsizetype length)
    {
        if (!set)
            return false;
        half = *set;
        at_ += length;
        return true;
    }

    // ESC % G, UTF-8, up to ESC % @ or the end.
    bool utf8Segment()
    {
        const qsizetype start = at_ + 3;
        qsizetype end = bytes_.indexOf(QByteArrayView("\x1b%@"), start);
        if (end < 0)
            end = bytes_.size();
        text_ += QString::fromUtf8(bytes_.sliced(start, end - start));
        at_ = std::min(end + 3, bytes_.size());
        return true;
    }

    // ESC % / F M L, then the encoding's name, STX and the text: F tells the bytes per character,
    // M and L the length of name and text together, in two digits of seven bits.
    bool namedSegment()
    {
        if (bytes_.size() - at_ < 6)
            return false;
        const char width = bytes_[at_ + 3];
        const auto high = static_cast<unsigned char>(bytes_[at_ + 4]);
        const auto low = static_cast<unsigned char>(bytes_[at_ + 5]);
        if (width < '0' || width > '4' || high < 0x80 || low < 0x80)
            return false;
        const qsizetype start = at_ + 6;
        const qsizetype length = qsizetype(high - 0x80) * 0x80 + (low - 0x80);
        if (bytes_.size() - start < length)
            return false;
        const QByteArrayView segment = bytes_.sliced(start, length);
        const qsizetype nameLength = segment.indexOf(nameEnd);
        if (nameLength < 0)
            return false;
        // The names are X font charsets: "koi8-r", "big5-0" (a registry and its encoding).
        const QByteArray name = segment.first(nameLength).toByteArray();
        QStringDecoder* decoder = decoderFor(name);
        if (!decoder && name.contains('-'))
            decoder = decoderFor(name.first(name.lastIndexOf('-')));
        if (!decoder)
            return false;
        text_ += (*decoder)(segment.sliced(nameLength + 1));
        at_ = start + length;
        return true;
    }

    // CSI 1 ], CSI 2 ] and CSI ] mark where text of one direction begins and ends; the text
    // itself is in reading order already.
    bool direction()
    {
        const QByteArrayView rest = bytes_.sliced(at_ + 1);
        const qsizetype length = rest.startsWith("1]") || rest.startsWith("2]") ? 3 : rest.startsWith(']') ? 2 : 0;
        at_ += length;
        return length > 0;
    }

    bool add(const Charset& set, char byte)
    {
        const bool ok = set == runSet_ || flush();
        runSet_ = set;
        run_ += byte;
        return ok;
    }

    // Reads the bytes gathered for one set.
    bool flush()
    {
        const QByteArray run = std::exchange(run_, {});
        switch (runSet_.kind) {
        case Charset::Kind::ascii:
            for (const char byte : run)
                text_ += QChar(char16_t(byte & 0x7f));
            return true;
        case Charset::Kind::jisRoman:
            for (const char byte : run) {
                const char16_t c = byte & 0x7f;
                text_ += QChar(c == 0x5c ? u'\u00a5' : c == 0x7e ? u'\u203e' : c);
            }
            return true;
        case Charset::Kind::katakana:
            for (const char byte : run) {
                const char16_t c = byte & 0x7f;
                text_ += QChar(c >= 0x21 && c <= 0x5f ? char16_t(0xff61 + c - 0x21) : u'\ufffd');
            }
            return true;
        case Charset::Kind::encoded: break;
        }
        if (run.isEmpty())
            return true;
        QStringDecoder* decoder = decoderFor(runSet_.encoding);
        if (!decoder)
            return false;
        QByteArray encoded;
        encoded.reserve(run.size() * (runSet_.prefix ? 2 : 1));
        for (qsizetype i = 0; i < run.size(); ++i) {
            if (runSet_.prefix && i % runSet_.width == 0)
                encoded += runSet_.prefix;
            encoded += char(run[i] | 0x80);
        }
        text_ += (*decoder)(encoded);
        return true;
    }

    QStringDecoder* decoderFor(const QByteArray& name)
    {
        auto found = decoders_.find(name);
        if (found == decoders_.end())
            found = decoders_.emplace(name, QStringDecoder(name.constData(), QStringDecoder::Flag::Stateless)).first;
        return found->second.isValid() ? &found->second : nullptr;
    }

    QByteArrayView bytes_;
    qsizetype at_ = 0;
    // The sets the left half (bytes below 0x80) and the right half stand for; at first ASCII and
    // the right half of Latin-1.
    Charset left_;
    Charset right_{Charset::Kind::encoded, "ISO-8859-1"};
    Charset runSet_;
    QByteArray run_;
    QString text_;
    std::map<QByteArray, QStringDecoder> decoders_;
};

} // namespace

std::optional<QString> decode(QByteArrayView bytes)
{
    return Decoder(bytes).read();
}

} // namespace vellicord::CompoundText
