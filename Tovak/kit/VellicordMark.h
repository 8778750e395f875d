#pragma once

#include <QColor>
#include <QIcon>
#include <QImage>
#include <QPainterPath>
#include <QRectF>

namespace vellicord {

// The brand mark: a pair of square brackets with a dot between them.
namespace VellicordMark {

// The two open bracket polylines inside a rectangle.
QPainterPath brackets(const QRectF& rect);
// Brackets stroked and the dot filled, as the mark view and the status image draw them.
void paint(QPainter& painter, const QRectF& rect, const QColor& stroke, qreal lineWidth,
           const QColor& dot);
// The 18 × 18 status-area image: line width 1.8, all in one colour (black by default; the tray
// gets the colour of the panel's text, as desktops do not tint tray icons).
QImage statusImage(qreal scale = 1.0, const QColor& ink = Qt::black);
QIcon statusIcon(const QColor& ink);

} // namespace VellicordMark
} // namespace vellicord
