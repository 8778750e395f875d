#pragma once

#include <QColor>
#include <QHash>
#include <QIcon>
#include <QMutex>
#include <QPixmap>
#include <QString>

#include <functional>
#include <optional>

class QPainter;

namespace vellicord {

class Desktop;

// The icon of the application a capture came from, found once per application and kept for the
// life of the window, so that scrolling never asks the desktop again. Never fails: an application
// found nowhere gets the quotation symbol, and keeps it.
class IconCache {
public:
    explicit IconCache(Desktop& desktop);

    // By the bundle identifier when there is one (an empty identifier is none), else by the name.
    QIcon icon(const std::optional<QString>& bundleID, const QString& appName);

    // Draws the application's icon into the rectangle, its corners rounded to the radius. Where the
    // application has no icon, or its icon draws nothing at that size (an image its engine cannot
    // read, an empty one), the quotation symbol in `symbolColor` stands in: never an empty square.
    // The drawing at each size is kept. Main thread only.
    void paint(QPainter& painter, const QRect& rect, qreal radius, const std::optional<QString>& bundleID,
               const QString& appName, const QColor& symbolColor);

private:
    static QString keyOf(const std::optional<QString>& bundleID, const QString& appName);
    // What `draw` paints into a clear image of the size, made once for each key and size; null
    // when it paints nothing there.
    QPixmap drawing(const QString& key, const QSize& size, qreal scale, const std::function<void(QPainter&)>& draw);

    Desktop& desktop_;
    const QIcon fallback_; // every application found nowhere shares it, so a drawing tells it apart
    QMutex lock_;
    QHash<QString, QIcon> cache_;
    QHash<QString, QPixmap> drawings_; // by application or symbol colour, and size
};

} // namespace vellicord
