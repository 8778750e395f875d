#include "Tovak/kit/ControlStyle.h"

#include "Tovak/kit/Theme.h"

#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTextEdit>
#include <QWidget>

namespace vellicord {

namespace {

bool isDefaultButton(const QStyleOption* option)
{
    const auto* button = qstyleoption_cast<const QStyleOptionButton*>(option);
    return button && (button->features & QStyleOptionButton::DefaultButton)
        && !(button->features & QStyleOptionButton::Flat);
}

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

void ControlStyle::paintProminentBezel(QPainter& painter, const QRect& rect, const QPalette& palette, State state)
{
    QColor fill = Theme::colors(palette).accent;
    const bool enabled = state & State_Enabled;
    if (!enabled)
        fill.setAlphaF(0.35f);
    else if (state & (State_Sunken | State_On))
        fill = fill.darker(120);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    painter.fillPath(shape, fill);
    if (enabled && (state & State_HasFocus) && (state & State_KeyboardFocusChange)) {
        painter.setPen(QPen(fill.lighter(140), 1.5));
        painter.drawPath(shape);
    }
    painter.restore();
}

QColor ControlStyle::prominentInk(State state)
{
    QColor ink(Qt::white);
    if (!(state & State_Enabled))
        ink.setAlphaF(0.75f);
    return ink;
}

void ControlStyle::drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                                 const QWidget* widget) const
{
    switch (element) {
    case PE_PanelButtonCommand:
        if (isDefaultButton(option)) {
            paintProminentBezel(*painter, option->rect, option->palette, option->state);
            return;
        }
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

void ControlStyle::drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                               const QWidget* widget) const
{
    if (element == CE_PushButtonLabel && isDefaultButton(option)) {
        QStyleOptionButton label = *qstyleoption_cast<const QStyleOptionButton*>(option);
        label.palette.setColor(QPalette::ButtonText, prominentInk(option->state));
        QProxyStyle::drawControl(element, &label, painter, widget);
        return;
    }
    QProxyStyle::drawControl(element, option, painter, widget);
}

} // namespace vellicord
