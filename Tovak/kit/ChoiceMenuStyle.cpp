#include "Tovak/kit/ChoiceMenuStyle.h"

#include "Tovak/kit/Symbols.h"

#include <QApplication>
#include <QPainter>
#include <QStyleOptionMenuItem>
#include <QWidget>

namespace vellicord {

namespace {

bool isChoice(const QStyleOption* option)
{
    const auto* item = qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    return item && item->checkType != QStyleOptionMenuItem::NotCheckable && !item->icon.isNull();
}

} // namespace

ChoiceMenuStyle::ChoiceMenuStyle(QWidget* menu)
    : QProxyStyle(QApplication::style()->name())
{
    setParent(menu);
    menu->setStyle(this);
}

int ChoiceMenuStyle::checkColumn(const QWidget* widget) const
{
    return pixelMetric(PM_SmallIconSize, nullptr, widget) + 6;
}

void ChoiceMenuStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                                  const QWidget* widget) const
{
    if (element != CE_MenuItem || !isChoice(option)) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    const auto& item = *qstyleoption_cast<const QStyleOptionMenuItem*>(option);
    // The whole row's background (the highlight under the pointer), then the item drawn unchecked
    // beside the check column; its own highlight's left edge is left out, so the two read as one.
    QStyleOptionMenuItem row = item;
    row.text.clear();
    row.icon = QIcon();
    row.checkType = QStyleOptionMenuItem::NotCheckable;
    QProxyStyle::drawControl(element, &row, painter, widget);
    const int column = checkColumn(widget);
    QStyleOptionMenuItem shifted = item;
    shifted.checkType = QStyleOptionMenuItem::NotCheckable;
    shifted.checked = false;
    shifted.rect.setLeft(item.rect.left() + column);
    painter->save();
    painter->setClipRect(shifted.rect.adjusted(1, 0, 0, 0));
    QProxyStyle::drawControl(element, &shifted, painter, widget);
    painter->restore();
    if (!item.checked)
        return;
    const bool selected = item.state & State_Selected && item.state & State_Enabled;
    const QPalette::ColorGroup group = item.state & State_Enabled ? QPalette::Normal : QPalette::Disabled;
    const QColor ink = item.palette.color(group, selected ? QPalette::HighlightedText : QPalette::Text);
    const int side = column - 8;
    Symbols::paint(*painter, QStringLiteral("checkmark"),
                   QRectF(item.rect.left() + 6, item.rect.center().y() + 1 - side / 2.0, side, side), ink);
}

QSize ChoiceMenuStyle::sizeFromContents(ContentsType type, const QStyleOption* option, const QSize& size,
                                        const QWidget* widget) const
{
    QSize wanted = QProxyStyle::sizeFromContents(type, option, size, widget);
    if (type == CT_MenuItem && isChoice(option))
        wanted.rwidth() += checkColumn(widget);
    return wanted;
}

} // namespace vellicord
