#include "Tovak/kit/RelativeDate.h"

#include <QLocale>

#include <algorithm>
#include <cstdlib>

namespace vellicord::RelativeDate {
namespace {

enum class Unit { year, month, week, day, hour, minute, second };

// A count of one unit; negative when the date lies before the reference.
struct Difference {
    Unit unit;
    qint64 count;
};

bool earlierInItsDay(const QDateTime& a, const QDateTime& b)
{
    return a.time() < b.time();
}

bool earlierInItsMonth(const QDateTime& a, const QDateTime& b)
{
    return a.date().day() < b.date().day() || (a.date().day() == b.date().day() && earlierInItsDay(a, b));
}

// Both arguments are on the zone's wall clock. Comparing the day of the month, rather than adding
// months and clamping to the month's end, keeps 31 January to 28 February short of a month. The
// repeated hour of a daylight-saving change can put the later instant before the earlier one on the
// wall clock; the floor of zero keeps that from counting backwards.
qint64 wholeMonths(const QDateTime& earlier, const QDateTime& later)
{
    const qint64 months = (later.date().year() - earlier.date().year()) * qint64(12)
        + (later.date().month() - earlier.date().month()) - (earlierInItsMonth(later, earlier) ? 1 : 0);
    return std::max<qint64>(months, 0);
}

// Calendar days, not spans of 24 hours: the day of a daylight-saving change lasts 23 or 25 hours.
qint64 wholeDays(const QDateTime& earlier, const QDateTime& later)
{
    const qint64 days
        = later.date().toJulianDay() - earlier.date().toJulianDay() - (earlierInItsDay(later, earlier) ? 1 : 0);
    return std::max<qint64>(days, 0);
}

// The largest unit whose difference is not zero; below a day, the time that actually elapsed.
Difference difference(const QDateTime& date, const QDateTime& reference, const QTimeZone& zone)
{
    const bool past = date < reference;
    const QDateTime earlier = (past ? date : reference).toTimeZone(zone);
    const QDateTime later = (past ? reference : date).toTimeZone(zone);
    const qint64 sign = past ? -1 : 1;
    const qint64 months = wholeMonths(earlier, later);
    if (months >= 12)
        return {Unit::year, sign * (months / 12)};
    if (months > 0)
        return {Unit::month, sign * months};
    const qint64 days = wholeDays(earlier, later);
    if (days >= 7)
        return {Unit::week, sign * (days / 7)};
    if (days > 0)
        return {Unit::day, sign * days};
    const qint64 seconds = earlier.secsTo(later);
    if (seconds >= 3600)
        return {Unit::hour, sign * (seconds / 3600)};
    if (seconds >= 60)
        return {Unit::minute, sign * (seconds / 60)};
    return {Unit::second, sign * seconds};
}

QString unitName(Unit unit)
{
    switch (unit) {
    case Unit::year: return QStringLiteral("year");
    case Unit::month: return QStringLiteral("month");
    case Unit::week: return QStringLiteral("week");
    case Unit::day: return QStringLiteral("day");
    case Unit::hour: return QStringLiteral("hour");
    case Unit::minute: return QStringLiteral("minute");
    case Unit::second: return QStringLiteral("second");
    }
    return {};
}

// The default locale may be anything; the text is English, with a comma between groups of digits.
QString counted(const Difference& difference)
{
    static const QLocale english(QLocale::English, QLocale::UnitedStates);
    const qint64 magnitude = std::llabs(difference.count);
    const QString amount = english.toString(magnitude) + u' ' + unitName(difference.unit)
        + (magnitude == 1 ? QString() : QStringLiteral("s"));
    return difference.count < 0 ? amount + QStringLiteral(" ago") : QStringLiteral("in ") + amount;
}

QString word(const Difference& difference)
{
    if (difference.count == 0)
        return QStringLiteral("now");
    if (std::llabs(difference.count) != 1)
        return {};
    const bool past = difference.count < 0;
    switch (difference.unit) {
    case Unit::year: return past ? QStringLiteral("last year") : QStringLiteral("next year");
    case Unit::month: return past ? QStringLiteral("last month") : QStringLiteral("next month");
    case Unit::week: return past ? QStringLiteral("last week") : QStringLiteral("next week");
    case Unit::day: return past ? QStringLiteral("yesterday") : QStringLiteral("tomorrow");
    case Unit::hour:
    case Unit::minute:
    case Unit::second: return {};
    }
    return {};
}

} // namespace

QString format(const QDateTime& date, const QDateTime& reference, Style style, const QTimeZone& zone)
{
    if (!date.isValid() || !reference.isValid())
        return {};
    const Difference found = difference(date, reference, zone.isValid() ? zone : QTimeZone::utc());
    if (style == Style::named) {
        if (QString text = word(found); !text.isEmpty())
            return text;
    }
    return counted(found);
}

} // namespace vellicord::RelativeDate
