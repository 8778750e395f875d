#include "core/composition/TextImport.h"

#include "CompositionFixtures.h"
#include "core/foundation/Text.h"
#include "support/ReferenceGraphemes.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <random>

namespace vellicord {
namespace {

struct ChunkCase {
    const char* name;
    QString text;
    qsizetype maxLength;
    QStringList chunks;
};

TEST(TextImportTest, Chunks)
{
    const QString emoji = QStringLiteral("\U0001F44D\U0001F3FD"); // one character, four code units
    const ChunkCase cases[] = {
        {"empty", QString(), 10, {}},
        {"blank", QStringLiteral(" \n\r\n\t "), 10, {}},
        {"paragraphs trimmed", QStringLiteral("  one\n\n\n\n\ntwo  "), 10, {QStringLiteral("one"), QStringLiteral("two")}},
        {"crlf line ends", QStringLiteral("one\r\n\r\ntwo\r\nthree"), 10, {QStringLiteral("one"), QStringLiteral("two\nthree")}},
        {"lone carriage returns", QStringLiteral("one\r\rtwo\rthree"), 10, {QStringLiteral("one"), QStringLiteral("two\nthree")}},
        {"paragraph of exactly the limit", QStringLiteral("abcd\nefghi"), 10, {QStringLiteral("abcd\nefghi")}},
        {"cut between lines", QStringLiteral("abc\ndef\nghi\njk"), 7, {QStringLiteral("abc\ndef"), QStringLiteral("ghi\njk")}},
        {"cut between words, the space dropped", QStringLiteral("aaa bbb ccc"), 7, {QStringLiteral("aaa bbb"), QStringLiteral("ccc")}},
        {"runs of spaces survive", QStringLiteral("aa  bb cccc"), 6, {QStringLiteral("aa  bb"), QStringLiteral("cccc")}},
        {"long word cut on its own", QStringLiteral("ab cdefghij k"), 4,
         {QStringLiteral("ab"), QStringLiteral("cdef"), QStringLiteral("ghij"), QStringLiteral("k")}},
        {"long line after short ones", QStringLiteral("ab\ncdefgh ij"), 5,
         {QStringLiteral("ab"), QStringLiteral("cdefg"), QStringLiteral("h ij")}},
        {"characters, not code units", emoji.repeated(3), 2, {emoji.repeated(2), emoji}},
        {"a space joined by a mark is no cut", QStringLiteral("ab \u0301cd ef"), 6, {QStringLiteral("ab \u0301cd"), QStringLiteral("ef")}},
        {"zero limit counts as one", QStringLiteral("ab c"), 0, {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c")}},
        {"negative limit counts as one", QStringLiteral("ab"), -3, {QStringLiteral("a"), QStringLiteral("b")}},
    };
    for (const ChunkCase& c : cases)
        EXPECT_EQ(TextImport::chunks(c.text, c.maxLength), c.chunks) << c.name;
}

TEST(TextImportTest, LongLinesAtTheComposerLimit)
{
    const QStringList plain = TextImport::chunks(QString(10000, u'x'), 4000);
    ASSERT_EQ(plain.size(), 3);
    EXPECT_EQ(plain[0].size(), 4000);
    EXPECT_EQ(plain[1].size(), 4000);
    EXPECT_EQ(plain[2].size(), 2000);

    const QStringList emoji = TextImport::chunks(QStringLiteral("\U0001F44D\U0001F3FD").repeated(4001), 4000);
    ASSERT_EQ(emoji.size(), 2);
    EXPECT_EQ(Text::graphemeCount(emoji[0]), 4000);
    EXPECT_EQ(Text::graphemeCount(emoji[1]), 1);
}

// Lines without a space in a script Qt segments by its own rules, with emoji among the words: cut
// only where Unicode's rules end a character (Qt's rules for a script join more, never less), the
// chunks join back to exactly the text.
TEST(TextImportTest, LinesOfTailoredScriptsAndEmojiAreCutBetweenCharacters)
{
    QStringList lines{
        QStringLiteral(
            "\u0E2A\u0E27\u0E31\u0E2A\u0E14\u0E35\u0E04\u0E23\u0E31\u0E1A\u0E27\u0E31\u0E19\u0E19\u0E35\u0E49"
            "\u0E2D\u0E32\u0E01\u0E32\u0E28\u0E14\u0E35\u0E21\u0E32\u0E01\U0001F600")
            .repeated(600),
        QStringLiteral("\u0939\u093F\u0928\u094D\u0926\u0940\U0001F44D\U0001F3FD\U0001F1EF\U0001F1F5\U0001F44D"
                       "\U0001F3FD\U0001F1EF\U0001F1F5")
            .repeated(700)};
    for (const test::CountedWord& word : test::tailoredScriptWords()) {
        for (const QString& emoji : test::emojiOfEachKind())
            lines << (word.text + emoji).repeated(7);
    }
    for (const QString& line : lines) {
        const std::vector<qsizetype> ends = test::referenceGraphemeEnds(line);
        for (const qsizetype limit : {1, 2, 3, 5, 4000}) {
            const QStringList chunks = TextImport::chunks(line, limit);
            ASSERT_EQ(chunks.join(QString()), line) << limit;
            qsizetype cut = 0;
            for (const QString& chunk : chunks) {
                cut += chunk.size();
                EXPECT_TRUE(std::binary_search(ends.begin(), ends.end(), cut)) << limit << " " << chunk.toStdString();
            }
        }
    }
}

QString withoutWhiteSpace(const QString& text)
{
    QString result;
    for (QChar c : text) {
        if (!c.isSpace())
            result += c;
    }
    return result;
}

TEST(TextImportTest, RandomTextStaysWithinTheLimitAndLosesNothing)
{
    const QStringList pieces{QStringLiteral("word"), QStringLiteral(" "), QStringLiteral("  "), QStringLiteral("\n"),
                             QStringLiteral("\n\n"), QStringLiteral("\r\n"), QStringLiteral("\r"),
                             QStringLiteral("e\u0301"), QStringLiteral("\U0001F44D\U0001F3FD"),
                             QStringLiteral("averyveryverylongword"), QStringLiteral("\u4E00\u4E01")};
    std::mt19937 random(5);
    for (int round = 0; round < 300; ++round) {
        QString text;
        for (int n = std::uniform_int_distribution<int>(0, 40)(random); n > 0; --n)
            text += pieces[std::uniform_int_distribution<int>(0, int(pieces.size()) - 1)(random)];
        const qsizetype limit = std::uniform_int_distribution<int>(1, 12)(random);
        const QStringList chunks = TextImport::chunks(text, limit);
        for (const QString& chunk : chunks) {
            ASSERT_FALSE(chunk.isEmpty()) << "round " << round;
            ASSERT_LE(Text::graphemeCount(chunk), limit) << "round " << round;
        }
        ASSERT_EQ(withoutWhiteSpace(chunks.join(QString())), withoutWhiteSpace(text)) << "round " << round;
    }
}

} // namespace
} // namespace vellicord
