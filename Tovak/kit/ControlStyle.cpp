#include "Tovak/kit/ControlStyle.h"

#include "Tovak/kit/Theme.h"

#include <QPainter>
#include <QPlainTextEdit>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTextEdit>
#include <QWidget>

namespace vellicord {

namespace {

// Draws the edge over the one Fusion drew, on the same outermost ring of pixels: the control
// outline, the accent while focused, faded while disabled (as the rest of the control is).
void strokeEdge(QPainter& painter, const QStyleOption& option, qreal radius, bool focused)
{
    const ThemeColors colors = Theme::colors(option.palette);
    QColor color = focused ? colors.accent : colors.controlOutline;
    if (!(option.state & QStyle::State_Enabled))
        color.setAlphaF(0.5f);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(QPen(color, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(QRectF(option.rect).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    painter.restore();
}

bool keyboardFocused(const QStyleOption& option)
{
    return (option.state & QStyle::State_HasFocus) && (option.state & QStyle::State_KeyboardFocusChange);
}

} // namespace

ControlStyle::ControlStyle()
    : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
{
}

void ControlStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                 const QWidget* widget) const
{
    switch (element) {
    case PE_PanelButtonCommand:
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        // A flat button shows no bezel until it is pressed.
        if (const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
            !button || !(button->features & QStyleOptionButton::Flat))
            strokeEdge(*painter, *option, 2, keyboardFocused(*option));
        return;
    case PE_IndicatorCheckBox:
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        strokeEdge(*painter, *option, 0, keyboardFocused(*option));
        return;
    case PE_FrameLineEdit:
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        strokeEdge(*painter, *option, 2, option->state & State_HasFocus);
        return;
    case PE_Frame:
        QProxyStyle::drawPrimitive(element, option, painter, widget);
        // The frame of a text field; a list or a scrolled pane keeps Fusion's quiet frame.
        if (qobject_cast<const QPlainTextEdit*>(widget) || qobject_cast<const QTextEdit*>(widget))
            strokeEdge(*painter, *option, 0, option->state & State_HasFocus);
        return;
    default: QProxyStyle::drawPrimitive(element, option, painter, widget);
    }
}

} // namespace vellicord
