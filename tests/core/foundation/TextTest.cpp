#include "core/foundation/Text.h"
#include "support/ReferenceGraphemes.h"

#include <gtest/gtest.h>

using namespace vellicord;

namespace {

struct GraphemeCase {
    const char* name;
    QString text;
    qsizetype characters;
};

TEST(TextTest, GraphemeCount)
{
    const GraphemeCase cases[] = {
        {"empty", QString(), 0},
        {"ascii", QStringLiteral("abcd"), 4},
        {"crlf is one", QStringLiteral("a\r\nb"), 3},
        {"lone cr", QStringLiteral("a\rb"), 3},
        {"zwj family", QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466"), 1},
        {"flag pair", QStringLiteral("\U0001F1E9\U0001F1EA"), 1},
        {"two flags", QStringLiteral("\U0001F1E9\U0001F1EA\U0001F1EB\U0001F1F7"), 2},
        {"combining accent", QStringLiteral("e\u0301"), 1},
        {"emoji with skin tone", QStringLiteral("\U0001F44D\U0001F3FD!"), 2},
        {"hangul jamo", QStringLiteral("\u1100\u1161\u11A8"), 1},
        {"tab and newline", QStringLiteral("\t\n"), 2},
        {"emoji after thai", QStringLiteral("\u0E14\u0E35\U0001F600"), 2},
        {"zwj family after thai",
         QStringLiteral("\u0E44\u0E17\u0E22\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466"), 4},
        {"hindi, a family and hebrew between marks",
         QStringLiteral(
             "\u0939\u093F\u0928\u094D\u0926\u0940 \u092D\u093E\u0937\u093E "
             "\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466 \u200F\u05E9\u05DC\u05D5\u05DD\u200F"),
         14},
        {"flag after an emoji", QStringLiteral("\U0001F600\U0001F1EF\U0001F1F5"), 2},
        {"vowel sign after an emoji", QStringLiteral("\U0001F600\u093F\u0915"), 2},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Text::graphemeCount(c.text), c.characters) << c.name;
}

// A word of each script Qt segments by its own rules, counted in its syllables, and an emoji of
// each kind between two of them: one character, cut from neither word.
TEST(TextTest, EmojiBetweenLettersOfTailoredScripts)
{
    for (const test::CountedWord& word : test::tailoredScriptWords()) {
        EXPECT_EQ(Text::graphemeCount(word.text), word.characters) << word.script;
        const std::vector<qsizetype> wordEnds = Text::graphemeEnds(word.text);
        for (const QString& e : test::emojiOfEachKind()) {
            std::vector<qsizetype> expected = wordEnds;
            for (const qsizetype end : wordEnds)
                expected.push_back(word.text.size() + e.size() + end);
            expected.insert(expected.begin() + qsizetype(wordEnds.size()), word.text.size() + e.size());
            EXPECT_EQ(Text::graphemeEnds(word.text + e + word.text), expected) << word.script << " " << e.toStdString();
        }
    }
}

TEST(TextTest, Trimming)
{
    const struct {
        const char* name;
        QString text;
        QString trimmed;
        QString horizontally; // only spaces and tabs taken off
    } cases[] = {
        {"spaces and newlines", QStringLiteral(" \t\r\n word \n"), QStringLiteral("word"),
         QStringLiteral("\r\n word \n")},
        {"nbsp removed", QStringLiteral("\u00A0word\u00A0"), QStringLiteral("word"), QStringLiteral("word")},
        {"ideographic space removed", QStringLiteral("\u3000word\u3000"), QStringLiteral("word"),
         QStringLiteral("word")},
        {"line and paragraph separators", QStringLiteral("\u2028word\u2029"), QStringLiteral("word"),
         QStringLiteral("\u2028word\u2029")},
        {"next line and vertical tab", QStringLiteral("\u0085\u000Bword\u000C"), QStringLiteral("word"),
         QStringLiteral("\u0085\u000Bword\u000C")},
        {"zero width space kept", QStringLiteral("\u200Bword\u200B"), QStringLiteral("\u200Bword\u200B"),
         QStringLiteral("\u200Bword\u200B")},
        {"byte order mark kept", QStringLiteral("\uFEFFword"), QStringLiteral("\uFEFFword"),
         QStringLiteral("\uFEFFword")},
        {"inner space kept", QStringLiteral(" a  b "), QStringLiteral("a  b"), QStringLiteral("a  b")},
        {"all white space", QStringLiteral(" \n\t\u3000"), QString(), QStringLiteral("\n")},
        {"only spaces and tabs", QStringLiteral("\t \u2003 "), QString(), QString()},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Text::trimmed(c.text), c.trimmed) << c.name;
        EXPECT_EQ(Text::isBlank(c.text), c.trimmed.isEmpty()) << c.name;
        EXPECT_EQ(Text::trimmedHorizontally(c.text), c.horizontally) << c.name;
    }
}

TEST(TextTest, CanonicalEquivalence)
{
    const struct {
        const char* name;
        QString a;
        QString b;
        bool equal;
    } cases[] = {
        {"identical", QStringLiteral("abc"), QStringLiteral("abc"), true},
        {"precomposed and decomposed", QStringLiteral("caf\u00E9"), QStringLiteral("cafe\u0301"), true},
        {"angstrom sign and letter", QStringLiteral("\u212B"), QStringLiteral("\u00C5"), true},
        {"different accents", QStringLiteral("e\u0301"), QStringLiteral("e\u0300"), false},
        {"case differs", QStringLiteral("Abc"), QStringLiteral("abc"), false},
        {"compatibility forms differ", QStringLiteral("\uFB01"), QStringLiteral("fi"), false},
        {"empty and empty", QString(), QStringLiteral(""), true},
        {"within a long shared text", QStringLiteral("Read — then caf\u00E9 — and more"),
         QStringLiteral("Read — then cafe\u0301 — and more"), true},
        {"marks reordered between shared ends", QStringLiteral("x a\u0301\u0316 y"),
         QStringLiteral("x a\u0316\u0301 y"), true},
        {"a shared mark on a different base", QStringLiteral("pre E\u0301 post"), QStringLiteral("pre e\u0301 post"),
         false},
        {"a shared mark composing with what differs", QStringLiteral("\u00E9\u0301x"), QStringLiteral("e\u0301\u0301x"),
         true},
        {"decomposed at the very end", QStringLiteral("na\u00EF"), QStringLiteral("nai\u0308"), true},
        {"one is the other's start", QStringLiteral("\u00E9t\u00E9"), QStringLiteral("\u00E9t\u00E9s"), false},
        {"decomposed far into long texts",
         QStringLiteral("word ").repeated(300) + QStringLiteral("caf\u00E9 ").repeated(80),
         QStringLiteral("word ").repeated(300) + QStringLiteral("cafe\u0301 ")
             + QStringLiteral("caf\u00E9 ").repeated(79),
         true},
        {"a vowel sign that joins the one before it", QStringLiteral("\u09CB"), QStringLiteral("\u09C7\u09BE"), true},
        {"a letter NFC leaves decomposed", QStringLiteral("\u0958"), QStringLiteral("\u0915\u093C"), true},
        {"a character NFC replaces, outside the first plane and across a block of units",
         QStringLiteral("x").repeated(15) + QStringLiteral("\U0001D15E"),
         QStringLiteral("x").repeated(15) + QStringLiteral("\U0001D157\U0001D165"), true},
        {"one letter apart in long texts",
         QStringLiteral("x").repeated(1000) + u'a' + QStringLiteral("y").repeated(1000),
         QStringLiteral("x").repeated(1000) + u'b' + QStringLiteral("y").repeated(1000), false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Text::equal(c.a, c.b), c.equal) << c.name;
        if (c.equal) {
            EXPECT_EQ(Text::hash(c.a), Text::hash(c.b)) << c.name;
        }
    }
}

TEST(TextTest, FullLowerCaseMapping)
{
    EXPECT_EQ(Text::lowercased(QStringLiteral("ABC \u00C9")), QStringLiteral("abc \u00E9"));
    // Dotted capital I lower-cases to two code points, independent of the locale.
    EXPECT_EQ(Text::lowercased(QStringLiteral("\u0130")), QStringLiteral("i\u0307"));
    EXPECT_EQ(Text::lowercased(QStringLiteral("\U00010400")), QStringLiteral("\U00010428")); // Deseret
}

TEST(TextTest, LoneSurrogatesAreReplaced)
{
    const QChar high(0xD83D), low(0xDE00);
    const struct {
        const char* name;
        QString in;
        QString out;
    } cases[] = {
        {"pair kept", QString(high) + low, QString(high) + low},
        {"lone high", QStringLiteral("a") + high + QStringLiteral("b"), QStringLiteral("a\uFFFDb")},
        {"lone low", QString(low) + QStringLiteral("b"), QStringLiteral("\uFFFDb")},
        {"high at end", QStringLiteral("a") + high, QStringLiteral("a\uFFFD")},
        {"reversed pair", QString(low) + high, QStringLiteral("\uFFFD\uFFFD")},
        {"none", QStringLiteral("plain"), QStringLiteral("plain")},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Text::repairingSurrogates(c.in), c.out) << c.name;
        EXPECT_EQ(Text::hasLoneSurrogate(c.in), c.in != c.out) << c.name;
    }
}

TEST(TextTest, TextOfBytesCutOffAnywhere)
{
    const struct {
        const char* name;
        QByteArray bytes;
        QString text;
    } cases[] = {
        {"whole", QByteArray("caf\xc3\xa9"), QStringLiteral("caf\u00e9")},
        {"a two-byte character cut", QByteArray("caf\xc3"), QStringLiteral("caf")},
        {"a four-byte character cut after three", QByteArray("a\xf0\x9f\x98"), QStringLiteral("a")},
        {"a four-byte character whole", QByteArray("a\xf0\x9f\x98\x80"), QStringLiteral("a\U0001F600")},
        {"nothing", QByteArray(), QString()},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Text::fromUtf8Prefix(c.bytes), c.text) << c.name;
}

} // namespace
