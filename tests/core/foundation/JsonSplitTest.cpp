#include "core/foundation/JsonSplit.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vellicord {
namespace {

// The members found, or "none"; the same however many parts the text is scanned in.
TEST(JsonSplit, findsTheObjectsOfTheNamedList)
{
    struct Case {
        const char* name;
        std::string json;
        std::vector<std::string> members; // empty: none found
    };
    const std::string lines = "{\n  \"a\": [\n    1\n  ],\n  \"list\": [\n    {\"x\": 1},\n    {\"y\": \"}\"}\n  ],\n"
                              "  \"z\": {}\n}";
    const Case cases[] = {
        {"laid out in lines", lines, {"{\"x\": 1}", "{\"y\": \"}\"}"}},
        {"on one line", R"({"list":[{"a":[1,{"b":2}]} , {"c":"\"]["}]})", {R"({"a":[1,{"b":2}]})", R"({"c":"\"]["})"}},
        {"escaped backslash before a quote",
         R"({"list":[{"a":"\\"},{"b":"\\\""}]})",
         {R"({"a":"\\"})", R"({"b":"\\\""})"}},
        {"the name nested deeper", R"({"o":{"list":[{"a":1}]}})", {}},
        {"the name as a value", R"({"k":"list","x":[{"a":1}]})", {}},
        {"a member that is not an object", R"({"list":[{"a":1},2]})", {}},
        {"a member that is a list", R"({"list":[{"a":1},[]]})", {}},
        {"empty lists in members", R"({"list":[{"a":[]},{"b":[[],[1]]}]})", {R"({"a":[]})", R"({"b":[[],[1]]})"}},
        {"no comma", R"({"list":[{"a":1} {"b":1}]})", {}},
        {"two commas", R"({"list":[{"a":1},,{"b":1}]})", {}},
        {"a comma first", R"({"list":[,{"a":1}]})", {}},
        {"an empty list", R"({"list":[]})", {}},
        {"an unclosed string", "{\"list\":[{\"a\":\"1}]}", {}},
        {"unbalanced", R"({"list":[{"a":1}}]})", {}},
        {"the list unclosed", R"({"list":[{"a":1})", {}},
    };
    for (const Case& c : cases) {
        for (size_t threads : {1, 2, 3, 7}) {
            const auto found = JsonSplit::objectsOfMember(c.json, "list", threads);
            std::vector<std::string> members;
            if (found) {
                for (std::string_view m : found->members)
                    members.emplace_back(m);
                EXPECT_EQ(c.json[found->open], '[') << c.name;
                EXPECT_EQ(c.json[found->close], ']') << c.name;
            }
            EXPECT_EQ(members, c.members) << c.name << ", threads " << threads;
        }
    }
}

} // namespace
} // namespace vellicord
