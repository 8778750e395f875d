#pragma once

#include "platform/Desktop.h"

#include <QColor>
#include <QPalette>

class QApplication;
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
    QColor formBackground; // behind the sections of a grouped form
    QColor formSection; // a section's box
    QColor panelBackground; // floating panels (the capture confirmation)
};

// Light and dark palettes under the Fusion style, so that every desktop draws Vellicord alike.
namespace Theme {

QPalette palette(Appearance appearance);
ThemeColors colors(Appearance appearance);
// The appearance a palette was made for (by the lightness of its window colour).
Appearance appearance(const QPalette& palette);
ThemeColors colors(const QPalette& palette);

// Fusion, the palette, and DejaVu Sans at the body size as the application font.
void apply(QApplication& application, Appearance appearance);
// Applies the desktop's appearance now and again whenever the desktop changes it.
void matchDesktop(QApplication& application, Desktop& desktop);
// Gives one widget (and its children) an appearance, for offscreen renders of both.
void apply(QWidget& widget, Appearance appearance);

} // namespace Theme
} // namespace vellicord
