#pragma once

#include <QFont>
#include <QString>

namespace vellicord {

// What a label can show of a text, taken before the text is laid out: a captured title, address or
// name may run to megabytes, and laying it out whole to show two lines of it would hold the main
// thread for seconds. A bound counts every character as at least two pixels wide, so what is cut
// off could never have been shown.
namespace BoundedText {

// The most characters that lines of this width can show.
qsizetype limit(int width, int lines);
// The text when it is within the limit; else its start followed by "…" (Qt::ElideRight), or its
// start and its end around "…" (Qt::ElideMiddle), each part within the limit. A surrogate pair is
// never split.
QString forLines(const QString& text, int width, int lines, Qt::TextElideMode mode = Qt::ElideRight);
// The text as one line of the width shows it in the font, elided (Qt::ElideRight or
// Qt::ElideMiddle); only what the line can show is measured.
QString elided(const QString& text, const QFont& font, int width, Qt::TextElideMode mode = Qt::ElideRight);

// The widest a line of a menu item or a tooltip is made: a whole address of thousands of
// characters would make either as wide as the screen, or put it out of sight.
constexpr int popupLineWidth = 400;

} // namespace BoundedText
} // namespace vellicord
