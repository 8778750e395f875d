#include "core/foundation/Text.h"

#include <QStringList>
#include <QTextBoundaryFinder>

#include <gtest/gtest.h>

#include <random>
#include <vector>

namespace vellicord {
namespace {

std::vector<qsizetype> finderEnds(const QString& text, qsizetype from, qsizetype to)
{
    std::vector<qsizetype> ends;
    QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.constData() + from, to - from);
    qsizetype boundary;
    while ((boundary = finder.toNextBoundary()) != -1) {
        if (boundary > 0)
            ends.push_back(from + boundary);
    }
    return ends;
}

// The platform's segmentation of the whole text; for text in the Brahmic scripts, whose
// segmentation in Qt depends on the text before it, of each line on its own.
std::vector<qsizetype> referenceEnds(const QString& text, bool byLine = false)
{
    if (!byLine)
        return finderEnds(text, 0, text.size());
    std::vector<qsizetype> ends;
    qsizetype start = 0;
    for (const QString& line : text.split(u'\n')) {
        const bool returnBeforeBreak = line.endsWith(u'\r') && start + line.size() < text.size();
        const qsizetype contentEnd = start + line.size() - (returnBeforeBreak ? 1 : 0);
        for (qsizetype end : finderEnds(text, start, contentEnd))
            ends.push_back(end);
        start += line.size() + 1;
        if (start <= text.size())
            ends.push_back(start);
    }
    return ends;
}

// Counting takes a short cut around characters that always stand alone; random mixtures of
// those with joining characters must segment exactly as the full rules do.
TEST(TextGraphemesTest, MatchesFullSegmentationOnRandomText)
{
    const QStringList alphabet{
        QStringLiteral("a"),      QStringLiteral(" "),      QStringLiteral("\r"),     QStringLiteral("\n"),
        QStringLiteral("\t"),     QStringLiteral("\u00E9"), QStringLiteral("\u0301"), QStringLiteral("\u200D"),
        QStringLiteral("\u00A9"), QStringLiteral("\uFE0F"), QStringLiteral("\U0001F600"), QStringLiteral("\U0001F1E6"),
        QStringLiteral("\u1100"), QStringLiteral("\u1161"), QStringLiteral("\u0600"), QStringLiteral("\u4E00"),
        QStringLiteral("\u00AD"), QStringLiteral("\u0085"),
        QStringLiteral("\U0001F3FD"), QStringLiteral("\u0430"), QStringLiteral("\u02FF"), QStringLiteral("\u0300")};
    // Devanagari, which Qt segments with its script's own adjustments, and a few more line feeds.
    const QStringList indic{QStringLiteral("\u0915"), QStringLiteral("\u093F"), QStringLiteral("\u094D")};
    std::mt19937 random(42);
    std::uniform_int_distribution<int> length(0, 24);
    for (int round = 0; round < 8000; ++round) {
        const QStringList letters = round % 4 == 0 ? alphabet + indic + QStringList{QStringLiteral("\n"), QStringLiteral("\r\n")} : alphabet;
        std::uniform_int_distribution<int> letter(0, int(letters.size()) - 1);
        QString text;
        for (int n = length(random); n > 0; --n)
            text += letters[letter(random)];
        const bool byLine = round % 4 == 0;
        ASSERT_EQ(Text::graphemeEnds(text), referenceEnds(text, byLine)) << "round " << round << " " << QString::fromLatin1(text.toUtf8().toHex(' ')).toStdString();
        ASSERT_EQ(Text::graphemeCount(text), qsizetype(referenceEnds(text, byLine).size())) << "round " << round;
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
        const std::vector<qsizetype> expected = referenceEnds(text);
        EXPECT_EQ(Text::graphemeEnds(text), expected) << "U+" << std::hex << int(c);
    }
}

} // namespace
} // namespace vellicord
