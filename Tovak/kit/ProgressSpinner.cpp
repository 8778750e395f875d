#include "Tovak/kit/ProgressSpinner.h"

#include <QPainter>
#include <QTimerEvent>

namespace vellicord {

ProgressSpinner::ProgressSpinner(int side, QWidget* parent)
    : QWidget(parent)
{
    setFixedSize(side, side);
}

void ProgressSpinner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.translate(width() / 2.0, height() / 2.0);
    const qreal radius = width() / 2.0;
    QColor color = palette().color(QPalette::WindowText);
    for (int i = 0; i < 12; ++i) {
        const int age = (step_ - i + 12) % 12;
        color.setAlphaF(1.0 - age / 13.0);
        painter.setPen(QPen(color, radius * 0.22, Qt::SolidLine, Qt::RoundCap));
        painter.drawLine(QPointF(0, -radius * 0.45), QPointF(0, -radius * 0.9));
        painter.rotate(30);
    }
}

void ProgressSpinner::showEvent(QShowEvent*)
{
    if (!timer_)
        timer_ = startTimer(80);
}

void ProgressSpinner::hideEvent(QHideEvent*)
{
    if (timer_)
        killTimer(timer_);
    timer_ = 0;
}

void ProgressSpinner::timerEvent(QTimerEvent*)
{
    step_ = (step_ + 1) % 12;
    update();
}

} // namespace vellicord
