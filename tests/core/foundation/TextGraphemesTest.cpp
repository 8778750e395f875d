#include "core/foundation/Text.h"
#include "support/ReferenceGraphemes.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace vellicord {
namespace {

// Counting takes a short cut around characters that always stand alone, and Qt's rules for the
// scripts it tailors see only the stretches of those scripts: random mixtures of such characters
// with joining ones, emoji of every kind and syllables of those scripts must segment exactly as
// Unicode's rules do.
TEST(TextGraphemesTest, MatchesFullSegmentationOnRandomText)
{
    const QStringList alphabet{
        QStringLiteral("a"),      QStringLiteral(" "),      QStringLiteral("\r"),     QStringLiteral("\n"),
        QStringLiteral("\t"),     QStringLiteral("\u00E9"), QStringLiteral("\u0301"), QStringLiteral("\u200D"),
        QStringLiteral("\u00A9"), QStringLiteral("\uFE0F"), QStringLiteral("\U0001F600"), QStringLiteral("\U0001F1E6"),
        QStringLiteral("\u1100"), QStringLiteral("\u1161"), QStringLiteral("\u0600"), QStringLiteral("\u4E00"),
        QStringLiteral("\u00AD"), QStringLiteral("\u0085"),
        QStringLiteral("\U0001F3FD"), QStringLiteral("\u0430"), QStringLiteral("\u02FF"), QStringLiteral("\u0300")};
    // Syllables of the scripts Qt segments with rules of their own (a Devanagari conjunct among
    // them), emoji of each kind, and a few more line feeds.
    const QStringList tailored = QStringList{
        QStringLiteral("\u0915"), QStringLiteral("\u0915\u093F"), QStringLiteral("\u0915\u094D\u0937"),
        QStringLiteral("\u0928\u094D\u0926\u0940"), QStringLiteral("\u0E14\u0E35"), QStringLiteral("\u0E19\u0E49\u0E33"),
        QStringLiteral("\u09AC\u09BE\u0982"), QStringLiteral("\u0BAE\u0BBF"), QStringLiteral("\u1798\u17C2"),
        QStringLiteral("\n"), QStringLiteral("\r\n")}
        + test::emojiOfEachKind();
    std::mt19937 random(42);
    std::uniform_int_distribution<int> length(0, 24);
    for (int round = 0; round < 8000; ++round) {
        const QStringList letters = round % 4 == 0 ? alphabet + tailored : alphabet;
        std::uniform_int_distribution<int> letter(0, int(letters.size()) - 1);
        QString text;
        for (int n = length(random); n > 0; --n)
            text += letters[letter(random)];
        const std::vector<qsizetype> expected = test::referenceGraphemeEnds(text);
        ASSERT_EQ(Text::graphemeEnds(text), expected)
            << "round " << round << " " << QString::fromLatin1(text.toUtf8().toHex(' ')).toStdString();
        ASSERT_EQ(Text::graphemeCount(text), qsizetype(expected.size())) << "round " << round;
    }
}

// An edit is counted again only around the lines it touched: random edits of random texts, some
// long enough to be compared in blocks, must count as the whole edited text does.
TEST(TextGraphemesTest, AnEditCountsAsTheWholeEditedText)
{
    const QStringList letters{QStringLiteral("a"),      QStringLiteral(" "),          QStringLiteral("\r"),
                              QStringLiteral("\n"),     QStringLiteral("\r\n"),       QStringLiteral("\u0301"),
                              QStringLiteral("\u200D"), QStringLiteral("\U0001F600"), QStringLiteral("\U0001F1E6"),
                              QStringLiteral("\u1100"), QStringLiteral("\u1161"),     QStringLiteral("\U0001F3FD"),
                              QStringLiteral("\u0915"), QStringLiteral("\u094D"),     QStringLiteral("\u00E9")};
    std::mt19937 random(1207);
    const auto pick = [&](int low, int high) { return std::uniform_int_distribution<int>(low, high)(random); };
    const auto text = [&](int most) {
        QString t;
        for (int n = pick(0, most); n > 0; --n)
            t += letters[pick(0, int(letters.size()) - 1)];
        return t;
    };
    for (int round = 0; round < 6000; ++round) {
        // Every tenth text is long: its shared ends run over several compared blocks.
        const QString before = round % 10 == 0 ? text(40).repeated(30) + text(20) : text(30);
        QString after = before;
        const int at = pick(0, int(after.size()));
        after.replace(at, pick(0, std::min(4, int(after.size()) - at)), text(3));
        ASSERT_EQ(Text::graphemeCountAfterEdit(before, Text::graphemeCount(before), after), Text::graphemeCount(after))
            << "round " << round << " " << QString::fromLatin1(after.toUtf8().toHex(' ')).toStdString();
    }
}

TEST(TextGraphemesTest, EveryCharacterBelowCombiningMarksStandsAlone)
{
    for (char16_t c = 0; c < 0x300; ++c) {
        const QString text = QString(QChar(u'x')) + QChar(c) + QChar(c) + QChar(u'.');
        const std::vector<qsizetype> expected = test::referenceGraphemeEnds(text);
        EXPECT_EQ(Text::graphemeEnds(text), expected) << "U+" << std::hex << int(c);
    }
}

} // namespace
} // namespace vellicord
