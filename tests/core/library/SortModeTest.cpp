#include "core/library/SortMode.h"
#include "core/library/SourceIdentity.h"
#include "core/library/StoreAggregation.h"

#include "support/Records.h"

#include <QRandomGenerator>
#include <QSet>

#include <gtest/gtest.h>

using namespace vellicord;
using vellicord::test::capture;

namespace {

QList<int> idsOf(const QList<Selection>& selections)
{
    QList<int> ids;
    for (const Selection& s : selections)
        ids.append(int(s.id.data4[7]) | int(s.id.data4[6]) << 8);
    return ids;
}

TEST(SortModeTest, RawValuesAndOrderOfCases)
{
    QStringList names;
    for (SortMode mode : SortModes::allCases())
        names.append(SortModes::rawValue(mode));
    EXPECT_EQ(names, (QStringList{"Newest first", "Oldest first", "By app", "By source"}));
    EXPECT_EQ(SortModes::fromRawValue(QStringLiteral("By app")), SortMode::byApp);
    EXPECT_EQ(SortModes::fromRawValue(QStringLiteral("by app")), std::nullopt);
}

TEST(SortModeTest, Orders)
{
    const QString url = QStringLiteral("https://b.example/");
    const QList<Selection> input{
        capture({.appName = QStringLiteral("Zed"), .createdAt = 100, .id = 0x11}),
        capture({.appName = QStringLiteral("alpha"), .createdAt = 300, .id = 0x12}),
        capture({.appName = QStringLiteral("Zed"), .createdAt = 200, .id = 0x13}),
        capture({.appName = QStringLiteral("Mail"), .sourceURL = url, .createdAt = 100, .id = 0x14}),
        capture({.appName = QStringLiteral("Editor"),
                 .filePath = QStringLiteral("/c/notes"),
                 .createdAt = 300,
                 .id = 0x15}),
        capture({.appName = QStringLiteral("Web"), .sourceURL = url, .createdAt = 200, .id = 0x16}),
    };
    const struct {
        SortMode mode;
        QList<int> ids;
    } cases[] = {
        {SortMode::newestFirst, {0x12, 0x15, 0x13, 0x16, 0x11, 0x14}},
        {SortMode::oldestFirst, {0x11, 0x14, 0x13, 0x16, 0x12, 0x15}},
        {SortMode::byApp, {0x12, 0x15, 0x14, 0x16, 0x13, 0x11}},
        // "/c/notes" sorts before letters; the page's captures newest first; apps by name.
        {SortMode::bySource, {0x15, 0x12, 0x16, 0x14, 0x13, 0x11}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(idsOf(SortModes::sort(c.mode, input)), c.ids) << SortModes::rawValue(c.mode).toStdString();
}

TEST(SortModeTest, StabilityAndCaseOnlyDifferences)
{
    const QList<Selection> sameTime{capture({.createdAt = 5, .id = 1}), capture({.createdAt = 5, .id = 2}),
                                    capture({.createdAt = 5, .id = 3})};
    EXPECT_EQ(idsOf(SortModes::sort(SortMode::newestFirst, sameTime)), (QList<int>{1, 2, 3}));
    EXPECT_EQ(idsOf(SortModes::sort(SortMode::oldestFirst, sameTime)), (QList<int>{1, 2, 3}));

    // Names that differ only in case are not ordered among themselves, not even newest first.
    const QList<Selection> caseOnly{capture({.appName = QStringLiteral("notes"), .createdAt = 1, .id = 1}),
                                    capture({.appName = QStringLiteral("Notes"), .createdAt = 9, .id = 2})};
    EXPECT_EQ(idsOf(SortModes::sort(SortMode::byApp, caseOnly)), (QList<int>{1, 2}));
    EXPECT_TRUE(SortModes::sort(SortMode::bySource, QList<Selection>()).isEmpty());
}

// The orders by name ignore case in every locale the program may be started in, a machine set to
// no language (C.UTF-8, where Qt's collator compares code points) included.
TEST(SortModeTest, OrdersByNameIgnoreCaseInEveryLocale)
{
    const QList<Selection> input{
        capture({.appName = QStringLiteral("Banana"), .id = 1}),
        capture({.appName = QStringLiteral("Date"), .id = 2}),
        capture({.appName = QStringLiteral("apple"), .id = 3}),
        capture({.appName = QStringLiteral("cherry"), .id = 4}),
        capture({.appName = QStringLiteral("XTerm"), .id = 5}),
        capture({.appName = QStringLiteral("Files"), .filePath = QStringLiteral("file:notes"), .id = 6}),
        capture({.appName = QStringLiteral("\u00C9tude"), .id = 7}),
    };
    const QList<int> byName{3, 1, 4, 2, 7, 6, 5};
    for (const char* name : {"C.UTF-8", "en_US.UTF-8", "C"}) {
        QLocale::setDefault(QLocale(QString::fromLatin1(name)));
        EXPECT_EQ(idsOf(SortModes::sort(SortMode::byApp, input)), byName) << name;
        EXPECT_EQ(idsOf(SortModes::sort(SortMode::bySource, input)), byName) << name;
        QList<int> sources;
        for (const SourceAggregate& source : StoreAggregation::sources(input))
            sources.append(int(source.selectionIDs.first().data4[7]));
        EXPECT_EQ(sources, byName) << name << ": the sidebar's sources";
        EXPECT_TRUE(SourceIdentity::from(input[2]) < SourceIdentity::from(input[0])) << name;
        EXPECT_FALSE(SourceIdentity::from(input[0]) < SourceIdentity::from(input[2])) << name;
    }
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
}

// The positions of the library list in the order by time: a library kept newest first is one
// order and the reverse of the other, except where equal times keep their library order.
TEST(SortModeTest, OrderByTime)
{
    const struct {
        const char* name;
        QList<qint64> times; // of the list's captures, in list order
        std::vector<uint32_t> newest, oldest;
    } cases[] = {
        {"no captures", {}, {}, {}},
        {"one capture", {7}, {0}, {0}},
        {"all at one time", {5, 5, 5}, {0, 1, 2}, {0, 1, 2}},
        {"kept newest first", {9, 5, 1}, {0, 1, 2}, {2, 1, 0}},
        {"kept oldest first", {1, 5, 9}, {2, 1, 0}, {0, 1, 2}},
        {"newest first with a tie", {9, 5, 5, 1}, {0, 1, 2, 3}, {3, 1, 2, 0}},
        {"oldest first with a tie", {1, 5, 5, 9}, {3, 1, 2, 0}, {0, 1, 2, 3}},
        {"mixed, ties apart", {5, 9, 1, 9, 5}, {1, 3, 0, 4, 2}, {2, 0, 4, 1, 3}},
        {"before the epoch", {-1000, 0, -2000}, {1, 0, 2}, {2, 0, 1}},
    };
    for (const auto& c : cases) {
        QList<Selection> input;
        for (const qint64 time : c.times)
            input.append(capture({.createdAt = time, .id = int(input.size())}));
        EXPECT_EQ(SortModes::order(SortMode::newestFirst, input), c.newest) << c.name;
        EXPECT_EQ(SortModes::order(SortMode::oldestFirst, input), c.oldest) << c.name;
        EXPECT_EQ(SortModes::order(SortMode::newestFirst, SelectionList(input)), c.newest) << c.name;
    }
}

// Equal names mixed with names that differ only in case make the rule inconsistent; the sort must
// still end with every capture exactly once, equal names newest first when they end up adjacent
// only through the defined part of the order, and names in case-insensitive order.
TEST(SortModeTest, MixedCaseNamesTerminateAsPermutation)
{
    const QStringList names{"notes", "Notes", "NOTES", "mail", "Mail", "zed"};
    QRandomGenerator random(42);
    for (int round = 0; round < 200; ++round) {
        QList<Selection> input;
        const int n = 1 + int(random.bounded(60));
        for (int i = 0; i < n; ++i)
            input.append(capture({.appName = names[int(random.bounded(names.size()))],
                                  .createdAt = qint64(random.bounded(10)),
                                  .id = i + 1}));
        for (SortMode mode : {SortMode::byApp, SortMode::bySource}) {
            const QList<Selection> sorted = SortModes::sort(mode, input);
            ASSERT_EQ(sorted.size(), input.size());
            QList<int> ids = idsOf(sorted);
            std::sort(ids.begin(), ids.end());
            QList<int> expected;
            for (int i = 1; i <= n; ++i)
                expected.append(i);
            ASSERT_EQ(ids, expected) << "round " << round;
            for (qsizetype i = 1; i < sorted.size(); ++i) {
                const QString a = sorted[i - 1].appName.toLower(), b = sorted[i].appName.toLower();
                EXPECT_LE(a, b) << "case-insensitive groups stay in order, round " << round;
            }
        }
    }
}

TEST(SortModeTest, Search)
{
    const Selection s = capture({.text = QStringLiteral("Hello World"),
                                 .appName = QStringLiteral("Browser"),
                                 .bundleID = QStringLiteral("org.browser"),
                                 .sourceURL = QStringLiteral("https://Example.com/Path"),
                                 .sourceTitle = QStringLiteral("Page Title"),
                                 .filePath = QStringLiteral("/tmp/File.txt")});
    const struct {
        const char* query;
        bool matches;
    } cases[] = {
        {"", true},
        {"hello", true},
        {"Hello", false}, // the search text is lower case; the list lower-cases queries first
        {"world\nhello", true}, // across the line feed that joins text and Markdown
        {"example.com/path", true},
        {"file.txt", true},
        {"browser", true},
        {"page title", false}, // the title is not searched
        {"org.browser", false}, // nor the bundle identifier
        {"  ", false},
        {" ", true},
    };
    for (const auto& c : cases) {
        const QString query = QString::fromUtf8(c.query);
        EXPECT_EQ(SortModes::matches(query, s), c.matches) << c.query;
        EXPECT_EQ(SortModes::matchesSearchText(query, SortModes::searchText(s)), c.matches) << c.query;
    }
}

} // namespace
