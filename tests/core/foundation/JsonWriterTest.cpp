#include "core/foundation/JsonReader.h"
#include "core/foundation/JsonWriter.h"
#include "core/foundation/Text.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <random>

using namespace vellicord;

namespace {

TEST(JsonWriterTest, PrettyPrintedNesting)
{
    std::string out;
    JsonWriter w(out);
    w.beginObject();
    w.key("a");
    w.beginArray();
    w.integer(1);
    w.beginObject();
    w.endObject();
    w.beginArray();
    w.endArray();
    w.endArray();
    w.member("b", true);
    w.key("c");
    w.null();
    w.endObject();
    EXPECT_EQ(out, "{\n  \"a\": [\n    1,\n    {},\n    []\n  ],\n  \"b\": true,\n  \"c\": null\n}");
}

TEST(JsonWriterTest, EscapingAndUtf8)
{
    const struct {
        const char* name;
        QString text;
        std::string json;
    } cases[] = {
        {"quote and backslash", QStringLiteral("a\"b\\c"), "\"a\\\"b\\\\c\""},
        {"short escapes", QStringLiteral("\n\r\t\b\f"), "\"\\n\\r\\t\\b\\f\""},
        {"other controls", QString(QChar(0x01)) + QChar(0x1F), "\"\\u0001\\u001f\""},
        {"slash not escaped", QStringLiteral("a/b"), "\"a/b\""},
        {"two-byte", QStringLiteral("\u00E9"), "\"\xC3\xA9\""},
        {"three-byte", QStringLiteral("\u20AC"), "\"\xE2\x82\xAC\""},
        {"four-byte pair", QStringLiteral("\U0001F600"), "\"\xF0\x9F\x98\x80\""},
        {"lone surrogate replaced", QString(QChar(0xD800)) + QStringLiteral("x"), "\"\xEF\xBF\xBDx\""},
        {"delete kept", QString(QChar(0x7F)), "\"\x7F\""},
    };
    for (const auto& c : cases) {
        std::string out;
        JsonWriter w(out);
        w.string(c.text);
        EXPECT_EQ(out, c.json) << c.name;
        // The same text kept as UTF-8 is written with the same bytes.
        std::string fromUtf8;
        JsonWriter(fromUtf8).string(Utf8Text(c.text));
        EXPECT_EQ(fromUtf8, c.json) << c.name << " (from UTF-8)";

        simdjson::dom::parser parser;
        const QString back = JsonReader::string(JsonReader::parse(parser, out), "value");
        EXPECT_EQ(back, Text::repairingSurrogates(c.text)) << c.name;
    }
}

TEST(JsonWriterTest, NumbersAreExact)
{
    const struct {
        double value;
        const char* json;
    } cases[] = {{4.0, "4"}, {0.5, "0.5"}, {-2.25, "-2.25"}, {1e300, "1.0000000000000001e+300"}};
    for (const auto& c : cases) {
        std::string out;
        JsonWriter w(out);
        w.number(c.value);
        EXPECT_EQ(out, c.json);
        simdjson::dom::parser parser;
        EXPECT_EQ(JsonReader::number(JsonReader::parse(parser, out), "n"), c.value);
    }
}

TEST(JsonReaderTest, TypedReadsAreStrict)
{
    using Kind = JsonDecodeError::Kind;
    const struct {
        const char* name;
        const char* json;
        Kind kind;
    } cases[] = {
        {"string for bool", "\"true\"", Kind::typeMismatch},
        {"number for bool", "1", Kind::typeMismatch},
        {"fraction for integer", "2.5", Kind::typeMismatch},
        {"string for integer", "\"2\"", Kind::typeMismatch},
        {"not json", "{", Kind::syntax},
        {"trailing garbage", "1 2", Kind::syntax},
    };
    for (const auto& c : cases) {
        simdjson::dom::parser parser;
        try {
            const auto value = JsonReader::parse(parser, c.json);
            if (std::string_view(c.name).find("bool") != std::string_view::npos)
                JsonReader::boolean(value, "v");
            else
                JsonReader::integer(value, "v");
            ADD_FAILURE() << c.name << " was accepted";
        } catch (const JsonDecodeError& error) {
            EXPECT_EQ(error.kind(), c.kind) << c.name;
        }
    }
}


// The escaping rules written the slow, obvious way.
std::string referenceEscaped(const QString& text)
{
    std::string out;
    for (const char c : Text::repairingSurrogates(text).toStdString()) {
        const auto u = static_cast<unsigned char>(c);
        switch (u) {
        case '"': out += "\\\""; break;
        case '\\': out += "\\\\"; break;
        case '\n': out += "\\n"; break;
        case '\r': out += "\\r"; break;
        case '\t': out += "\\t"; break;
        case '\b': out += "\\b"; break;
        case '\f': out += "\\f"; break;
        default:
            if (u < 0x20) {
                char buffer[8];
                std::snprintf(buffer, sizeof buffer, "\\u%04x", u);
                out += buffer;
            } else {
                out += c;
            }
        }
    }
    return out;
}

std::string escaped(const QString& text)
{
    std::string out = "prefix:";
    JsonWriter::appendEscaped(out, text);
    return out.substr(7);
}

TEST(JsonWriterTest, EscapingMatchesAReferenceOnRandomText)
{
    // Special units at every position of the eight-unit blocks, in a few hundred random texts.
    const char16_t alphabet[] = {u'a', u'Z', u' ', u'"', u'\\', u'\n', 0x01, 0x7F, 0x80, 0xE9, 0x20AC, 0xD83D, 0xDE00, 0xFFFF};
    std::mt19937 random(7);
    std::uniform_int_distribution<int> pick(0, int(std::size(alphabet)) - 1);
    std::uniform_int_distribution<int> length(0, 40);
    std::uniform_int_distribution<int> plainRun(0, 3);
    for (int round = 0; round < 400; ++round) {
        QString text;
        const int n = length(random);
        for (int i = 0; i < n; ++i)
            text += plainRun(random) != 0 ? QChar(u'x') : QChar(alphabet[pick(random)]);
        ASSERT_EQ(escaped(text), referenceEscaped(text)) << "round " << round;
        if (!Text::hasLoneSurrogate(text)) {
            std::string fromUtf8;
            JsonWriter::appendEscaped(fromUtf8, text.toUtf8().toStdString());
            ASSERT_EQ(fromUtf8, referenceEscaped(text)) << "round " << round << " from UTF-8";
        }
    }
}

} // namespace
