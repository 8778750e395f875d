#include "core/foundation/Address.h"

#include <QString>

#include <gtest/gtest.h>

using namespace vellicord;

namespace {

TEST(AddressTest, Validity)
{
    const struct {
        const char* text;
        bool valid;
    } cases[] = {
        {"https://example.com/a?b=c#d", true},
        {"file:///Users/me/notes.txt", true},
        {"mailto:someone@example.com", true},
        {"https://example.com/%E2%82%AC", true},
        {"https://[::1]:8080/", true},
        {"relative/path", true},
        {"", false},
        {"https://example.com/a b", false},
        {"https://example.com/\"q\"", false},
        {"https://example.com/<x>", false},
        {"https://example.com/%zz", false},
        {"https://example.com/%4", false},
        {"https://example.com/#a#b", false},
        {"https://example.com/{x}", false},
        {"https://example.com/\n", false},
        {"https://ex\xC3\xA4mple.com/", false},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(Address::isValid(std::string_view(c.text)), c.valid) << c.text;
        EXPECT_EQ(Address::isValid(QString::fromUtf8(c.text)), c.valid) << c.text;
    }
}

} // namespace
