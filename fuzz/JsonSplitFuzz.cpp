// Arbitrary bytes as a JSON document whose "list" is split into its objects on several threads:
// each piece it gives lies where it says, and for a document that is valid JSON the split is the
// same however many parts the text is scanned in and finds exactly the objects of the root's "list".
// (Of text that is not JSON it may find anything: its caller parses every piece.)
#include "core/foundation/JsonSplit.h"

#include <simdjson.h>

#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

using namespace vellicord;

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view json(reinterpret_cast<const char*>(data), size);
    simdjson::dom::parser parser;
    simdjson::dom::element root;
    const bool valid = parser.parse(json.data(), json.size(), true).get(root) == simdjson::SUCCESS;
    const auto whole = JsonSplit::objectsOfMember(json, "list", 1);
    for (const size_t threads : {2, 5}) {
        const auto parts = JsonSplit::objectsOfMember(json, "list", threads);
        for (const auto& split : {whole, parts}) {
            if (!split)
                continue;
            require(json[split->open] == '[' && json[split->close] == ']');
            for (const std::string_view member : split->members)
                require(member.front() == '{' && member.back() == '}' && member.data() > json.data() + split->open
                        && member.data() + member.size() <= json.data() + split->close);
        }
        if (valid) {
            require(parts.has_value() == whole.has_value());
            if (parts)
                require(parts->members == whole->members && parts->open == whole->open && parts->close == whole->close);
        }
    }
    if (!valid)
        return 0;
    simdjson::dom::object object;
    simdjson::dom::array list;
    if (root.get_object().get(object) != simdjson::SUCCESS)
        return 0;
    // Only a list under the key as written, given once, is looked for.
    size_t written = 0;
    for (const simdjson::dom::key_value_pair field : object)
        written += field.key == "list" ? 1 : 0;
    if (written != 1 || json.find("\"list\"") == std::string_view::npos || object["list"].get_array().get(list))
        return 0;
    bool objects = true;
    for (const simdjson::dom::element item : list)
        objects = objects && item.is_object();
    if (!objects) {
        require(!whole);
        return 0;
    }
    require(whole.has_value() && whole->members.size() == list.size());
    size_t i = 0;
    simdjson::dom::parser each;
    for (const simdjson::dom::element item : list) {
        simdjson::dom::element again;
        require(each.parse(std::string(whole->members[i++])).get(again) == simdjson::SUCCESS);
        require(simdjson::minify(again) == simdjson::minify(item));
    }
    return 0;
}
