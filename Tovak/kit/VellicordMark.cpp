#include "Tovak/kit/VellicordMark.h"

#include <QPainter>

namespace vellicord::VellicordMark {

QPainterPath brackets(const QRectF& rect)
{
    const auto at
        = [&](qreal x, qreal y) { return QPointF(rect.x() + x * rect.width(), rect.y() + y * rect.height()); };
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

void paint(QPainter& painter, const QRectF& rect, const QColor& stroke, qreal lineWidth, const QColor& dot,
           qreal dotDiameter)
{
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPen pen(stroke, lineWidth, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin);
    pen.setMiterLimit(10);
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawPath(brackets(rect));
    const qreal d = dotDiameter > 0 ? dotDiameter : 0.16 * rect.width();
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

QImage trayImage(int size, qreal scale)
{
    static const QColor badge(31, 41, 55);
    QImage image(QSize(qRound(size * scale), qRound(size * scale)), QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF bounds = QRectF(0, 0, size, size).adjusted(0.5, 0.5, -0.5, -0.5);
    painter.setPen(Qt::NoPen);
    painter.setBrush(badge);
    painter.drawRoundedRect(bounds, 0.22 * size, 0.22 * size);
    const qreal inset = 0.08 * size;
    const QRectF mark = bounds.adjusted(inset, inset, -inset, -inset);
    // At panel sizes a dot in proportion is under two pixels across and blurs into the badge.
    paint(painter, mark, Qt::white, qMax(1.5, size / 10.0), Qt::white, qMax(2.6, 0.16 * mark.width()));
    return image;
}

QIcon trayIcon()
{
    QIcon icon;
    for (int size : {16, 22, 24, 32, 48, 64})
        icon.addPixmap(QPixmap::fromImage(trayImage(size)));
    return icon;
}

} // namespace vellicord::VellicordMark
