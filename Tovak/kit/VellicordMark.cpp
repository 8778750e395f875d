#include "Tovak/kit/VellicordMark.h"

#include <QPainter>

namespace vellicord::VellicordMark {

QPainterPath brackets(const QRectF& rect)
{
    const auto at = [&](qreal x, qreal y) {
        return QPointF(rect.x() + x * rect.width(), rect.y() + y * rect.height());
    };
    QPainterPath path;
    path.moveTo(at(0.38, 0.16));
    path.lineTo(at(0.18, 0.16));
    path.lineTo(at(0.18, 0.84));
    path.lineTo(at(0.38, 0.84));
    path.moveTo(at(0.62, 0.16));
    path.lineTo(at(0.82, 0.16));
    path.lineTo(at(0.82, 0.84));
    path.lineTo(at(0.62, 0.84));
    return path;
}

void paint(QPainter& painter, const QRectF& rect, const QColor& stroke, qreal lineWidth,
           const QColor& dot)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(stroke, lineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    pen.setMiterLimit(10);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(brackets(rect));
    const qreal d = 0.16 * rect.width();
    painter.setPen(Qt::NoPen);
    painter.setBrush(dot);
    painter.drawEllipse(QRectF(rect.center().x() - d / 2, rect.center().y() - d / 2, d, d));
    painter.restore();
}

QImage statusImage(qreal scale, const QColor& ink)
{
    QImage image(QSize(qRound(18 * scale), qRound(18 * scale)), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    paint(painter, QRectF(0, 0, 18, 18), ink, 1.8, ink);
    return image;
}

QIcon statusIcon(const QColor& ink)
{
    QIcon icon;
    for (qreal scale : {1.0, 2.0})
        icon.addPixmap(QPixmap::fromImage(statusImage(scale, ink)));
    return icon;
}

} // namespace vellicord::VellicordMark
