#include "core/foundation/IsoDate.h"

#include <gtest/gtest.h>

using namespace vellicord;

namespace {

QDateTime utc(int y, int mo, int d, int h, int mi, int s, int ms = 0)
{
    return QDateTime(QDate(y, mo, d), QTime(h, mi, s, ms), Qt::UTC);
}

TEST(IsoDateTest, FormatWritesWholeSecondsAndZ)
{
    const struct {
        const char* name;
        QDateTime date;
        const char* text;
    } cases[] = {
        {"plain", utc(2026, 3, 1, 8, 30, 0), "2026-03-01T08:30:00Z"},
        {"fraction dropped", utc(2026, 3, 1, 8, 30, 5, 999), "2026-03-01T08:30:05Z"},
        {"leap day", utc(2024, 2, 29, 23, 59, 59), "2024-02-29T23:59:59Z"},
        {"epoch", utc(1970, 1, 1, 0, 0, 0), "1970-01-01T00:00:00Z"},
        {"before epoch", utc(1969, 12, 31, 23, 59, 59, 500), "1969-12-31T23:59:59Z"},
        {"local time converted", QDateTime(QDate(2026, 3, 1), QTime(10, 0), Qt::OffsetFromUTC, 7200),
         "2026-03-01T08:00:00Z"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(IsoDate::format(c.date), QString::fromLatin1(c.text)) << c.name;
}

TEST(IsoDateTest, ParseIsStrict)
{
    const struct {
        const char* name;
        const char* text;
        bool valid;
    } cases[] = {
        {"internet date time", "2026-03-01T08:30:00Z", true},
        {"leap day", "2024-02-29T00:00:00Z", true},
        {"fractional seconds", "2026-03-01T08:30:00.5Z", false},
        {"missing zone", "2026-03-01T08:30:00", false},
        {"offset instead of Z", "2026-03-01T08:30:00+00:00", false},
        {"lower-case z", "2026-03-01T08:30:00z", false},
        {"lower-case t", "2026-03-01t08:30:00Z", false},
        {"space separator", "2026-03-01 08:30:00Z", false},
        {"date only", "2026-03-01", false},
        {"a number of seconds", "794046600", false},
        {"february 30", "2026-02-30T00:00:00Z", false},
        {"not a leap year", "2025-02-29T00:00:00Z", false},
        {"month 13", "2026-13-01T00:00:00Z", false},
        {"hour 24", "2026-03-01T24:00:00Z", false},
        {"second 60", "2026-03-01T23:59:60Z", false},
        {"empty", "", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(IsoDate::parse(QString::fromLatin1(c.text)).has_value(), c.valid) << c.name;
        EXPECT_EQ(IsoDate::parse(std::string_view(c.text)).has_value(), c.valid) << c.name;
    }
    EXPECT_EQ(*IsoDate::parse(std::string_view("2026-03-01T08:30:00Z")), utc(2026, 3, 1, 8, 30, 0));
}

TEST(IsoDateTest, RoundTripLosesOnlyTheFraction)
{
    qint64 ms = -86400000LL * 365 * 3 + 123;
    for (int i = 0; i < 500; ++i) {
        ms += 9876543211LL + i;
        const QDateTime date = QDateTime::fromMSecsSinceEpoch(ms, Qt::UTC);
        const auto back = IsoDate::parse(IsoDate::format(date));
        ASSERT_TRUE(back.has_value()) << ms;
        EXPECT_EQ(*back, IsoDate::wholeSeconds(date)) << ms;
        EXPECT_EQ(IsoDate::format(date), date.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ssZ"))) << ms;
    }
}

} // namespace
