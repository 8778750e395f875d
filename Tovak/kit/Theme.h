#pragma once

#include "platform/Desktop.h"

#include <QColor>
#include <QPalette>
#include <QStyle>

class QApplication;
class QPainter;
class QWidget;

namespace vellicord {

// The colours the views draw with, beyond what a QPalette names: label levels, the accent and the
// system colours of symbols, and the grouped form's surfaces.
struct ThemeColors {
    QColor label;
    QColor secondaryLabel;
    QColor tertiaryLabel;
    QColor accent;
    QColor green;
    QColor orange;
    QColor red;
    QColor teal;
    QColor separator;
    // The edge of a control (a box, a field, a button): 3:1 or more against the window, the text
    // background and a form's sections, so that a control is seen before its contents are.
    QColor controlOutline;
    QColor formBackground; // behind the sections of a grouped form
    QColor formSection; // a section's box
    QColor panelBackground; // floating panels (the capture confirmation)
};

// Light and dark palettes under the Fusion style, so that every desktop draws Vellicord alike, and
// the two looks every view shares drawn from them: the edge of a box, a field or a button in the
// control outline (Fusion shades it from the window colour, and on a dark window it all but
// vanishes), in the accent while the control has the focus; and a window's default button filled
// like a view's main action, so that every sheet and alert shows its main button alike.
namespace Theme {

QPalette palette(Appearance appearance);
ThemeColors colors(Appearance appearance);
// The appearance a palette was made for (by the lightness of its window colour).
Appearance appearance(const QPalette& palette);
ThemeColors colors(const QPalette& palette);

// The style that draws those looks: Fusion beneath.
QStyle* makeStyle();
// The filled bezel of a view's main action and of a default button: the accent, darker while
// pressed (State_Sunken), faded while disabled, ringed while it has the keyboard's focus.
void paintProminentBezel(QPainter& painter, const QRect& rect, const QPalette& palette, QStyle::State state);
// The colour of a title or symbol on that bezel.
QColor prominentInk(QStyle::State state);

// The style, the palette, and DejaVu Sans at the body size as the application font.
void apply(QApplication& application, Appearance appearance);
// Applies the desktop's appearance now and again whenever the desktop changes it.
void matchDesktop(QApplication& application, Desktop& desktop);
// Gives one widget (and its children) an appearance, for offscreen renders of both.
void apply(QWidget& widget, Appearance appearance);

} // namespace Theme
} // namespace vellicord
