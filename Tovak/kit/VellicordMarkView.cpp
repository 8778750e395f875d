#include "Tovak/kit/VellicordMarkView.h"

#include "Tovak/kit/Theme.h"
#include "Tovak/kit/VellicordMark.h"

#include <QPainter>

#include <algorithm>
#include <cmath>

namespace vellicord {

VellicordMarkView::VellicordMarkView(qreal size, QWidget* parent)
    : QWidget(parent)
    , size_(size)
{
    const int edge = int(std::ceil(size));
    setFixedSize(edge, edge);
    setAccessibleName(QString());
}

qreal VellicordMarkView::lineWidth() const
{
    return std::max(size_ * 0.075, 1.5);
}

QSize VellicordMarkView::sizeHint() const
{
    const int edge = int(std::ceil(size_));
    return {edge, edge};
}

void VellicordMarkView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    const ThemeColors colors = Theme::colors(palette());
    const QRectF square((width() - size_) / 2, (height() - size_) / 2, size_, size_);
    VellicordMark::paint(painter, square, palette().color(QPalette::WindowText), lineWidth(),
                         colors.accent);
}

} // namespace vellicord
