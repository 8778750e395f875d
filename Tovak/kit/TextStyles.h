#pragma once

#include <QFont>

namespace vellicord {

// The text styles of the views, in pixels, in DejaVu Sans (DejaVu Sans Mono for code).
namespace TextStyles {

QFont title2();      // 17, semibold
QFont title3();      // 15
QFont title3Semibold(); // 15, semibold: the titles of panes and sheets
QFont headline();    // 13, semibold
QFont body();        // 13
QFont callout();     // 12
QFont subheadline(); // 11
QFont caption();     // 10
QFont caption2();    // 10
QFont monospaced(int pixels);
// The system font at a pixel size and weight, for the few places sized on their own.
QFont system(int pixels, QFont::Weight weight = QFont::Normal);
// The application's own font: the body, sized in points that make its pixels on this screen. Qt's
// SVG renderer scales an icon's text by the point size of the font a painter starts with, the
// application's; a font sized in pixels has none, and an application icon's text (XTerm's "X")
// would be dropped with a warning.
QFont application();

} // namespace TextStyles
} // namespace vellicord
