#include "platform/Desktop.h"

#include <gtest/gtest.h>

namespace vellicord {
namespace {

TEST(DesktopTest, OnlyWebAndMailAddressesAreOpenable)
{
    struct Case {
        const char* address;
        bool openable;
    };
    const Case cases[] = {
        {"https://example.com/a?b=c#d", true},
        {"http://example.com", true},
        {"mailto:someone@example.com", true},
        {"HTTPS://example.com", true}, // schemes are case-insensitive
        {"file:///etc/passwd", false},
        {"javascript:alert(1)", false},
        {"data:text/html,<b>hi</b>", false},
        {"ftp://example.com/file", false},
        {"example.com/page", false},
        {"", false},
        {"http://", false},
        {"https://example.com/a b", false},
        {"https://example.com/%zz", false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Desktop::isOpenable(QString::fromUtf8(c.address)), c.openable) << c.address;
}

} // namespace
} // namespace vellicord
