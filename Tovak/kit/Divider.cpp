#include "Tovak/kit/Divider.h"

#include "Tovak/kit/Theme.h"

#include <QPainter>

namespace vellicord {

Divider::Divider(QWidget* parent)
    : QWidget(parent)
{
    setFixedHeight(1);
    setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
}

void Divider::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.fillRect(rect(), Theme::colors(palette()).separator);
}

} // namespace vellicord
