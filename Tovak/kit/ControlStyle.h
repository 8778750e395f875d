#pragma once

#include <QProxyStyle>

namespace vellicord {

// Fusion, with the edge of a box, a field or a button drawn in the theme's control outline (Fusion
// shades it from the window colour, and on a dark window it all but vanishes), in the accent while
// the control has the focus.
class ControlStyle final : public QProxyStyle {
public:
    ControlStyle();

    void drawPrimitive(PrimitiveElement element, const QStyleOption* option, QPainter* painter,
                       const QWidget* widget) const override;
};

} // namespace vellicord
