#pragma once

#include <QProxyStyle>

class QPainter;
class QPalette;

namespace vellicord {

// Fusion, with the two looks every view shares drawn from the theme: the edge of a box, a field or
// a button in the control outline (Fusion shades it from the window colour, and on a dark window it
// all but vanishes), in the accent while the control has the focus; and a window's default button
// filled like a view's main action, so that every sheet and alert shows its main button alike.
class ControlStyle final : public QProxyStyle {
public:
    ControlStyle();

    // The filled bezel of a view's main action and of a default button: the accent, darker while
    // pressed (State_Sunken), faded while disabled, ringed while it has the keyboard's focus.
    static void paintProminentBezel(QPainter& painter, const QRect& rect, const QPalette& palette, State state);
    // The colour of a title or symbol on that bezel.
    static QColor prominentInk(State state);

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;
    void drawControl(ControlElement element, const QStyleOption* option, QPainter* painter,
                     const QWidget* widget) const override;
};

} // namespace vellicord
