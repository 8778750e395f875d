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

TEST(DesktopTest, OnlyAbsolutePathsAreRevealable)
{
    struct Case {
        QString path;
        bool revealable;
    };
    const Case cases[] = {
        {QStringLiteral("/home/user/Notes/plan.md"), true},
        {QStringLiteral("/"), true},
        {QStringLiteral("/tmp/../etc/hosts"), true}, // still absolute; the folder shown is where it lies
        {QStringLiteral("plan.md"), false},
        {QStringLiteral("./plan.md"), false},
        {QStringLiteral("../plan.md"), false},
        {QStringLiteral("~/plan.md"), false},
        {QStringLiteral("file:///home/user/plan.md"), false},
        {QString(), false},
        {QStringLiteral("/home/user/plan.md") + QChar(u'\0') + QStringLiteral(".txt"), false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(Desktop::isRevealable(c.path), c.revealable) << qPrintable(c.path);
}

} // namespace
} // namespace vellicord
