#include "core/foundation/JsonWriter.h"

#include "core/foundation/IsoDate.h"
#include "core/foundation/UuidText.h"

#include <QtGlobal>

#ifdef __SSE2__
#include <emmintrin.h>
#endif

#include <cmath>
#include <cstdio>

namespace vellicord {

JsonWriter::JsonWriter(std::string& out, Style style)
    : out_(out)
    , style_(style)
{
}

JsonWriter::JsonWriter(std::string& out, int depth, int elementsBefore)
    : out_(out)
    , style_(Style::pretty)
{
    for (int level = 0; level < depth; ++level)
        levels_.push_back({false, level == depth - 1 ? elementsBefore : 1, {}});
}

void JsonWriter::appendEncoded(std::string_view elements, int count)
{
    Q_ASSERT(!levels_.empty() && !levels_.back().isObject && !afterKey_);
    out_.append(elements);
    levels_.back().count += count;
}

void JsonWriter::newline()
{
    if (style_ == Style::compact)
        return;
    out_.push_back('\n');
    out_.append(levels_.size() * 2, ' ');
}

void JsonWriter::beforeValue()
{
    if (afterKey_) {
        afterKey_ = false;
        return;
    }
    if (levels_.empty())
        return;
    Level& level = levels_.back();
    Q_ASSERT_X(!level.isObject, "JsonWriter", "a value inside an object needs a key");
    if (level.count++ > 0)
        out_.push_back(',');
    newline();
}

void JsonWriter::key(std::string_view name)
{
    Q_ASSERT(!levels_.empty() && levels_.back().isObject && !afterKey_);
    Level& level = levels_.back();
#ifndef NDEBUG
    Q_ASSERT_X(level.count == 0 || level.lastKey < name, "JsonWriter", "keys must be written in ascending order");
    level.lastKey.assign(name);
#endif
    if (level.count++ > 0)
        out_.push_back(',');
    newline();
    out_.push_back('"');
    out_.append(name);
    out_.append(style_ == Style::compact ? "\":" : "\": ");
    afterKey_ = true;
}

void JsonWriter::beginObject()
{
    beforeValue();
    out_.push_back('{');
    levels_.push_back({true, 0, {}});
}

void JsonWriter::endObject()
{
    Q_ASSERT(!levels_.empty() && levels_.back().isObject);
    const bool empty = levels_.back().count == 0;
    levels_.pop_back();
    if (!empty)
        newline();
    out_.push_back('}');
}

void JsonWriter::beginArray()
{
    beforeValue();
    out_.push_back('[');
    levels_.push_back({false, 0, {}});
}

void JsonWriter::endArray()
{
    Q_ASSERT(!levels_.empty() && !levels_.back().isObject);
    const bool empty = levels_.back().count == 0;
    levels_.pop_back();
    if (!empty)
        newline();
    out_.push_back(']');
}

void JsonWriter::string(const QString& text)
{
    beforeValue();
    out_.push_back('"');
    appendEscaped(out_, text);
    out_.push_back('"');
}

void JsonWriter::string(std::string_view utf8)
{
    beforeValue();
    out_.push_back('"');
    appendEscaped(out_, utf8);
    out_.push_back('"');
}

void JsonWriter::string(const Utf8Text& text)
{
    if (!text.isUtf8()) {
        string(text.toString());
        return;
    }
    string(text.utf8());
}

void JsonWriter::boolean(bool value)
{
    beforeValue();
    out_.append(value ? "true" : "false");
}

void JsonWriter::integer(int64_t value)
{
    beforeValue();
    out_.append(std::to_string(value));
}

void JsonWriter::number(double value)
{
    beforeValue();
    if (!std::isfinite(value)) {
        out_.append("null");
        return;
    }
    if (value == std::floor(value) && std::fabs(value) < 1e15) {
        out_.append(std::to_string(int64_t(value)));
        return;
    }
    char buffer[32];
    std::snprintf(buffer, sizeof buffer, "%.17g", value);
    out_.append(buffer);
}

void JsonWriter::null()
{
    beforeValue();
    out_.append("null");
}

void JsonWriter::uuid(const QUuid& id)
{
    beforeValue();
    out_.push_back('"');
    UuidText::appendUtf8(out_, id);
    out_.push_back('"');
}

void JsonWriter::date(const QDateTime& value)
{
    beforeValue();
    out_.push_back('"');
    IsoDate::appendUtf8(out_, value);
    out_.push_back('"');
}

namespace {

// Whether a UTF-16 unit can be copied as one byte: printable ASCII other than '"' and '\\'.
inline bool isPlainAscii(char16_t c)
{
    return c >= 0x20 && c < 0x80 && c != u'"' && c != u'\\';
}

#ifdef __SSE2__
// Narrows the 8 units at p to 8 bytes at dst (always; the caller has room) and returns how many of
// them are plain ASCII from the start, so how many of the bytes are right.
inline int narrowPlainAscii8(const char16_t* p, char* dst)
{
    const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p));
    _mm_storel_epi64(reinterpret_cast<__m128i*>(dst), _mm_packus_epi16(v, v));
    const __m128i ascii = _mm_cmpeq_epi16(_mm_and_si128(v, _mm_set1_epi16(short(0xFF80))), _mm_setzero_si128());
    // Signed comparison: units of 0x8000 and above count as control here, and are non-ASCII anyway.
    const __m128i control = _mm_cmplt_epi16(v, _mm_set1_epi16(0x20));
    const __m128i quote = _mm_cmpeq_epi16(v, _mm_set1_epi16('"'));
    const __m128i backslash = _mm_cmpeq_epi16(v, _mm_set1_epi16('\\'));
    const __m128i special = _mm_or_si128(control, _mm_or_si128(quote, backslash));
    const unsigned mask = unsigned(_mm_movemask_epi8(_mm_andnot_si128(special, ascii))) ^ 0xFFFFu;
    return mask == 0 ? 8 : __builtin_ctz(mask) / 2;
}
#endif

} // namespace

