#include "Tovak/kit/Theme.h"

#include "Tovak/kit/TextStyles.h"

#include <QApplication>
#include <QImage>
#include <QPaintEngine>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QProxyStyle>
#include <QStyleFactory>
#include <QStyleOption>
#include <QTextEdit>
#include <QWidget>

#include <algorithm>

namespace vellicord::Theme {

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

// Fusion, with the theme's control edges and default button.
class ControlStyle final : public QProxyStyle {
public:
    ControlStyle()
        : QProxyStyle(QStyleFactory::create(QStringLiteral("Fusion")))
    {
    }

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override
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

    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override
    {
        if (element == CE_PushButtonLabel && isDefaultButton(option)) {
            QStyleOptionButton label = *qstyleoption_cast<const QStyleOptionButton*>(option);
            label.palette.setColor(QPalette::ButtonText, prominentInk(option->state));
            QProxyStyle::drawControl(element, &label, painter, widget);
            return;
        }
        QProxyStyle::drawControl(element, option, painter, widget);
    }

    // A tall scroll bar is drawn a band at a time, each band into an image of its own and then onto
    // the painter: the raster engine splits a fill of about a hundred rows (spans) over its thread
    // pool and waits for it, and a list's scroll bar is drawn whenever the list above it grows or
    // shrinks, as a keystroke in the composer's task makes it. On a busy machine those threads wait
    // for the scheduler, and the keystroke waited with them, several milliseconds. Fusion covers
    // the whole bar with its groove first, so each band is opaque and lands as it would have been
    // drawn in place.
    void drawComplexControl(ComplexControl control, const QStyleOptionComplex* option, QPainter* painter,
                            const QWidget* widget) const override
    {
        const QRect& rect = option->rect;
        // Logical to device pixels: the screen's scale (or the one a render asked for) and where
        // the widget lies on the device, nothing else.
        const QTransform toDevice = painter->deviceTransform();
        const qreal ratio = toDevice.m11();
        // Rows of device pixels in a band: fewer than the engine splits, also where a scaled edge of
        // one pixel is filled as a shape (two spans a row).
        const int deviceRows = ratio > 1.0 ? 32 : 64;
        const int band = std::max(1, int(deviceRows / std::max(ratio, 1.0)));
        if (control != CC_ScrollBar || rect.height() <= band || painter->paintEngine()->type() != QPaintEngine::Raster
            || toDevice.type() > QTransform::TxScale || ratio != toDevice.m22() || ratio < 1.0
            || painter->opacity() < 1.0 || painter->compositionMode() != QPainter::CompositionMode_SourceOver) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        QImage image(QSize(rect.width(), band) * ratio, QImage::Format_ARGB32_Premultiplied);
        image.setDevicePixelRatio(ratio);
        for (int top = rect.top(); top <= rect.bottom(); top += band) {
            image.fill(Qt::transparent);
            QPainter bandPainter(&image);
            bandPainter.setRenderHints(painter->renderHints());
            bandPainter.translate(-rect.left(), -top);
            QProxyStyle::drawComplexControl(control, option, &bandPainter, widget);
            bandPainter.end();
            painter->drawImage(QPoint(rect.left(), top), image);
        }
    }
};

} // namespace

ThemeColors colors(Appearance appearance)
{
    if (appearance == Appearance::dark) {
        return {
            .label = QColor(255, 255, 255, 217),
            .secondaryLabel = QColor(255, 255, 255, 140),
            .tertiaryLabel = QColor(255, 255, 255, 64),
            .accent = QColor(10, 132, 255),
            .green = QColor(50, 215, 75),
            .orange = QColor(255, 159, 10),
            .red = QColor(255, 69, 58),
            .teal = QColor(64, 200, 224),
            .separator = QColor(255, 255, 255, 26),
            .controlOutline = QColor(124, 124, 124),
            .formBackground = QColor(30, 30, 30),
            .formSection = QColor(44, 44, 46),
            .panelBackground = QColor(40, 40, 42, 245),
        };
    }
    return {
        .label = QColor(0, 0, 0, 217),
        .secondaryLabel = QColor(0, 0, 0, 128),
        .tertiaryLabel = QColor(0, 0, 0, 66),
        .accent = QColor(0, 122, 255),
        .green = QColor(40, 205, 65),
        .orange = QColor(255, 149, 0),
        .red = QColor(255, 59, 48),
        .teal = QColor(89, 173, 196),
        .separator = QColor(0, 0, 0, 26),
        .controlOutline = QColor(128, 128, 128),
        .formBackground = QColor(240, 240, 242),
        .formSection = QColor(255, 255, 255),
        .panelBackground = QColor(246, 246, 246, 245),
    };
}

