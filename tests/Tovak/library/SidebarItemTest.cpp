#include "Tovak/library/SidebarItem.h"

#include <QSet>

#include <gtest/gtest.h>

using namespace vellicord;

TEST(SidebarItem, IdentifiersEqualityAndHashing)
{
    const QUuid g = QUuid(QStringLiteral("8e9d6a3c-1f2b-4c5d-9e8f-0a1b2c3d4e5f"));
    const SourceIdentity page{QStringLiteral("https://a.example/x"), QStringLiteral("Firefox"), std::nullopt,
                              QStringLiteral("https://a.example/x"), std::nullopt};
    SourceIdentity samePageOtherApp = page;
    samePageOtherApp.appName = QStringLiteral("Chromium");

    struct Case {
        SidebarItem item;
        QString id;
    };
    const Case cases[] = {
        {SidebarItem::allSelections(), QStringLiteral("all")},
        {SidebarItem::prompt(), QStringLiteral("prompt")},
        {SidebarItem::group(g), QStringLiteral("group:8E9D6A3C-1F2B-4C5D-9E8F-0A1B2C3D4E5F")},
        {SidebarItem::draft(g), QStringLiteral("draft:8E9D6A3C-1F2B-4C5D-9E8F-0A1B2C3D4E5F")},
        {SidebarItem::source(page), QStringLiteral("source:https://a.example/x")},
        {SidebarItem::source(samePageOtherApp), QStringLiteral("source:https://a.example/x")},
    };
    QSet<SidebarItem> distinct;
    for (const Case& c : cases) {
        EXPECT_EQ(c.item.id(), c.id);
        distinct.insert(c.item);
    }
    // Every item above is different from the others, also the two sources that share an id.
    EXPECT_EQ(distinct.size(), std::size(cases));
    EXPECT_EQ(SidebarItem::group(g), SidebarItem::group(g));
    EXPECT_EQ(qHash(SidebarItem::source(page)), qHash(SidebarItem::source(page)));
    EXPECT_NE(SidebarItem::group(g), SidebarItem::draft(g));
    EXPECT_TRUE(SidebarItem::draft(g).showsComposer());
    EXPECT_FALSE(SidebarItem::source(page).showsComposer());
}
