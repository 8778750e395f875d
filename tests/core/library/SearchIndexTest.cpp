#include "core/foundation/Text.h"
#include "core/library/SearchIndex.h"
#include "core/library/SortMode.h"

#include "support/Records.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

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

QString randomText(QRandomGenerator& random, int maxLength)
{
    static const QStringList pieces{"a", "b", "ab", "ba", " ", "\n", "\u00E9", "E", "\u0130", "\U0001F600", "x"};
    QString text;
    for (int n = int(random.bounded(maxLength)); n > 0; --n)
        text.append(pieces[int(random.bounded(pieces.size()))]);
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
            test::CaptureSpec spec{.text = randomText(random, 12), .appName = randomText(random, 4),
                                   .id = int(selections.size()) + 1};
            if (random.bounded(2))
                spec.sourceURL = QStringLiteral("https://ab.example/") + QString::number(random.bounded(9));
            selections.append(test::capture(spec));
        }
        if (random.bounded(4) == 0 && !selections.isEmpty())
            selections.removeAt(qsizetype(random.bounded(int(selections.size()))));
        index.rebuild(selections);
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
            test::CaptureSpec spec{.text = randomText(random, 14), .appName = randomText(random, 3),
                                   .id = step + 1};
            Selection s = test::capture(spec);
            if (random.bounded(3) == 0)
                s.markdown = randomText(random, 6);
            ASSERT_EQ(index.append(s), byPosition.size());
            byPosition.append(s);
            alive.append(true);
        }
        if (step % 20 != 19)
            continue;
        const QString shorter = Text::lowercased(randomText(random, 2));
        const QString longer = shorter + Text::lowercased(randomText(random, 2));
        QList<qsizetype> expected;
        for (qsizetype i = 0; i < byPosition.size(); ++i) {
            if (alive[i] && SortModes::matches(longer, byPosition[i]))
                expected.append(i);
        }
        const QList<qsizetype> hits = index.matching(shorter);
        EXPECT_EQ(index.matching(longer, &hits), expected) << "step " << step;
        EXPECT_EQ(index.matching(longer), expected) << "step " << step;
        for (qsizetype i : expected)
            EXPECT_TRUE(index.matches(i, longer));
    }
}

} // namespace
