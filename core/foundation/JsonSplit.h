#pragma once

#include <cstddef>
#include <optional>
#include <string_view>
#include <vector>

namespace vellicord {

// Finding the members of a large array in a JSON document on several threads, so that each member
// can be parsed on its own. JSON allows a line break only outside strings, so a scan that starts
// just after one knows it is outside any string; the scans of the parts between line breaks run side
// by side and are joined by their depths. What it finds is right for valid JSON only: the caller
// confirms it by parsing every piece (the document without the array's members, each member) and
// by the white space and commas between the members, which it checks itself.
namespace JsonSplit {

struct ArrayMembers {
    size_t open = 0; // the offset of the array's "["
    size_t close = 0; // the offset of its "]"
    std::vector<std::string_view> members; // each an object, from its "{" to its "}"
};

// The objects of the array that is the value of `key` (as written, without escapes) in the root
// object. None when the text has no such array, the array holds anything but objects, or the
// scan finds the text is not JSON.
std::optional<ArrayMembers> objectsOfMember(std::string_view json, std::string_view key, size_t threads);

} // namespace JsonSplit
} // namespace vellicord
