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
    const qreal scale = painter.device() ? painter.device()->devicePixelRatioF() : 1.0;
    const QRect area(QPoint(0, 0), rect.size());
    const QIcon found = icon(bundleID, appName);
    QPixmap image;
    if (found.cacheKey() != fallback_.cacheKey()) {
        image = drawing(keyOf(bundleID, appName) + QStringLiteral("|r%1").arg(radius), rect.size(), scale,
                        [&](QPainter& canvas) {
                            QPainterPath corners;
                            corners.addRoundedRect(QRectF(area), radius, radius);
                            canvas.setClipPath(corners);
                            found.paint(&canvas, area);
                        });
    }
    if (image.isNull()) {
        image = drawing(QStringLiteral("symbol:") + symbolColor.name(QColor::HexArgb), rect.size(), scale,
                        [&](QPainter& canvas) { Symbols::paint(canvas, quotation, QRectF(area), symbolColor); });
    }
    painter.drawPixmap(rect, image);
}

QPixmap IconCache::drawing(const QString& key, const QSize& size, qreal scale,
                           const std::function<void(QPainter&)>& draw)
{
    const QString sized = key + QStringLiteral("|%1x%2@%3").arg(size.width()).arg(size.height()).arg(scale);
    if (const auto it = drawings_.constFind(sized); it != drawings_.cend())
        return it.value();
    QImage image(size * scale, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    {
        QPainter painter(&image);
        painter.setRenderHint(QPainter::Antialiasing);
        painter.setRenderHint(QPainter::SmoothPixmapTransform);
        draw(painter);
    }
    const QPixmap result = paintsSomething(image) ? QPixmap::fromImage(image) : QPixmap();
    drawings_.insert(sized, result);
    return result;
}

} // namespace vellicord
