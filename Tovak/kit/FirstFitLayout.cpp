#include "Tovak/kit/FirstFitLayout.h"

#include <QWidget>

#include <algorithm>

namespace vellicord {

namespace {

int itemHeight(QLayoutItem* item, int width)
{
    return item->hasHeightForWidth() ? item->heightForWidth(width) : item->sizeHint().height();
}

} // namespace

FirstFitLayout::FirstFitLayout(QList<Arrangement> arrangements, QWidget* parent)
    : QLayout(parent)
    , arrangements_(std::move(arrangements))
{
    if (arrangements_.isEmpty())
        arrangements_.append(Arrangement{});
}

FirstFitLayout::~FirstFitLayout()
{
    qDeleteAll(items_);
}

void FirstFitLayout::addItem(QLayoutItem* item)
{
    items_.append(item);
    invalidate();
}

QLayoutItem* FirstFitLayout::itemAt(int index) const
{
    return index >= 0 && index < items_.size() ? items_[index] : nullptr;
}

QLayoutItem* FirstFitLayout::takeAt(int index)
{
    if (index < 0 || index >= items_.size())
        return nullptr;
    QLayoutItem* item = items_.takeAt(index);
    invalidate();
    return item;
}

int FirstFitLayout::count() const
{
    return int(items_.size());
}

QList<QLayoutItem*> FirstFitLayout::shown() const
{
    QList<QLayoutItem*> items;
    for (QLayoutItem* item : items_) {
        if (!item->isEmpty())
            items.append(item);
    }
    return items;
}

int FirstFitLayout::idealWidth(const Arrangement& arrangement) const
{
    const QList<QLayoutItem*> items = shown();
    int width = 0;
    for (QLayoutItem* item : items) {
        const int hint = item->sizeHint().width();
        width = arrangement.orientation == Qt::Horizontal ? width + hint : std::max(width, hint);
    }
    if (arrangement.orientation == Qt::Horizontal && items.size() > 1)
        width += arrangement.spacing * int(items.size() - 1);
    return width;
}

int FirstFitLayout::height(const Arrangement& arrangement, int width) const
{
    const QList<QLayoutItem*> items = shown();
    int height = 0;
    for (QLayoutItem* item : items) {
        if (arrangement.orientation == Qt::Horizontal)
            height = std::max(height, item->sizeHint().height());
        else
            height += itemHeight(item, std::min(width, item->sizeHint().width()));
    }
    if (arrangement.orientation == Qt::Vertical && items.size() > 1)
        height += arrangement.spacing * int(items.size() - 1);
    return height;
}

int FirstFitLayout::arrangementFor(int width) const
{
    const QMargins margins = contentsMargins();
    const int inner = width - margins.left() - margins.right();
    for (int i = 0; i + 1 < arrangements_.size(); ++i) {
        if (idealWidth(arrangements_[i]) <= inner)
            return i;
    }
    return int(arrangements_.size() - 1);
}

QSize FirstFitLayout::sizeHint() const
{
    const QMargins margins = contentsMargins();
    const Arrangement& first = arrangements_.first();
    const int width = idealWidth(first);
    return QSize(width, height(first, width)).grownBy(margins);
}

QSize FirstFitLayout::minimumSize() const
{
    // The last arrangement is taken at any width, so it sets how narrow the layout may be.
    const QMargins margins = contentsMargins();
    const Arrangement& last = arrangements_.last();
    int width = 0;
    for (QLayoutItem* item : shown()) {
        const int minimum = item->minimumSize().width();
        width = last.orientation == Qt::Horizontal ? width + minimum : std::max(width, minimum);
    }
    return QSize(width, height(last, width)).grownBy(margins);
}

Qt::Orientations FirstFitLayout::expandingDirections() const
{
    return Qt::Horizontal;
}

bool FirstFitLayout::hasHeightForWidth() const
{
    return true;
}

int FirstFitLayout::heightForWidth(int width) const
{
    const QMargins margins = contentsMargins();
    const int inner = width - margins.left() - margins.right();
    return height(arrangements_[arrangementFor(width)], inner) + margins.top() + margins.bottom();
}

void FirstFitLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    current_ = arrangementFor(rect.width());
    const Arrangement& arrangement = arrangements_[current_];
    const QRect area = rect.marginsRemoved(contentsMargins());
    if (arrangement.orientation == Qt::Horizontal) {
        const int spare = std::max(0, area.width() - idealWidth(arrangement));
        const int rowHeight = height(arrangement, area.width());
        int x = area.left();
        for (int i = 0; i < items_.size(); ++i) {
            QLayoutItem* item = items_[i];
            if (!item->isEmpty()) {
                const QSize hint = item->sizeHint();
                const int width = std::min(hint.width(), std::max(0, area.right() + 1 - x));
                item->setGeometry(QRect(x, area.top() + (rowHeight - hint.height()) / 2, width, hint.height()));
                x += hint.width() + arrangement.spacing;
            }
            if (i == arrangement.stretchAfter)
                x += spare;
        }
        return;
    }
    int y = area.top();
    for (QLayoutItem* item : shown()) {
        const int width = std::min(item->sizeHint().width(), area.width());
        const int extent = itemHeight(item, width);
        item->setGeometry(QRect(area.left(), y, width, extent));
        y += extent + arrangement.spacing;
    }
}

} // namespace vellicord
