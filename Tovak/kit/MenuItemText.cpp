#include "Tovak/kit/MenuItemText.h"

#include "Tovak/kit/BoundedText.h"

#include <QApplication>

namespace vellicord::MenuItemText {

QString of(const QString& text)
{
    const int width = BoundedText::popupLineWidth;
    // A name or an address may run to megabytes: only what a line can show is kept, and it is
    // measured as it will read, its separators spaces.
    QString line = BoundedText::forLines(text, width, 1, Qt::ElideMiddle);
    for (QChar& c : line) {
        if (c == u'\t' || c == u'\n' || c == u'\r' || c == QChar::LineSeparator || c == QChar::ParagraphSeparator)
            c = u' ';
    }
    // Escaped last: "&&" shows as one "&", and the ellipsis never falls between the two.
    QString shown = BoundedText::elided(line, QApplication::font("QMenu"), width, Qt::ElideMiddle);
    return shown.replace(u'&', QStringLiteral("&&"));
}

} // namespace vellicord::MenuItemText
