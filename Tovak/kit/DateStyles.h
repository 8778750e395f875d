#pragma once

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QTimeZone>

namespace vellicord {

// Dates in the styles of the platform's date formatter (a date style and a time style), in a
// locale and a time zone the caller gives, so that a render reads nothing from the machine.
namespace DateStyles {

enum class Style { shortStyle, medium, full };

// Qt knows short and long forms only. A medium date is the long one without its weekday, months
// abbreviated ("Nov 14, 2023" in en_US); a medium time has seconds and no zone ("10:13:20 PM"); a
// full time names the zone. English joins a date and a time with " at ", as its formatters do,
// other languages with a blank.
QString format(const QDateTime& date, Style dateStyle, Style timeStyle, const QLocale& locale, const QTimeZone& zone);

} // namespace DateStyles
} // namespace vellicord
