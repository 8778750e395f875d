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

TEST(AddressTest, DocumentKinds)
{
    using Kind = Address::DocumentKind;
    const struct {
        const char* address;
        Kind kind;
    } cases[] = {
        {"https://example.com/article", Kind::webPage},
        {"HTTP://EXAMPLE.COM/", Kind::webPage},
        {"file:///home/me/notes.txt", Kind::localFile},
        {"FILE:///home/me/Report%20final.odt", Kind::localFile},
        {"/home/me/notes.txt", Kind::localFile},
        {"chrome://browser/content/browser.xhtml", Kind::other},
        {"about:blank", Kind::other},
        {"about:reader?url=https://example.com/article", Kind::other},
        {"resource://pdf.js/web/viewer.html", Kind::other},
        {"moz-extension://0b1c2d3e/popup.html", Kind::other},
        {"data:text/html,<p>x</p>", Kind::other},
        {"view-source:https://example.com/", Kind::other},
        {"blob:https://example.com/0b1c2d3e", Kind::other},
        {"javascript:void(0)", Kind::other},
        {"ftp://example.com/file.txt", Kind::other},
        {"https:example.com", Kind::other},
        {"notes.txt", Kind::other},
        {"", Kind::other},
    };
    for (const auto& c : cases)
        EXPECT_EQ(Address::documentKind(QString::fromUtf8(c.address)), c.kind) << c.address;
}

} // namespace
