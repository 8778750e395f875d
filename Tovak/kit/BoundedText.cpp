#include "Tovak/kit/BoundedText.h"

#include <QFontMetrics>

#include <algorithm>

namespace vellicord::BoundedText {

namespace {

// Wider than any screen: a label asked for its natural width is measured at this width.
constexpr int widest = 8192;
constexpr int narrowestCharacter = 2;

QString head(const QString& text, qsizetype count)
{
    if (count > 0 && QChar::isHighSurrogate(text[count - 1].unicode()))
        --count;
    return text.left(count);
}

QString tail(const QString& text, qsizetype count)
{
    if (count > 0 && QChar::isLowSurrogate(text[text.size() - count].unicode()))
        --count;
    return text.right(count);
}

} // namespace

qsizetype limit(int width, int lines)
{
    return qsizetype(std::max(lines, 1)) * (std::clamp(width, 0, widest) / narrowestCharacter + 1);
}

QString forLines(const QString& text, int width, int lines, Qt::TextElideMode mode)
{
    const qsizetype most = limit(width, lines);
    const QChar ellipsis(0x2026);
    if (mode == Qt::ElideMiddle)
        return text.size() <= 2 * most ? text : head(text, most) + ellipsis + tail(text, most);
    return text.size() <= most ? text : head(text, most) + ellipsis;
}

QString elided(const QString& text, const QFont& font, int width, Qt::TextElideMode mode)
{
    return QFontMetrics(font).elidedText(forLines(text, width, 1, mode), mode, width);
}

} // namespace vellicord::BoundedText