QPalette palette(Appearance appearance)
{
    const bool dark = appearance == Appearance::dark;
    const ThemeColors c = colors(appearance);
    const QColor window = dark ? QColor(40, 40, 40) : QColor(236, 236, 236);
    const QColor base = dark ? QColor(30, 30, 30) : QColor(255, 255, 255);
    const QColor text = dark ? QColor(223, 223, 223) : QColor(38, 38, 38);
    const QColor button = dark ? QColor(72, 72, 74) : QColor(252, 252, 252);
    const QColor disabledText = dark ? QColor(255, 255, 255, 64) : QColor(0, 0, 0, 64);

    QPalette p;
    p.setColor(QPalette::Window, window);
    p.setColor(QPalette::WindowText, text);
    p.setColor(QPalette::Base, base);
    p.setColor(QPalette::AlternateBase, dark ? QColor(38, 38, 38) : QColor(244, 245, 245));
    p.setColor(QPalette::ToolTipBase, dark ? QColor(56, 56, 58) : QColor(255, 255, 240));
    p.setColor(QPalette::ToolTipText, text);
    p.setColor(QPalette::PlaceholderText, c.tertiaryLabel);
    p.setColor(QPalette::Text, text);
    p.setColor(QPalette::Button, button);
    p.setColor(QPalette::ButtonText, text);
    p.setColor(QPalette::BrightText, c.red);
    p.setColor(QPalette::Light, dark ? QColor(90, 90, 92) : QColor(255, 255, 255));
    p.setColor(QPalette::Midlight, dark ? QColor(70, 70, 72) : QColor(230, 230, 230));
    p.setColor(QPalette::Mid, dark ? QColor(54, 54, 56) : QColor(190, 190, 190));
    p.setColor(QPalette::Dark, dark ? QColor(20, 20, 20) : QColor(160, 160, 160));
    p.setColor(QPalette::Shadow, QColor(0, 0, 0));
    p.setColor(QPalette::Highlight, c.accent);
    p.setColor(QPalette::HighlightedText, QColor(255, 255, 255));
    p.setColor(QPalette::Link, c.accent);
    p.setColor(QPalette::LinkVisited, c.accent.darker(120));
    for (QPalette::ColorRole role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, disabledText);
    p.setColor(QPalette::Disabled, QPalette::Highlight, dark ? QColor(80, 80, 80) : QColor(200, 200, 200));
    return p;
}

Appearance appearance(const QPalette& palette)
{
    return palette.color(QPalette::Window).lightness() < 128 ? Appearance::dark : Appearance::light;
}

ThemeColors colors(const QPalette& palette)
{
    return colors(appearance(palette));
}

QStyle* makeStyle()
{
    return new ControlStyle;
}

void paintProminentBezel(QPainter& painter, const QRect& rect, const QPalette& palette, QStyle::State state)
{
    QColor fill = Theme::colors(palette).accent;
    const bool enabled = state & QStyle::State_Enabled;
    if (!enabled)
        fill.setAlphaF(0.35f);
    else if (state & (QStyle::State_Sunken | QStyle::State_On))
        fill = fill.darker(120);
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
    painter.fillPath(shape, fill);
    if (enabled && (state & QStyle::State_HasFocus) && (state & QStyle::State_KeyboardFocusChange)) {
        painter.setPen(QPen(fill.lighter(140), 1.5));
        painter.drawPath(shape);
    }
    painter.restore();
}

QColor prominentInk(QStyle::State state)
{
    QColor ink(Qt::white);
    if (!(state & QStyle::State_Enabled))
        ink.setAlphaF(0.75f);
    return ink;
}

void apply(QApplication& application, Appearance appearance)
{
    application.setStyle(makeStyle());
    application.setPalette(palette(appearance));
    application.setFont(TextStyles::application());
}

void matchDesktop(QApplication& application, Desktop& desktop)
{
    apply(application, desktop.appearance());
    QObject::connect(&desktop, &Desktop::appearanceChanged, &application,
                     [&application, &desktop] { application.setPalette(palette(desktop.appearance())); });
}

void apply(QWidget& widget, Appearance appearance)
{
    widget.setPalette(palette(appearance));
}

} // namespace vellicord::Theme
