#pragma once

#include <QStringView>

#include <string_view>

namespace vellicord {

// Addresses are kept as the exact text they were given; this only decides whether a text is
// an address at all (what the library accepts as a page address).
namespace Address {

// True for a non-empty text made of the characters an address may hold: printable ASCII except
// space and " < > \ ^ ` { | }, every "%" followed by two hexadecimal digits, at most one "#".
bool isValid(QStringView text);
bool isValid(std::string_view utf8);

} // namespace Address
} // namespace vellicord
