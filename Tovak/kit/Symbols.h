#pragma once

#include <QColor>
#include <QIcon>
#include <QRectF>
#include <QString>

class QPainter;

namespace vellicord {

// Our own icon set, keyed by the symbol names the views use ("checkmark.circle.fill",
// "hand.raised", ...). Each symbol is a small SVG drawn in one colour (filled symbols draw their
// inner mark in white), so it scales to any size and follows the palette.
namespace Symbols {

bool has(const QString& name);
// Draws the symbol into the square centred in the rectangle. An unknown name is a mistake in the
// calling view: it draws nothing and is reported as critical on "com.ruvo.vellicord.symbols", which
// fails the widget tests, rather than showing a stand-in that would go unnoticed.
void paint(QPainter& painter, const QString& name, const QRectF& rect, const QColor& color);
// An icon whose pixmaps are drawn at the size asked for, in the colour given. An unknown name is
// reported when the icon is made and draws nothing.
QIcon icon(const QString& name, const QColor& color);

} // namespace Symbols
} // namespace vellicord
