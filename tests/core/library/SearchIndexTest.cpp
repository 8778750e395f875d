#include "core/library/SearchIndex.h"
#include "core/foundation/Text.h"
#include "core/library/SortMode.h"

#include "support/Records.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <vector>

using namespace vellicord;

namespace {

QList<qsizetype> reference(const QList<Selection>& selections, const QString& query)
{
    QList<qsizetype> result;
    for (qsizetype i = 0; i < selections.size(); ++i) {
        if (SortModes::matches(query, selections[i]))
            result.append(i);
    }
    return result;
}

// Mostly units that lower-case unit for unit (é and É, Ω and the Ohm sign, an emoji, a letter of
// three bytes), now and then one that makes a capture's lower case differ from a unit-by-unit one
// or take other bytes: İ, the Kelvin sign, a cased letter outside the first plane, unpaired
// surrogates, ẞ, Ⱥ, the Ångström sign. Accents as marks of their own compose with what stands
// before them, or are reordered.
QString randomText(QRandomGenerator& random, int maxLength)
{
    static const QStringList pieces{"a", "b", "ab",     "ba",     " ", "\n",         "\u00E9", "\u00C9", "E",
                                    "K", "k", "\u03A9", "\u2126", "x", "\U0001F600", "\u4E2D", "\u0301", "\u0323",
                                    "\u03A3", "\u03C2"};
    static const QStringList rare{"\u0130", "\u212A", "\U00010400", QString(QChar(0xD800)), QString(QChar(0xDC00)),
                                  "\u1E9E", "\u023A", "\u212B"};
    QString text;
    for (int n = int(random.bounded(maxLength)); n > 0; --n) {
        const QStringList& from = random.bounded(12) == 0 ? rare : pieces;
        text.append(from[int(random.bounded(from.size()))]);
    }
    return text;
}

TEST(SearchIndexTest, AgreesWithMatchesOnRandomLibraries)
{
    QRandomGenerator random(11);
    SearchIndex index;
    QList<Selection> selections;
    for (int round = 0; round < 40; ++round) {
        // Change some captures and keep others, so rebuild() both reuses and remakes entries.
        for (qsizetype i = 0; i < selections.size(); ++i) {
            if (random.bounded(3) == 0)
                selections[i].text = randomText(random, 12);
        }
        for (int add = int(random.bounded(10)); add > 0; --add) {
            test::CaptureSpec spec{
                .text = randomText(random, 12), .appName = randomText(random, 4), .id = int(selections.size()) + 1};
            if (random.bounded(2))
                spec.sourceURL = QStringLiteral("https://ab.example/") + QString::number(random.bounded(9));
            selections.append(test::capture(spec));
        }
        if (random.bounded(4) == 0 && !selections.isEmpty())
            selections.removeAt(qsizetype(random.bounded(int(selections.size()))));
        index.rebuild(SelectionList(selections));
        ASSERT_EQ(index.size(), selections.size());
        for (int q = 0; q < 20; ++q) {
            const QString query = Text::lowercased(randomText(random, 4));
            EXPECT_EQ(index.matching(query), reference(selections, query)) << "round " << round;
        }
        EXPECT_EQ(index.matching(QStringLiteral("https://ab")), reference(selections, QStringLiteral("https://ab")));
    }
}

// The same agreement when the index follows the library capture by capture: appended, forgotten,
// and asked among earlier hits, as the list does between keystrokes.
TEST(SearchIndexTest, AppendAndEraseAgreeWithMatches)
{
    QRandomGenerator random(12);
    SearchIndex index;
    QList<Selection> byPosition; // what each position holds
    QList<bool> alive;
    for (int step = 0; step < 400; ++step) {
        if (random.bounded(4) == 0 && !byPosition.isEmpty()) {
            const qsizetype position = qsizetype(random.bounded(int(byPosition.size())));
            index.erase(position);
            alive[position] = false;
        } else {
            test::CaptureSpec spec{.text = randomText(random, 14), .appName = randomText(random, 3), .id = step + 1};
            Selection s = test::capture(spec);
            if (random.bounded(3) == 0)
                s.markdown = randomText(random, 6);
            else if (random.bounded(2) == 0)
                s.markdown = randomText(random, 4) + s.text + randomText(random, 4);
            ASSERT_EQ(index.append(s), byPosition.size());
            byPosition.append(s);
            alive.append(true);
        }
        if (step % 20 != 19)
            continue;
        // In NFC, as the list has them: only a query that holds another there is matched among the
        // other's hits (an accent typed after "e" holds no "e").
        const QString shorter = Text::canonical(Text::lowercased(randomText(random, 2)));
        const QString longer = Text::canonical(shorter + Text::lowercased(randomText(random, 2)));
        QList<qsizetype> expected;
        for (qsizetype i = 0; i < byPosition.size(); ++i) {
            if (alive[i] && SortModes::matches(longer, byPosition[i]))
                expected.append(i);
        }
        const QList<qsizetype> hits = index.matching(shorter);
        if (longer.contains(shorter))
            EXPECT_EQ(index.matching(longer, &hits), expected) << "step " << step;
        EXPECT_EQ(index.matching(longer), expected) << "step " << step;
        for (qsizetype i : expected)
            EXPECT_TRUE(index.matches(i, longer));
    }
}

// Cases where lower-casing the whole search text is not lower-casing unit by unit, and matches
// that run across the fields joined by line feeds.
TEST(SearchIndexTest, MatchesAsTheLowerCasedSearchText)
{
    const QString lowSurrogate(QChar(0xDC00)), highSurrogate(QChar(0xD800));
    const struct {
        const char* name;
        QString text;
        std::optional<QString> markdown;
        QString appName;
        std::optional<QString> sourceURL, filePath;
        QString query;
        bool matches;
    } cases[] = {
        {"É is é", "CAF\u00C9", {}, "App", {}, {}, "caf\u00E9", true},
        {"the Ohm sign is ω", "\u2126m", {}, "App", {}, {}, "\u03C9m", true},
        {"the Kelvin sign is k", "5 \u212A", {}, "App", {}, {}, "5 k", true},
        {"the Kelvin sign is no K", "5 \u212A", {}, "App", {}, {}, "\u212A", false},
        {"İ is i and a dot", "\u0130ZMIR", {}, "App", {}, {}, "i\u0307zmir", true},
        {"İ is no plain i", "\u0130ZMIR", {}, "App", {}, {}, "izmir", false},
        {"ASCII beside İ still folds", "\u0130 ABC", {}, "App", {}, {}, "abc", true},
        {"a letter outside the first plane", "x\U00010400", {}, "App", {}, {}, "x\U00010428", true},
        // A query of one ASCII unit is answered by the fingerprint alone.
        {"one unit: the Kelvin sign alone is k", "\u212A", {}, "App", {}, {}, "k", true},
        {"one unit: İ holds an i", "\u0130", {}, "App", {}, {}, "i", true},
        {"one unit: a dotless ı is no i", "\u0131", {}, "Pp", {}, {}, "i", false},
        {"one unit: a capital is never found", "K", {}, "App", {}, {}, "K", false},
        {"one unit: in the path", "x", {}, "App", {}, "/q", "q", true},
        {"an emoji stays", "A\U0001F600B", {}, "App", {}, {}, "a\U0001F600b", true},
        {"a final sigma stays σ", "\u039F\u0394\u039F\u03A3", {}, "App", {}, {}, "\u03BF\u03B4\u03BF\u03C3", true},
        {"a final sigma is ς typed", "\u039F\u0394\u039F\u03A3", {}, "App", {}, {}, "\u03BF\u03B4\u03BF\u03C2", true},
        {"ς is σ typed", "\u03B7 \u03BF\u03B4\u03BF\u03C2", {}, "App", {}, {}, "\u03BF\u03B4\u03BF\u03C3", true},
        {"ẞ is ß, a byte shorter", "STRA\u1E9EE", {}, "App", {}, {}, "stra\u00DFe", true},
        {"Ⱥ is ⱥ, a byte longer", "\u023A!", {}, "App", {}, {}, "\u2C65!", true},
        {"the Ångström sign is å", "\u212B", "x", "App", {}, {}, "\u00E5", true},
        {"an unpaired surrogate after a change is replaced",
         "A" + lowSurrogate + "b",
         {},
         "App",
         {},
         {},
         "a\uFFFDb",
         true},
        {"an unpaired surrogate before any change stays",
         highSurrogate + "A",
         {},
         "App",
         {},
         {},
         highSurrogate + "a",
         true},
        {"the same one after a change in the text is replaced",
         highSurrogate + "A",
         {},
         "App",
         {},
         {},
         "a\n" + highSurrogate,
         false},
        {"upper case in the query matches nothing", "ABC", {}, "App", {}, {}, "B", false},
        {"text into Markdown", "ab", "cd", "App", {}, {}, "b\ncd", true},
        {"text into itself as the Markdown", "bc", {}, "App", {}, {}, "c\nb", true},
        {"text into an equal Markdown", "Ab", "Ab", "App", {}, {}, "ab\nab\napp", true},
        {"Markdown into the app", "t", "MD", "Mail", {}, {}, "md\nmail", true},
        {"app into address", "t", {}, "Mail", "https://A", {}, "mail\nhttps", true},
        {"app, no address, path", "t", {}, "Mail", {}, "/Tmp", "mail\n\n/tmp", true},
        {"not across fields without a line feed", "ab", "cd", "App", {}, {}, "bc", false},
        {"İ, then across fields", "\u0130", "Z", "App", {}, {}, "\u0307\nz", true},
        {"the Kelvin sign, then across fields", "\u212A", {}, "App", {}, "/P", "k\nk\napp\n\n/p", true},
        // Accents stored as marks of their own (NFD) and typed composed (NFC), and the reverse.
        {"decomposed text", "Cre\u0300me bru\u0302le\u0301e", {}, "App", {}, {}, "cr\u00E8me br\u00FBl\u00E9e", true},
        {"decomposed capital", "E\u0301TE\u0301", {}, "App", {}, {}, "\u00E9t\u00E9", true},
        {"decomposed Markdown", "x", "A\u030Angstro\u0308m", "App", {}, {}, "\u00E5ngstr\u00F6m", true},
        {"decomposed app name", "x", {}, "Cafe\u0301", {}, {}, "caf\u00E9", true},
        {"decomposed address", "x", {}, "App", "https://a.example/cafe\u0301", {}, "caf\u00E9", true},
        {"decomposed path", "x", {}, "App", {}, "/Re\u0301sume\u0301.txt", "r\u00E9sum\u00E9", true},
        {"decomposed Hangul", "\u1112\u1161\u11AB", {}, "App", {}, {}, "\uD55C", true},
        {"a decomposed query", "Cr\u00E8me", {}, "App", {}, {}, "cre\u0300me", true},
        {"marks in either order", "x\u0301\u0323", {}, "App", {}, {}, "x\u0323\u0301", true},
        {"a letter is not its accented form", "Cafe\u0301", {}, "App", {}, {}, "cafe", false},
        {"beyond the first plane, a character NFC replaces", "\U0001D15E", {}, "App", {}, {}, "\U0001D15E", true},
        {"the same in the app name", "x", {}, "\U0001D15E", {}, {}, "\U0001D15E", true},
    };
    for (const auto& c : cases) {
        const Selection s(test::uuid(1), c.text, c.markdown, c.appName, std::nullopt, c.sourceURL, std::nullopt,
                          c.filePath, {}, test::at(1'700'000'000));
        ASSERT_EQ(SortModes::matches(c.query, s), c.matches) << c.name; // the table itself
        SearchIndex index;
        index.append(test::capture({.id = 2}));
        index.append(s);
        EXPECT_EQ(index.matches(1, c.query), c.matches) << c.name;
        EXPECT_EQ(index.matching(c.query), c.matches ? QList<qsizetype>{1} : QList<qsizetype>{}) << c.name;
    }
}

// A Markdown that holds the text is read only around its copy of it, and its fingerprint skips the
// copy: matches that begin before the copy or end after it, and runs of four that cross into or out
// of it, must still be found.
TEST(SearchIndexTest, MarkdownHoldingTheTextMatchesAroundItsCopy)
{
    const struct {
        const char* name;
        QString text, markdown, query;
        bool matches;
    } cases[] = {
        {"from before the copy into it", "Hello world", "**Note** Hello world", "note** hello", true},
        {"from the copy into after it", "Hello world", "Hello world [link](u)", "world [li", true},
        {"within the copy", "Hello world", "**Note** Hello world", "o wor", true},
        {"not across where the copy ends", "Hello world", "**Note** Hello world!", "world?", false},
        {"a text shorter than the query", "ab", "[ab](u)", "[ab](", true},
        {"a text shorter than the query, out of it", "ab", "[ab](u)", "b](u", true},
        {"a text shorter than the query, no match", "ab", "[ab](u)", "ab](x", false},
        {"the copy twice, across the first's end", "ab", "ab-ab", "b-a", true},
        {"the copy twice, into the second", "ab", "ab-ab", "-ab", true},
        {"a long copy, out of it", "abcdefghij", "abcdefghij!!", "hij!", true},
        {"a long copy, past its end", "abcdefghij", "abcdefghij!!", "j!!x", false},
        {"a short copy, into it", "abc", "<abc>", "<abc", true},
        {"a short copy, out of it", "abc", "<abc>", "abc>", true},
        {"the text into the Markdown's start", "Abcdefghij", "<Abcdefghij>", "ghij\n<abc", true},
        {"an equal Markdown into the app", "Abcdefghij", "Abcdefghij", "fghij\napp", true},
        {"an equal Markdown out of the text", "Abcdefghij", "Abcdefghij", "hij\nabcd", true},
        {"İ before the copy", "ZED", "\u0130 ZED", "i\u0307 zed", true},
        {"İ before the copy is no plain i", "ZED", "\u0130 ZED", "i zed", false},
    };
    for (const auto& c : cases) {
        const Selection s(test::uuid(1), c.text, c.markdown, "App", std::nullopt, std::nullopt, std::nullopt,
                          std::nullopt, {}, test::at(1'700'000'000));
        ASSERT_EQ(SortModes::matches(c.query, s), c.matches) << c.name; // the table itself
        SearchIndex index;
        index.append(test::capture({.id = 2}));
        index.append(s);
        EXPECT_EQ(index.matching(c.query), c.matches ? QList<qsizetype>{1} : QList<qsizetype>{}) << c.name;
    }
}

// Each unit's lower case is taken from Qt's in blocks; every unit, unpaired surrogates included,
// must match as the lower-cased search text has it, and as written only where that does too.
TEST(SearchIndexTest, EveryUnitMatchesAsItLowerCases)
{
    SearchIndex index;
    QList<char16_t> disagreeing;
    for (uint32_t u = 0; u < 0x10000; ++u) {
        const QString written = QStringLiteral("X") + QChar(char16_t(u)) + QStringLiteral("Y");
        const Selection s = test::capture({.text = written, .appName = "A", .id = int(u) + 1});
        const qsizetype position = index.append(s);
        for (const QString& query : {Text::lowercased(written), QStringLiteral("x") + QChar(char16_t(u)) + u'y'}) {
            if (index.matches(position, query) != SortModes::matches(query, s))
                disagreeing.append(char16_t(u));
        }
    }
    EXPECT_EQ(disagreeing, QList<char16_t>{});
}

// The scan compares many starts at once and moves its last block back to the end of a field;
// a match must be found wherever it starts, in fields of every length and in every field.
TEST(SearchIndexTest, FindsTheQueryAtEveryPlaceInEveryField)
{
    const struct {
        QString query, written; // written lower-cases to the query unit for unit
    } cases[] = {{"k", "K"},
                 {"\u00E9t", "\u00C9T"},
                 {"\u03C9k\u00E9", "\u2126K\u00C9"},
                 {"a\U0001F600b", "A\U0001F600B"},
                 {"\u4E2Dk", "\u4E2DK"},
                 {"abcdefghijklmnopqrstu", "ABCDEFGHIJKLMNOPQRSTU"}};
    for (const auto& c : cases) {
        SearchIndex index;
        QList<Selection> selections;
        // Two blocks of the widest scan, in the bytes of UTF-8, and a text longer than the start of
        // each capture that a scan reads first.
        std::vector<qsizetype> lengths{140};
        for (qsizetype length = c.written.size(); length <= 72; ++length)
            lengths.push_back(length);
        for (const qsizetype length : lengths) {
            for (qsizetype at = 0; at + c.written.size() <= length; ++at) {
                QString present(length, u'x');
                present.replace(at, c.written.size(), c.written);
                QString absent = present;
                absent[at + c.written.size() - 1] = u'y';
                for (const QString& field : {present, absent}) {
                    for (int place = 0; place < 5; ++place) {
                        Selection s
                            = test::capture({.text = place == 0 ? field : "x", .appName = place == 2 ? field : "x"});
                        if (place == 1)
                            s.markdown = field;
                        if (place == 3)
                            s.sourceURL = field;
                        if (place == 4)
                            s.filePath = field;
                        index.append(s);
                        selections.append(s);
                    }
                }
            }
        }
        const QList<qsizetype> expected = reference(selections, c.query);
        EXPECT_EQ(expected.size() * 2, selections.size()) << qPrintable(c.query);
        EXPECT_EQ(index.matching(c.query), expected) << qPrintable(c.query);
    }
}

// A library large enough to be scanned on several threads: every capture, whichever thread's
// share it falls in, is found, and the positions come back in order.
TEST(SearchIndexTest, ScansOverThreadsAgreeWithMatches)
{
    QRandomGenerator random(13);
    QList<Selection> selections;
    for (int i = 0; i < 12000; ++i) {
        test::CaptureSpec spec{.text = randomText(random, 400), .appName = randomText(random, 4), .id = i + 1};
        if (random.bounded(2))
            spec.filePath = randomText(random, 8);
        selections.append(test::capture(spec));
    }
    SearchIndex index;
    index.rebuild(SelectionList(selections));
    QList<qsizetype> everyThird;
    for (qsizetype i = 0; i < selections.size(); i += 3)
        everyThird.append(i);
    for (int q = 0; q < 24; ++q) {
        const QString query = q % 6 == 5 ? randomText(random, 3) : Text::lowercased(randomText(random, 4));
        const QList<qsizetype> expected = reference(selections, query);
        EXPECT_EQ(index.matching(query), expected) << qPrintable(query);
        QList<qsizetype> expectedAmong;
        std::copy_if(expected.begin(), expected.end(), std::back_inserter(expectedAmong),
                     [](qsizetype i) { return i % 3 == 0; });
        EXPECT_EQ(index.matching(query, &everyThird), expectedAmong) << qPrintable(query);
    }
}

} // namespace
