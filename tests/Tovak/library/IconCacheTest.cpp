#include "Tovak/library/IconCache.h"

#include "support/FakeDesktop.h"

#include <QPixmap>

#include <gtest/gtest.h>

using namespace vellicord;

namespace {

QIcon filled(Qt::GlobalColor color)
{
    QPixmap pixmap(16, 16);
    pixmap.fill(color);
    return QIcon(pixmap);
}

TEST(IconCache, FindsEachApplicationOnceAndKeepsWhatItFound)
{
    FakeDesktop desktop;
    desktop.icons.insert(QStringLiteral("org.example.Notes"), filled(Qt::red));
    desktop.icons.insert(QStringLiteral("Terminal"), filled(Qt::blue));
    IconCache cache(desktop);
    const QString notesID = QStringLiteral("org.example.Notes");

    const QIcon first = cache.icon(notesID, QStringLiteral("Notes"));
    EXPECT_EQ(cache.icon(notesID, QStringLiteral("Notes")).cacheKey(), first.cacheKey());
    EXPECT_EQ(desktop.iconRequests, 1) << "a hit does not ask the desktop";

    // Without an id, or with an empty one, the name is the key: each application its own entry.
    const QIcon terminal = cache.icon(std::nullopt, QStringLiteral("Terminal"));
    EXPECT_EQ(cache.icon(QString(), QStringLiteral("Terminal")).cacheKey(), terminal.cacheKey());
    EXPECT_NE(cache.icon(QString(), QStringLiteral("Writer")).cacheKey(), terminal.cacheKey());
    EXPECT_EQ(desktop.iconRequests, 3);
    // One application with and without an id takes two entries.
    cache.icon(std::nullopt, QStringLiteral("Notes"));
    EXPECT_EQ(desktop.iconRequests, 4);

    // Found nowhere: the quotation symbol, kept even once the application is installed.
    const QIcon missing = cache.icon(QStringLiteral("org.example.Gone"), QStringLiteral("Gone"));
    EXPECT_FALSE(missing.isNull());
    desktop.icons.insert(QStringLiteral("org.example.Gone"), filled(Qt::green));
    EXPECT_EQ(cache.icon(QStringLiteral("org.example.Gone"), QStringLiteral("Gone")).cacheKey(), missing.cacheKey());
}

} // namespace
