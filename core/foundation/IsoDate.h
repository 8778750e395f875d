#pragma once

#include <QDateTime>
#include <QString>
#include <QStringView>

#include <optional>
#include <string>
#include <string_view>

namespace vellicord {

// Dates as the library file writes them: "yyyy-MM-ddTHH:mm:ssZ", UTC, whole seconds.
namespace IsoDate {

// Fractions of a second are dropped (rounded down towards the earlier second).
QString format(const QDateTime& date);
void appendUtf8(std::string& out, const QDateTime& date);

// Only the exact 20-character form with the letter Z; fractions, offsets, lower-case
// letters, missing parts and impossible dates (February 30) are rejected.
std::optional<QDateTime> parse(QStringView text);
std::optional<QDateTime> parse(std::string_view utf8);

// The date with its fraction of a second removed: what a date becomes after a round trip.
QDateTime wholeSeconds(const QDateTime& date);

} // namespace IsoDate
} // namespace vellicord
