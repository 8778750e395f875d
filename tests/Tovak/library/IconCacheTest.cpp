#include "Tovak/library/IconCache.h"

#include "Tovak/kit/Symbols.h"
#include "support/FakeDesktop.h"

#include <QImage>
#include <QPainter>
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

QImage drawn(IconCache& cache, const std::optional<QString>& bundleID, const QString& appName, const QColor& symbol)
{
    QImage image(26, 26, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    cache.paint(painter, image.rect(), 6, bundleID, appName, symbol);
    return image;
}

// What a row shows: the application's icon where it draws something at the row's size, else the
// quotation symbol in the colour asked (white on the selection), never an empty square.
TEST(IconCache, DrawsTheIconOrTheQuotationSymbolNeverNothing)
{
    FakeDesktop desktop;
    QPixmap clear(16, 16);
    clear.fill(Qt::transparent);
    desktop.icons.insert(QStringLiteral("Notes"), filled(Qt::red));
    desktop.icons.insert(QStringLiteral("Blank"), QIcon(clear));
    IconCache cache(desktop);
    QImage symbol(26, 26, QImage::Format_ARGB32_Premultiplied);
    const auto quotation = [&](const QColor& color) {
        symbol.fill(Qt::transparent);
        QPainter painter(&symbol);
        Symbols::paint(painter, QStringLiteral("text.quote"), symbol.rect(), color);
        return symbol;
    };
    struct Case {
        const char* name;
        QString app;
        QColor symbol;
        std::optional<QImage> shown; // none: the icon itself
    };
    const Case cases[] = {
        {"an icon", QStringLiteral("Notes"), Qt::gray, std::nullopt},
        {"an icon that draws nothing", QStringLiteral("Blank"), Qt::gray, quotation(Qt::gray)},
        {"no icon", QStringLiteral("Gone"), Qt::gray, quotation(Qt::gray)},
        {"no icon, on the selection", QStringLiteral("Gone"), Qt::white, quotation(Qt::white)},
    };
    for (const Case& c : cases) {
        const QImage image = drawn(cache, std::nullopt, c.app, c.symbol);
        if (c.shown)
            EXPECT_EQ(image, *c.shown) << c.name;
        else
            EXPECT_EQ(image.pixelColor(13, 13), QColor(Qt::red)) << c.name;
    }
    // Rounded corners: the icon leaves them clear.
    EXPECT_EQ(qAlpha(drawn(cache, std::nullopt, QStringLiteral("Notes"), Qt::gray).pixel(0, 0)), 0);
}

} // namespace
