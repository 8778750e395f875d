#include "Tovak/library/IconCache.h"

#include "Tovak/kit/Symbols.h"
#include "platform/Desktop.h"

#include <QImage>
#include <QMutexLocker>
#include <QPainter>
#include <QPainterPath>

namespace vellicord {

namespace {

const QString quotation = QStringLiteral("text.quote");

bool paintsSomething(const QImage& image)
{
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgb*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            if (qAlpha(line[x]) != 0)
                return true;
        }
    }
    return false;
}

} // namespace

IconCache::IconCache(Desktop& desktop)
    : desktop_(desktop)
    , fallback_(Symbols::icon(quotation, QColor(128, 128, 128)))
{
}

QString IconCache::keyOf(const std::optional<QString>& bundleID, const QString& appName)
{
    // Applications without a desktop id would all share one empty key; they go by name instead.
    return bundleID && !bundleID->isEmpty() ? QStringLiteral("id:") + *bundleID : QStringLiteral("name:") + appName;
}

QIcon IconCache::icon(const std::optional<QString>& bundleID, const QString& appName)
{
    const QString key = keyOf(bundleID, appName);
    {
        QMutexLocker locker(&lock_);
        const auto it = cache_.constFind(key);
        if (it != cache_.cend())
            return it.value();
    }
    // Asked without the lock: the desktop may read its entries from disk.
    const std::optional<QString> id = bundleID && !bundleID->isEmpty() ? bundleID : std::nullopt;
    QIcon found = desktop_.applicationIcon(id, appName);
    if (found.isNull())
        found = fallback_;
    QMutexLocker locker(&lock_);
    cache_.insert(key, found);
    return found;
}

void IconCache::paint(QPainter& painter, const QRect& rect, qreal radius, const std::optional<QString>& bundleID,
                      const QString& appName, const QColor& symbolColor)
{
    const QIcon found = icon(bundleID, appName);
    if (found.cacheKey() != fallback_.cacheKey()) {
        const qreal scale = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
        const QPixmap image = drawn(keyOf(bundleID, appName), found, rect.size(), scale, radius);
        if (!image.isNull()) {
            painter.drawPixmap(rect, image);
            return;
        }
    }
    painter.drawPixmap(
        rect, symbol(rect.size(), painter.device() ? painter.device()->devicePixelRatioF() : 1.0, symbolColor));
}

QPixmap IconCache::symbol(const QSize& size, qreal scale, const QColor& color)
{
    const QString key = QStringLiteral("symbol|%1x%2@%3|%4")
                            .arg(size.width())
                            .arg(size.height())
                            .arg(scale)
                            .arg(color.name(QColor::HexArgb));
    if (const auto it = drawings_.constFind(key); it != drawings_.cend())
        return it.value();
    QImage image(size * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        Symbols::paint(painter, quotation, QRectF(QPointF(0, 0), QSizeF(size)), color);
    }
    const QPixmap drawing = QPixmap::fromImage(image);
    drawings_.insert(key, drawing);
    return drawing;
}

QPixmap IconCache::drawn(const QString& key, const QIcon& icon, const QSize& size, qreal scale, qreal radius)
{
    const QString sized
        = key + QStringLiteral("|%1x%2@%3r%4").arg(size.width()).arg(size.height()).arg(scale).arg(radius);
    if (const auto it = drawings_.constFind(sized); it != drawings_.cend())
        return it.value();
    QImage image(size * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        QPainterPath corners;
        corners.addRoundedRect(QRectF(QPointF(0, 0), QSizeF(size)), radius, radius);
        painter.setClipPath(corners);
        icon.paint(&painter, QRect(QPoint(0, 0), size));
    }
    const QPixmap result = paintsSomething(image) ? QPixmap::fromImage(image) : QPixmap();
    drawings_.insert(sized, result);
    return result;
}

} // namespace vellicord
