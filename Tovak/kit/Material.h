#pragma once

#include <QRectF>

class QPainter;
class QPalette;

namespace vellicord {

// The translucent surface that banners sit on, lifted a little off whatever is behind them.
namespace Material {

void paintRegular(QPainter& painter, const QRectF& rect, qreal radius, const QPalette& palette);

} // namespace Material
} // namespace vellicord
