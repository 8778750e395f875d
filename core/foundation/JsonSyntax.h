#pragma once

#include <string_view>

namespace vellicord {

// The JSON grammar (RFC 8259) checked on its own, without reading any value into a machine type:
// a parser that does so refuses numbers the grammar allows, such as an integer of 25 digits or an
// exponent of 400.
namespace JsonSyntax {

// True when the UTF-8 text is one JSON object or array, with nothing but white space around it.
bool isObjectOrArray(std::string_view utf8);

} // namespace JsonSyntax
} // namespace vellicord
