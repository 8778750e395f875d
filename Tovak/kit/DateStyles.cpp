#include "Tovak/kit/DateStyles.h"

#include <QRegularExpression>

namespace vellicord::DateStyles {

namespace {

QString datePattern(Style style, const QLocale& locale)
{
    switch (style) {
    case Style::shortStyle: return locale.dateFormat(QLocale::ShortFormat);
    case Style::medium: {
        // The weekday goes with the punctuation and blanks after it ("dddd, ", "dddd ").
        static const QRegularExpression weekday(QStringLiteral("d{4}[,.\\x{060C}]?\\s*"));
        QString pattern = locale.dateFormat(QLocale::LongFormat);
        pattern.remove(weekday);
        pattern.replace(QStringLiteral("MMMM"), QStringLiteral("MMM"));
        return pattern.trimmed();
    }
    case Style::full: return locale.dateFormat(QLocale::LongFormat);
    }
    return {};
}

QString timePattern(Style style, const QLocale& locale)
{
    switch (style) {
    case Style::shortStyle: {
        // A short time has hours and minutes only; the C locale's short format has seconds too.
        static const QRegularExpression seconds(QStringLiteral("[:.]ss(\\.z+)?"));
        return locale.timeFormat(QLocale::ShortFormat).remove(seconds);
    }
    case Style::medium: {
        static const QRegularExpression zone(QStringLiteral("\\s*\\(?t+\\)?"));
        return locale.timeFormat(QLocale::LongFormat).remove(zone).trimmed();
    }
    case Style::full: return locale.timeFormat(QLocale::LongFormat);
    }
    return {};
}

} // namespace

QString format(const QDateTime& date, Style dateStyle, Style timeStyle, const QLocale& locale, const QTimeZone& zone)
{
    const QDateTime local = date.toTimeZone(zone);
    const QString day = locale.toString(local, datePattern(dateStyle, locale));
    const QString time = locale.toString(local, timePattern(timeStyle, locale));
    const bool english = locale.language() == QLocale::English;
    return day + (english ? QStringLiteral(" at ") : QStringLiteral(" ")) + time;
}

} // namespace vellicord::DateStyles
