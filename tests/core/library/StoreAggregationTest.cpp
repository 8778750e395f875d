#include "core/library/StoreAggregation.h"

#include "support/Records.h"

#include <QRandomGenerator>
#include <QSet>

#include <gtest/gtest.h>

using namespace vellicord;
using vellicord::test::capture;

namespace {

TEST(StoreAggregationTest, GroupsByIdentifierAndOrdersByDisplay)
{
    const QString page = QStringLiteral("https://example.com/a");
    const QList<Selection> input{
        capture({.appName = QStringLiteral("Firefox"),
                 .bundleID = QStringLiteral("org.mozilla.firefox"),
                 .sourceURL = page,
                 .id = 1}),
        capture({.appName = QStringLiteral("zsh"), .id = 2}),
        capture({.appName = QStringLiteral("Chromium"),
                 .bundleID = QStringLiteral("org.chromium"),
                 .sourceURL = page,
                 .filePath = QStringLiteral("/x"),
                 .id = 3}),
        capture({.appName = QStringLiteral("Terminal"), .bundleID = QStringLiteral("a"), .id = 4}),
        capture({.appName = QStringLiteral("Terminal"), .bundleID = QStringLiteral("b"), .id = 5}),
        capture({.appName = QStringLiteral("Editor"), .filePath = QStringLiteral("/home/n.md"), .id = 6}),
    };
    const QList<SourceAggregate> result = StoreAggregation::sources(input);
    ASSERT_EQ(result.size(), 4);
    EXPECT_EQ(result[0].id(), QStringLiteral("/home/n.md"));
    EXPECT_EQ(result[1].id(), page);
    EXPECT_EQ(result[1].identity.appName, QStringLiteral("Firefox")) << "the first capture fixes the identity";
    EXPECT_EQ(result[1].selectionIDs, (QList<QUuid>{test::uuid(1), test::uuid(3)}));
    EXPECT_EQ(result[1].count, 2);
    EXPECT_EQ(result[2].id(), QStringLiteral("Terminal"));
    EXPECT_EQ(result[2].identity.bundleID, QStringLiteral("a"));
    EXPECT_EQ(result[3].id(), QStringLiteral("zsh")) << "lower-case names sort among the others";
    EXPECT_TRUE(StoreAggregation::sources(QList<Selection>()).isEmpty());
}

TEST(StoreAggregationTest, CanonicallyEqualIdentifiersAreOneSource)
{
    struct Case {
        const char* name;
        test::CaptureSpec first, second;
        qsizetype sources;
    } const cases[] = {
        {"application in NFC and NFD",
         {.appName = QStringLiteral("Caf\u00E9"), .id = 1},
         {.appName = QStringLiteral("Cafe\u0301"), .id = 2},
         1},
        {"address in NFC and NFD",
         {.sourceURL = QStringLiteral("https://example.com/\u00FCber"), .id = 1},
         {.sourceURL = QStringLiteral("https://example.com/u\u0308ber"), .id = 2},
         1},
        {"file path in NFC and NFD",
         {.filePath = QStringLiteral("/r\u00E9sum\u00E9.txt"), .id = 1},
         {.filePath = QStringLiteral("/re\u0301sume\u0301.txt"), .id = 2},
         1},
        {"accent against none",
         {.appName = QStringLiteral("Caf\u00E9"), .id = 1},
         {.appName = QStringLiteral("Cafe"), .id = 2},
         2},
    };
    for (const Case& c : cases) {
        const QList<SourceAggregate> result = StoreAggregation::sources({capture(c.first), capture(c.second)});
        ASSERT_EQ(result.size(), c.sources) << c.name;
        if (c.sources == 1) {
            EXPECT_EQ(result[0].selectionIDs, (QList<QUuid>{test::uuid(1), test::uuid(2)})) << c.name;
        }
    }
}

TEST(StoreAggregationTest, CountsAddUpOnRandomLibraries)
{
    const QStringList apps{"Mail", "mail", "Notes", "Browser"};
    const QStringList pages{"https://a.example/", "https://b.example/", "Mail"};
    QRandomGenerator random(7);
    for (int round = 0; round < 100; ++round) {
        QList<Selection> input;
        const int n = int(random.bounded(50));
        for (int i = 0; i < n; ++i) {
            test::CaptureSpec spec{.appName = apps[int(random.bounded(apps.size()))], .id = i + 1};
            if (random.bounded(2))
                spec.sourceURL = pages[int(random.bounded(pages.size()))];
            input.append(capture(spec));
        }
        const QList<SourceAggregate> result = StoreAggregation::sources(input);
        QSet<QUuid> seen;
        int64_t total = 0;
        QSet<QString> identifiers;
        for (const SourceAggregate& a : result) {
            EXPECT_EQ(a.count, a.selectionIDs.size());
            total += a.count;
            for (const QUuid& id : a.selectionIDs)
                EXPECT_FALSE(seen.contains(id));
            seen.unite(QSet<QUuid>(a.selectionIDs.begin(), a.selectionIDs.end()));
            EXPECT_FALSE(identifiers.contains(a.id()));
            identifiers.insert(a.id());
        }
        EXPECT_EQ(total, n);
        for (qsizetype i = 1; i < result.size(); ++i)
            EXPECT_FALSE(result[i].identity < result[i - 1].identity) << "round " << round;
    }
}

} // namespace
