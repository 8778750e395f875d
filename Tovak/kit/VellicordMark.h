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
// Brackets stroked and the dot filled, as the mark view and the status image draw them; the dot is
// 0.16 of the width across unless a diameter is given.
void paint(QPainter& painter, const QRectF& rect, const QColor& stroke, qreal lineWidth, const QColor& dot,
           qreal dotDiameter = 0);
// The 18 × 18 status-area image: line width 1.8, all in one colour (black by default).
QImage statusImage(qreal scale = 1.0, const QColor& ink = Qt::black);
// The tray's image, size × size: the mark in white on a dark rounded badge. Desktops do not tint
// tray icons, and a panel may be light or dark whatever the application's palette, so the mark
// brings its own background and reads on either.
QImage trayImage(int size, qreal scale = 1.0);
QIcon trayIcon();

} // namespace VellicordMark
} // namespace vellicord
