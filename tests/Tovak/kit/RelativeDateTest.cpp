#include "Tovak/kit/RelativeDate.h"
#include "QtPrinters.h"

#include <gtest/gtest.h>

using namespace vellicord;

namespace {

QDateTime at(const char* iso)
{
    return QDateTime::fromString(QString::fromLatin1(iso), Qt::ISODate);
}

} // namespace

TEST(RelativeDate, StatesTheLargestCalendarUnitThatDiffers)
{
    using enum RelativeDate::Style;
    struct Case {
        const char* date;
        const char* reference;
        RelativeDate::Style style;
        const char* zone;
        const char* expected;
    };
    const char* const r = "2025-03-05T12:00:00Z";
    const Case cases[] = {
        {"2025-03-05T12:00:00Z", r, numeric, "UTC", "in 0 seconds"},
        {"2025-03-05T11:59:15Z", r, numeric, "UTC", "45 seconds ago"},
        {"2025-03-05T12:00:01Z", r, numeric, "UTC", "in 1 second"},
        {"2025-03-05T11:58:59Z", r, numeric, "UTC", "1 minute ago"},
        {"2025-03-05T12:59:59Z", r, numeric, "UTC", "in 59 minutes"},
        {"2025-03-05T09:00:00Z", r, numeric, "UTC", "3 hours ago"},
        {"2025-03-06T11:59:59Z", r, numeric, "UTC", "in 23 hours"},
        {"2025-03-04T12:00:00Z", r, numeric, "UTC", "1 day ago"},
        {"2025-03-06T12:00:00Z", r, numeric, "UTC", "in 1 day"},
        {"2025-03-03T12:00:00Z", r, numeric, "UTC", "2 days ago"},
        {"2025-02-26T12:00:00Z", r, numeric, "UTC", "1 week ago"},
        {"2025-03-19T12:00:00Z", r, numeric, "UTC", "in 2 weeks"},
        {"2025-02-05T12:00:00Z", r, numeric, "UTC", "1 month ago"},
        {"2025-05-05T11:00:00Z", r, numeric, "UTC", "in 1 month"},
        {"2022-03-05T12:00:00Z", r, numeric, "UTC", "3 years ago"},
        {"2026-03-05T12:00:00Z", r, numeric, "UTC", "in 1 year"},
        {"3025-03-05T12:00:00Z", r, numeric, "UTC", "in 1,000 years"},
        // Named: only a difference of exactly one day, week, month or year becomes a word.
        {"2025-03-05T12:00:00Z", r, named, "UTC", "now"},
        {"2025-03-04T12:00:00Z", r, named, "UTC", "yesterday"},
        {"2025-03-06T13:00:00Z", r, named, "UTC", "tomorrow"},
        {"2025-03-03T12:00:00Z", r, named, "UTC", "2 days ago"},
        {"2025-02-26T12:00:00Z", r, named, "UTC", "last week"},
        {"2025-03-12T12:00:00Z", r, named, "UTC", "next week"},
        {"2025-02-05T12:00:00Z", r, named, "UTC", "last month"},
        {"2025-04-05T12:00:00Z", r, named, "UTC", "next month"},
        {"2024-03-05T12:00:00Z", r, named, "UTC", "last year"},
        {"2026-03-05T12:00:00Z", r, named, "UTC", "next year"},
        {"2023-03-05T12:00:00Z", r, named, "UTC", "2 years ago"},
        {"2025-03-05T11:00:00Z", r, named, "UTC", "1 hour ago"},
        {"2025-03-05T12:05:00Z", r, named, "UTC", "in 5 minutes"},
        // Month ends and the leap day: a month has passed once its day of the month is reached.
        {"2025-01-31T12:00:00Z", "2025-02-28T12:00:00Z", numeric, "UTC", "4 weeks ago"},
        {"2025-02-28T12:00:00Z", "2025-01-31T12:00:00Z", numeric, "UTC", "in 4 weeks"},
        {"2025-01-31T12:00:00Z", "2025-03-01T12:00:00Z", numeric, "UTC", "1 month ago"},
        {"2024-02-29T12:00:00Z", "2025-02-28T12:00:00Z", numeric, "UTC", "11 months ago"},
        {"2024-02-29T12:00:00Z", "2025-03-01T12:00:00Z", named, "UTC", "last year"},
        // The same instants fall on other calendar days in another zone.
        {"2025-01-31T23:30:00Z", "2025-02-28T23:30:00Z", numeric, "Europe/Berlin", "1 month ago"},
        // Daylight saving in Berlin: a 23-hour day is a day; 24.5 hours short of the next day are not.
        {"2025-03-29T12:00:00+01:00", "2025-03-30T12:00:00+02:00", numeric, "Europe/Berlin", "1 day ago"},
        {"2025-03-29T12:00:00+01:00", "2025-03-30T12:00:00+02:00", numeric, "UTC", "23 hours ago"},
        {"2025-03-29T12:00:00+01:00", "2025-03-30T11:30:00+02:00", named, "Europe/Berlin", "22 hours ago"},
        {"2025-10-25T12:00:00+02:00", "2025-10-26T11:30:00+01:00", numeric, "Europe/Berlin", "24 hours ago"},
        {"2025-10-25T12:00:00+02:00", "2025-10-26T11:30:00+01:00", named, "UTC", "yesterday"},
        // A reference in the next year.
        {"2024-12-31T23:00:00Z", "2025-01-01T01:00:00Z", named, "UTC", "2 hours ago"},
        {"2024-12-20T12:00:00Z", "2025-01-03T12:00:00Z", numeric, "UTC", "2 weeks ago"},
        {"2024-11-30T12:00:00Z", "2025-01-05T12:00:00Z", named, "UTC", "last month"},
    };
    for (const Case& c : cases) {
        const QTimeZone zone(QByteArray(c.zone));
        ASSERT_TRUE(zone.isValid()) << c.zone << " (the tzdata package holds the zones)";
        EXPECT_EQ(RelativeDate::format(at(c.date), at(c.reference), c.style, zone), QString::fromUtf8(c.expected))
            << c.date << " against " << c.reference << " in " << c.zone;
    }
    EXPECT_EQ(RelativeDate::format(QDateTime(), at(r), numeric, QTimeZone::utc()), QString());
}
