#include "platform/NativePath.h"

#include <gtest/gtest.h>

using namespace vellicord;

// Any bytes come back as they were; UTF-8 reads as itself, and each byte that is not part of valid
// UTF-8 reads as one escape of its own.
TEST(NativePath, KeepsEveryByteAndReadsUtf8AsItself)
{
    struct Case {
        const char* name;
        QByteArray bytes;
        QString text;
    };
    const auto escaped = [](unsigned char byte) { return QString(QChar(char16_t(0xDC00 + byte))); };
    const Case cases[] = {
        {"plain", "/home/ada/out", QStringLiteral("/home/ada/out")},
        {"UTF-8 letters and a character beyond the first plane", "/tmp/caf\xC3\xA9/\xF0\x9F\x93\x81",
         QStringLiteral("/tmp/café/📁")},
        {"Latin-1", "/tmp/caf\xE9", QStringLiteral("/tmp/caf") + escaped(0xE9)},
        {"a lone continuation byte", "a\x80z", QStringLiteral("a") + escaped(0x80) + QStringLiteral("z")},
        {"an overlong slash", "\xC0\xAF", escaped(0xC0) + escaped(0xAF)},
        {"an encoded surrogate", "\xED\xA0\x80", escaped(0xED) + escaped(0xA0) + escaped(0x80)},
        {"beyond U+10FFFF", "\xF4\x90\x80\x80", escaped(0xF4) + escaped(0x90) + escaped(0x80) + escaped(0x80)},
        {"a sequence cut short at the end", "x\xE2\x82", QStringLiteral("x") + escaped(0xE2) + escaped(0x82)},
        {"a line feed and an escape character", "a\nb\x1B", QStringLiteral("a\nb\x1B")},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(NativePath::decode(c.bytes), c.text) << c.name;
        EXPECT_EQ(NativePath::encode(NativePath::decode(c.bytes)), c.bytes) << c.name;
    }
    // U+10080 is written with the low surrogate U+DC80: half of a character, not a byte.
    EXPECT_EQ(NativePath::encode(QStringLiteral("\U00010080")), QByteArray("\xF0\x90\x82\x80"));
}
