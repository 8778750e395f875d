#include "platform/qt/QtTextMeasurer.h"

#include <QFont>
#include <QFontDatabase>
#include <QFontMetricsF>
#include <QGuiApplication>

namespace vellicord {

namespace {

QFont qtFont(const AttributedText::Font& font)
{
    QFont result;
    if (font.family == AttributedText::Font::monospacedSystemFamily)
        result = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    else if (font.family == AttributedText::Font::systemFamily || font.family.isEmpty())
        result = QGuiApplication::font();
    else
        result = QFont(font.family);
    if (font.pointSize > 0)
        result.setPointSizeF(font.pointSize);
    result.setBold(font.bold);
    result.setItalic(font.italic);
    return result;
}

} // namespace

double QtTextMeasurer::systemFontSize() const
{
    const double size = QGuiApplication::font().pointSizeF();
    return size > 0 ? size : 13.0;
}

double QtTextMeasurer::width(const QString& text, const AttributedText::Font& font) const
{
    // Layout lengths (indents, tab stops) are the text view's logical pixels, as on a display
    // where a point is a pixel; the advance is taken in the same unit.
    return QFontMetricsF(qtFont(font)).horizontalAdvance(text);
}

} // namespace vellicord
