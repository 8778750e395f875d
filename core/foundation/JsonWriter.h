#pragma once

#include "core/foundation/Utf8Text.h"

#include <QDateTime>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace vellicord {

// A streaming writer of JSON, pretty-printed (two-space indent, one member per line) or compact.
// The caller writes every object's keys in ascending byte order, so that the output has sorted
// keys without buffering; debug builds check it. Text is written as UTF-8; an unpaired
// surrogate becomes U+FFFD, so the output is always valid.
class JsonWriter {
public:
    enum class Style { pretty, compact };

    explicit JsonWriter(std::string& out, Style style = Style::pretty);
    // A writer for elements inside an array that another writer has opened `depth` levels deep
    // (1 for a top-level array), after `elementsBefore` elements: what it writes, appended to the
    // other writer's output, reads as if that writer had written it. Lets parts of one large
    // array be encoded in parallel.
    JsonWriter(std::string& out, int depth, int elementsBefore);

    // Appends `count` elements that a continuing writer (above) encoded for the array open here.
    void appendEncoded(std::string_view elements, int count);

    void beginObject();
    void endObject();
    void beginArray();
    void endArray();
    void key(std::string_view name);

    void string(const QString& text);
    void string(std::string_view utf8);
    void string(const Utf8Text& text);
    void boolean(bool value);
    void integer(int64_t value);
    void number(double value);
    void null();
    void uuid(const QUuid& id);
    void date(const QDateTime& date);

    // "key": value pairs; the optional forms write nothing when the value is absent.
    void member(std::string_view name, const QString& text) { key(name); string(text); }
    void member(std::string_view name, const Utf8Text& text) { key(name); string(text); }
    void member(std::string_view name, bool value) { key(name); boolean(value); }
    void member(std::string_view name, int64_t value) { key(name); integer(value); }
    void member(std::string_view name, const QUuid& id) { key(name); uuid(id); }
    void member(std::string_view name, const QDateTime& value) { key(name); date(value); }
    void member(std::string_view name, const std::optional<QString>& text)
    {
        if (text) {
            key(name);
            string(*text);
        }
    }
    void member(std::string_view name, const std::optional<QUuid>& id)
    {
        if (id) {
            key(name);
            uuid(*id);
        }
    }

    // Appends the UTF-8 of text, JSON-escaped, without quotes.
    static void appendEscaped(std::string& out, const QString& text);
    // The same of text already in UTF-8 (valid): the same bytes as for the text in UTF-16.
    static void appendEscaped(std::string& out, std::string_view utf8);

private:
    struct Level {
        bool isObject;
        int count;
        std::string lastKey;
    };

    void beforeValue();
    void newline();

    std::string& out_;
    Style style_;
    std::vector<Level> levels_;
    bool afterKey_ = false;
};

} // namespace vellicord