void JsonWriter::appendEscaped(std::string& out, const QString& text)
{
    static constexpr char hex[] = "0123456789abcdef";
    const char16_t* p = reinterpret_cast<const char16_t*>(text.constData());
    const char16_t* const end = p + text.size();
    // Room for the worst case without an escape (three bytes per unit), grown when escapes need more.
    const size_t start = out.size();
    out.resize(start + size_t(text.size()) * 3 + 16);
    char* dst = out.data() + start;
    const auto ensureRoom = [&](size_t bytes) {
        const size_t used = size_t(dst - out.data());
        if (out.size() - used < bytes + size_t(end - p) * 3) {
            out.resize(used + bytes + size_t(end - p) * 3 + 16);
            dst = out.data() + used;
        }
    };
    while (p < end) {
        // Runs of plain ASCII are the common case: narrow them eight units at a time.
#ifdef __SSE2__
        while (end - p >= 8) {
            const int plain = narrowPlainAscii8(p, dst);
            p += plain;
            dst += plain;
            if (plain < 8)
                break;
        }
#endif
        while (p < end && isPlainAscii(*p))
            *dst++ = char(*p++);
        if (p == end)
            break;
        char32_t c = *p++;
        if (c < 0x80) {
            ensureRoom(6);
            *dst++ = '\\';
            switch (c) {
            case u'"': *dst++ = '"'; break;
            case u'\\': *dst++ = '\\'; break;
            case u'\n': *dst++ = 'n'; break;
            case u'\r': *dst++ = 'r'; break;
            case u'\t': *dst++ = 't'; break;
            case u'\b': *dst++ = 'b'; break;
            case u'\f': *dst++ = 'f'; break;
            default:
                *dst++ = 'u';
                *dst++ = '0';
                *dst++ = '0';
                *dst++ = hex[c >> 4];
                *dst++ = hex[c & 0xF];
            }
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && p < end && *p >= 0xDC00 && *p <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (*p++ - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x800) {
            *dst++ = char(0xC0 | (c >> 6));
            *dst++ = char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            *dst++ = char(0xE0 | (c >> 12));
            *dst++ = char(0x80 | ((c >> 6) & 0x3F));
            *dst++ = char(0x80 | (c & 0x3F));
        } else {
            // A surrogate pair: two units in, four bytes out, within the three bytes per unit.
            *dst++ = char(0xF0 | (c >> 18));
            *dst++ = char(0x80 | ((c >> 12) & 0x3F));
            *dst++ = char(0x80 | ((c >> 6) & 0x3F));
            *dst++ = char(0x80 | (c & 0x3F));
        }
    }
    out.resize(size_t(dst - out.data()));
}

void JsonWriter::appendEscaped(std::string& out, std::string_view utf8)
{
    const char* p = utf8.data();
    const char* const end = p + utf8.size();
    while (p < end) {
        // Runs without a quote, a backslash or a control character are copied as they are.
        const char* run = p;
#ifdef __SSE2__
        while (end - run >= 16) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(run));
            // Bytes below 0x20, compared without sign: 0x80 and above are never control.
            const __m128i control = _mm_cmpeq_epi8(_mm_max_epu8(v, _mm_set1_epi8(0x1F)), _mm_set1_epi8(0x1F));
            const __m128i quote = _mm_cmpeq_epi8(v, _mm_set1_epi8('"'));
            const __m128i backslash = _mm_cmpeq_epi8(v, _mm_set1_epi8('\\'));
            const unsigned special
                = unsigned(_mm_movemask_epi8(_mm_or_si128(control, _mm_or_si128(quote, backslash))));
            if (special != 0) {
                run += __builtin_ctz(special);
                break;
            }
            run += 16;
        }
#endif
        while (run < end && uchar(*run) >= 0x20 && *run != '"' && *run != '\\')
            ++run;
        out.append(p, size_t(run - p));
        if (run == end)
            break;
        // One escape, written as for the same character in UTF-16.
        static constexpr char hex[] = "0123456789abcdef";
        const auto c = uchar(*run);
        switch (c) {
        case '"': out.append("\\\""); break;
        case '\\': out.append("\\\\"); break;
        case '\n': out.append("\\n"); break;
        case '\r': out.append("\\r"); break;
        case '\t': out.append("\\t"); break;
        case '\b': out.append("\\b"); break;
        case '\f': out.append("\\f"); break;
        default:
            out.append("\\u00");
            out.push_back(hex[c >> 4]);
            out.push_back(hex[c & 0xF]);
        }
        p = run + 1;
    }
}

} // namespace vellicord
