#pragma once

#include <QString>
#include <QStringView>
#include <QUuid>

#include <optional>
#include <string_view>

namespace vellicord {

// The one text form of an id: 36 characters, 8-4-4-4-12 hexadecimal digits joined by hyphens.
namespace UuidText {

// Upper-case digits, no braces.
QString format(const QUuid& id);
// Appends the 36 upper-case characters to a UTF-8 buffer.
void appendUtf8(std::string& out, const QUuid& id);

// Accepts exactly the 36-character form with digits of either case; braces, URNs, missing
// hyphens and surrounding spaces are rejected. The nil id is a valid id.
std::optional<QUuid> parse(QStringView text);
std::optional<QUuid> parse(std::string_view utf8);

} // namespace UuidText
} // namespace vellicord
