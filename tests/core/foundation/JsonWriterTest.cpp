#include "core/foundation/JsonWriter.h"
#include "core/foundation/Text.h"

#include <gtest/gtest.h>

#include <random>

namespace vellicord {
namespace {

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

TEST(JsonWriter, escapingCases)
{
    struct Case {
        const char* name;
        QString text;
        std::string expected;
    };
    const Case cases[] = {
        {"empty", QString(), ""},
        {"plain", QStringLiteral("plain text, longer than eight units"), "plain text, longer than eight units"},
        {"quote and backslash", QStringLiteral("a\"b\\c"), "a\\\"b\\\\c"},
        {"controls", QStringLiteral("\n\r\t\b\f") + QChar(1) + QChar(0x1F), "\\n\\r\\t\\b\\f\\u0001\\u001f"},
        {"delete is plain", QString(QChar(0x7F)), "\x7F"},
        {"two and three bytes", QStringLiteral("é€"), "\xC3\xA9\xE2\x82\xAC"},
        {"surrogate pair", QStringLiteral("😀"), "\xF0\x9F\x98\x80"},
        {"lone high surrogate", QString(QChar(0xD83D)) + QStringLiteral("x"), "\xEF\xBF\xBDx"},
        {"lone low surrogate", QStringLiteral("12345678") + QChar(0xDE00), "12345678\xEF\xBF\xBD"},
        {"only controls", QString(40, QChar(2)), [] {
             std::string s;
             for (int i = 0; i < 40; ++i)
                 s += "\\u0002";
             return s;
         }()},
    };
    for (const Case& c : cases)
        EXPECT_EQ(escaped(c.text), c.expected) << c.name;
}

TEST(JsonWriter, escapingMatchesTheReferenceOnRandomText)
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
    }
}

} // namespace
} // namespace vellicord
