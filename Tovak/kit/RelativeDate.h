#pragma once

#include <QDateTime>
#include <QString>
#include <QTimeZone>

namespace vellicord {

// How long ago (or how far ahead) a date lies, in the words a list row shows ("2 days ago",
// "in 3 hours", "yesterday"). Qt has no relative date formatter, so the wording is ours, in English.
namespace RelativeDate {

// numeric: every unit is counted ("1 day ago", "in 0 seconds"); named: a difference of exactly one
// day, week, month or year is a word ("yesterday", "next week") and no difference is "now".
enum class Style { numeric, named };

// The date stated relative to the reference in English, as a user reads it in a list: by the
// calendar of the time zone, in the largest unit whose difference is not zero.
// Years, months, weeks and days are whole calendar units on the zone's wall clock, so a day across a
// daylight-saving change is still one day and 24 hours short of the next calendar day are not; a
// month has passed only once its day of the month is reached (31 January to 28 February is 4 weeks).
// An invalid date or reference gives an empty text; an invalid zone counts as UTC.
QString format(const QDateTime& date, const QDateTime& reference, Style style, const QTimeZone& zone);

} // namespace RelativeDate
} // namespace vellicord
