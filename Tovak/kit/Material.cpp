#include "Tovak/kit/Material.h"

#include "Tovak/kit/Theme.h"

#include <QPainter>
#include <QPainterPath>

namespace vellicord::Material {

void paintRegular(QPainter& painter, const QRectF& rect, qreal radius, const QPalette& palette)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QColor fill = Theme::colors(palette).panelBackground;
    fill.setAlphaF(0.86);
    QColor border = palette.color(QPalette::WindowText);
    border.setAlphaF(0.1);
    // Inset by half the pen so that the hairline stays inside the widget at any scale.
    const QRectF shape = rect.adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(QPen(border, 1));
    painter.setBrush(fill);
    painter.drawRoundedRect(shape, radius - 0.5, radius - 0.5);
    painter.restore();
}

} // namespace vellicord::Material
