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

} // namespace TextStyles
} // namespace vellicord
