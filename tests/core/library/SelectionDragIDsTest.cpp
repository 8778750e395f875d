#include "core/library/SelectionDragIDs.h"

#include "support/Records.h"

#include <QRandomGenerator>
#include <QStringList>

#include <gtest/gtest.h>

using namespace vellicord;

namespace {

TEST(SelectionDragIDsTest, Encode)
{
    EXPECT_EQ(SelectionDragIDs::encode({}), QStringLiteral("vellicordsel:"));

    // Text order of the upper-case forms, which is not QUuid's own order for these two
    // (QUuid compares its variant field first).
    const QUuid a(QStringLiteral("A0000000-0000-0000-C000-000000000000"));
    const QUuid b(QStringLiteral("B0000000-0000-0000-0000-000000000000"));
    ASSERT_TRUE(b < a);
    const QString expected
        = QStringLiteral("vellicordsel:A0000000-0000-0000-C000-000000000000,B0000000-0000-0000-0000-000000000000");
    EXPECT_EQ(SelectionDragIDs::encode({a, b}), expected);
    EXPECT_EQ(SelectionDragIDs::encode({b, a}), expected);
}

// The ids sorted as numbers come out in the order of their texts, whatever their bytes, and read
// back as the same set.
TEST(SelectionDragIDsTest, EncodeOrdersAsTheTextsDo)
{
    QRandomGenerator random(7);
    QSet<QUuid> ids;
    for (int i = 0; i < 2000; ++i) {
        uchar bytes[16];
        for (uchar& byte : bytes)
            byte = uchar(random.bounded(4) == 0 ? (random.bounded(2) ? 0x00 : 0xFF) : random.bounded(256));
        ids.insert(QUuid::fromRfc4122(QByteArrayView(bytes, 16)));
    }
    QStringList texts;
    for (const QUuid& id : ids)
        texts.append(id.toString(QUuid::WithoutBraces).toUpper());
    texts.sort();
    const QString encoded = SelectionDragIDs::encode(ids);
    EXPECT_EQ(encoded, QStringLiteral("vellicordsel:") + texts.join(u','));
    EXPECT_EQ(SelectionDragIDs::ids(encoded), ids);
}

TEST(SelectionDragIDsTest, Decode)
{
    const QString one = QStringLiteral("6BA7B810-9DAD-11D1-80B4-00C04FD430C8");
    const QString two = QStringLiteral("00000000-0000-4000-8000-000000000002");
    const QUuid idOne(one), idTwo(two);
    const struct {
        const char* name;
        std::optional<QString> text;
        std::optional<QSet<QUuid>> ids;
    } cases[] = {
        {"absent", std::nullopt, std::nullopt},
        {"prefix alone", QStringLiteral("vellicordsel:"), std::nullopt},
        {"no prefix", one, std::nullopt},
        {"prefix in other case", QStringLiteral("VellicordSel:") + one, std::nullopt},
        {"commas only", QStringLiteral("vellicordsel:,,,"), std::nullopt},
        {"no id at all", QStringLiteral("vellicordsel:hello"), std::nullopt},
        {"two ids", QStringLiteral("vellicordsel:") + one + u',' + two, QSet<QUuid>{idOne, idTwo}},
        {"doubled, leading and trailing commas",
         QStringLiteral("vellicordsel:,") + one + QStringLiteral(",,") + two + u',', QSet<QUuid>{idOne, idTwo}},
        {"space before an id skips it", QStringLiteral("vellicordsel:") + one + QStringLiteral(", ") + two,
         QSet<QUuid>{idOne}},
        {"lower case accepted, repeats counted once", QStringLiteral("vellicordsel:") + one.toLower() + u',' + one,
         QSet<QUuid>{idOne}},
    };
    for (const auto& c : cases)
        EXPECT_EQ(SelectionDragIDs::ids(c.text), c.ids) << c.name;
}

TEST(SelectionDragIDsTest, RoundTrip)
{
    for (int n = 1; n < 40; ++n) {
        QSet<QUuid> ids;
        for (int i = 0; i < n; ++i)
            ids.insert(QUuid::createUuid());
        EXPECT_EQ(SelectionDragIDs::ids(SelectionDragIDs::encode(ids)), ids);
    }
}

} // namespace
