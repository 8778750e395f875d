#include "core/foundation/JsonWriter.h"

#include "core/foundation/IsoDate.h"
#include "core/foundation/UuidText.h"

#include <QtGlobal>

#include <cmath>
#include <cstdio>

namespace vellicord {

JsonWriter::JsonWriter(std::string& out, Style style)
    : out_(out)
    , style_(style)
{
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
    for (char c : utf8) {
        const auto u = uchar(c);
        if (u == '"' || u == '\\' || u < 0x20)
            appendEscaped(out_, QString(QChar(u)));
        else
            out_.push_back(c);
    }
    out_.push_back('"');
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

void JsonWriter::appendEscaped(std::string& out, const QString& text)
{
    static constexpr char hex[] = "0123456789abcdef";
    const char16_t* p = reinterpret_cast<const char16_t*>(text.constData());
    const char16_t* end = p + text.size();
    out.reserve(out.size() + size_t(text.size()));
    while (p < end) {
        // Runs of plain ASCII are the common case: copy them without further tests.
        const char16_t* run = p;
        while (p < end && *p >= 0x20 && *p < 0x80 && *p != u'"' && *p != u'\\')
            ++p;
        if (p > run) {
            const size_t start = out.size();
            out.resize(start + size_t(p - run));
            char* dst = out.data() + start;
            for (const char16_t* q = run; q < p; ++q)
                *dst++ = char(*q);
        }
        if (p == end)
            break;
        char32_t c = *p++;
        if (c < 0x80) {
            switch (c) {
            case u'"': out.append("\\\""); break;
            case u'\\': out.append("\\\\"); break;
            case u'\n': out.append("\\n"); break;
            case u'\r': out.append("\\r"); break;
            case u'\t': out.append("\\t"); break;
            case u'\b': out.append("\\b"); break;
            case u'\f': out.append("\\f"); break;
            default:
                out.append("\\u00");
                out.push_back(hex[c >> 4]);
                out.push_back(hex[c & 0xF]);
            }
            continue;
        }
        if (c >= 0xD800 && c <= 0xDBFF && p < end && *p >= 0xDC00 && *p <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (*p++ - 0xDC00);
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        if (c < 0x800) {
            out.push_back(char(0xC0 | (c >> 6)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else if (c < 0x10000) {
            out.push_back(char(0xE0 | (c >> 12)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        } else {
            out.push_back(char(0xF0 | (c >> 18)));
            out.push_back(char(0x80 | ((c >> 12) & 0x3F)));
            out.push_back(char(0x80 | ((c >> 6) & 0x3F)));
            out.push_back(char(0x80 | (c & 0x3F)));
        }
    }
}

} // namespace vellicord
