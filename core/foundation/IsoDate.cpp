#include "core/foundation/IsoDate.h"



#include <cstdint>

namespace vellicord::IsoDate {

namespace {

// Days since 1970-01-01 of a proleptic Gregorian civil date, and back (Howard Hinnant's
// algorithms), so that formatting and parsing never go through QDate's slower paths.
int64_t daysFromCivil(int64_t y, unsigned m, unsigned d)
{
    y -= m <= 2;
    const int64_t era = (y >= 0 ? y : y - 399) / 400;
    const unsigned yoe = unsigned(y - era * 400);
    const unsigned doy = (153 * (m + (m > 2 ? -3 : 9)) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + int64_t(doe) - 719468;
}

void civilFromDays(int64_t z, int64_t& y, unsigned& m, unsigned& d)
{
    z += 719468;
    const int64_t era = (z >= 0 ? z : z - 146096) / 146097;
    const unsigned doe = unsigned(z - era * 146097);
    const unsigned yoe = (doe - doe / 1460 + doe / 36524 - doe / 146096) / 365;
    y = int64_t(yoe) + era * 400;
    const unsigned doy = doe - (365 * yoe + yoe / 4 - yoe / 100);
    const unsigned mp = (5 * doy + 2) / 153;
    d = doy - (153 * mp + 2) / 5 + 1;
    m = mp < 10 ? mp + 3 : mp - 9;
    y += m <= 2;
}

unsigned daysInMonth(int64_t y, unsigned m)
{
    static constexpr unsigned days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const bool leap = (y % 4 == 0 && y % 100 != 0) || y % 400 == 0;
    return m == 2 && leap ? 29 : days[m - 1];
}

int64_t floorDiv(int64_t a, int64_t b)
{
    return a / b - ((a % b != 0) && ((a < 0) != (b < 0)));
}

// Writes the 20 characters; years outside 0..9999 are clamped, as no capture is dated there.
void writeText(char* out, const QDateTime& date)
{
    const int64_t ms = date.toMSecsSinceEpoch();
    const int64_t secs = floorDiv(ms, 1000);
    const int64_t days = floorDiv(secs, 86400);
    int64_t sod = secs - days * 86400;
    int64_t y;
    unsigned m, d;
    civilFromDays(days, y, m, d);
    if (y < 0)
        y = 0;
    if (y > 9999)
        y = 9999;
    auto two = [&](int pos, unsigned v) {
        out[pos] = char('0' + v / 10);
        out[pos + 1] = char('0' + v % 10);
    };
    out[0] = char('0' + y / 1000);
    out[1] = char('0' + (y / 100) % 10);
    out[2] = char('0' + (y / 10) % 10);
    out[3] = char('0' + y % 10);
    out[4] = '-';
    two(5, m);
    out[7] = '-';
    two(8, d);
    out[10] = 'T';
    two(11, unsigned(sod / 3600));
    out[13] = ':';
    two(14, unsigned((sod / 60) % 60));
    out[16] = ':';
    two(17, unsigned(sod % 60));
    out[19] = 'Z';
}

template <typename At>
std::optional<QDateTime> parseChars(qsizetype size, At at)
{
    if (size != 20)
        return std::nullopt;
    static constexpr char shape[] = "dddd-dd-ddTdd:dd:ddZ";
    for (int i = 0; i < 20; ++i) {
        const char16_t c = at(i);
        if (shape[i] == 'd') {
            if (c < u'0' || c > u'9')
                return std::nullopt;
        } else if (c != char16_t(shape[i])) {
            return std::nullopt;
        }
    }
    auto num = [&](int pos, int len) {
        unsigned v = 0;
        for (int i = 0; i < len; ++i)
            v = v * 10 + unsigned(at(pos + i) - u'0');
        return v;
    };
    const int64_t y = num(0, 4);
    const unsigned m = num(5, 2), d = num(8, 2), hh = num(11, 2), mm = num(14, 2), ss = num(17, 2);
    if (m < 1 || m > 12 || d < 1 || d > daysInMonth(y, m) || hh > 23 || mm > 59 || ss > 59)
        return std::nullopt;
    const int64_t secs = daysFromCivil(y, m, d) * 86400 + hh * 3600 + mm * 60 + ss;
    return QDateTime::fromMSecsSinceEpoch(secs * 1000, Qt::UTC);
}

} // namespace

QString format(const QDateTime& date)
{
    char text[20];
    writeText(text, date);
    return QString::fromLatin1(text, 20);
}

void appendUtf8(std::string& out, const QDateTime& date)
{
    char text[20];
    writeText(text, date);
    out.append(text, 20);
}

std::optional<QDateTime> parse(QStringView text)
{
    return parseChars(text.size(), [&](int i) { return text[i].unicode(); });
}

std::optional<QDateTime> parse(std::string_view utf8)
{
    return parseChars(qsizetype(utf8.size()), [&](int i) { return char16_t(uchar(utf8[size_t(i)])); });
}

QDateTime wholeSeconds(const QDateTime& date)
{
    const int64_t ms = date.toMSecsSinceEpoch();
    return QDateTime::fromMSecsSinceEpoch(floorDiv(ms, 1000) * 1000, Qt::UTC);
}

} // namespace vellicord::IsoDate
