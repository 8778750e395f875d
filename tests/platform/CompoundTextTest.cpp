#include "platform/CompoundText.h"

#include <gtest/gtest.h>

using namespace vellicord;

TEST(CompoundText, ReadsEachSetXlibWritesAndRefusesWhatItCannotRead)
{
    struct Case {
        const char* name;
        QByteArray bytes;
        std::optional<QString> text;
    };
    const Case cases[] = {
        {"ASCII and the right half of Latin-1 at first", "caf\xe9\n\tok", u"caf\u00e9\n\tok"_qs},
        {"ISO 8859 parts and the national sets, as Xlib writes them",
         "\x1b-L\xb6 \x1b$(BF|K\\\x1b(B \x1b-A\xe9 \xfc \x1b-F\xd9 \x1b$(CGQ19\x1b(B \x1b$(BCfJ8\x1b(B \x1b-b\xa4",
         u"\u0416 \u65e5\u672c \u00e9 \u00fc \u03a9 \ud55c\uad6d \u4e2d\u6587 \u20ac"_qs},
        {"a UTF-8 segment, then ASCII again", "\x1b%G\xe0\xb8\xaa\xf0\x9f\x98\x80\x1b%@x", u"\u0e2a\U0001f600x"_qs},
        {"national sets in the right half, JIS X 0212 and the JIS X 0201 halves",
         "\x1b$)A\xd6\xd0\x1b$(D0!\x1b)I\xb1\x1b(J\\~", u"\u4e2d\u4e02\uff71\u00a5\u203e"_qs},
        {"segments that name their encoding, also as a font charset",
         "\x1b%/1\x80\x89koi8-r\x02\xf0\xd2\x1b%/2\x80\x89"
         "big5-0\x02\xa4\xa4",
         u"\u041f\u0440\u4e2d"_qs},
        {"direction marks are left out", "a\x9b"
                                         "2]b\x9b]c",
         u"abc"_qs},
        {"a set that is not known", "\x1b(Zx", std::nullopt},
        {"an escape cut short", "ab\x1b$", std::nullopt},
        {"a control of the right half", "a\x85", std::nullopt},
        {"a named segment longer than the bytes", "\x1b%/1\x80\x90koi8-r\x02\xf0", std::nullopt},
        {"a named segment in an encoding that is not known", "\x1b%/1\x80\x84x-q\x02", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(CompoundText::decode(c.bytes), c.text) << c.name;
}
