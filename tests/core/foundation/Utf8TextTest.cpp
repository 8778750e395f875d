#include "core/foundation/Text.h"
#include "core/foundation/Utf8Text.h"

#include <gtest/gtest.h>

using namespace vellicord;

namespace {

// A text reads back as it was given, whatever it holds; only one UTF-8 cannot hold (an unpaired
// surrogate) keeps its UTF-16, and its UTF-8 form has U+FFFD there, as every file write has it.
TEST(Utf8TextTest, ReadsBackAsGiven)
{
    const QChar high(0xD800), low(0xDC00);
    const struct {
        const char* name;
        QString text;
        bool utf8;
    } cases[] = {
        {"empty", QString(), true},
        {"ASCII with a line feed", QStringLiteral("a\nb"), true},
        {"two, three and four bytes", QStringLiteral("\u00E9\u4E2D\U0001F600"), true},
        {"a zero", QString(QChar(0)), true},
        {"an unpaired high surrogate", QStringLiteral("a") + high + QStringLiteral("b"), false},
        {"an unpaired low surrogate at the start", low + QStringLiteral("b"), false},
        {"two surrogates the wrong way round", QString(low) + high, false},
    };
    for (const auto& c : cases) {
        const Utf8Text text(c.text);
        EXPECT_EQ(text.toString(), c.text) << c.name;
        EXPECT_EQ(text.isUtf8(), c.utf8) << c.name;
        EXPECT_EQ(text.toUtf8(), Text::repairingSurrogates(c.text).toUtf8()) << c.name;
        EXPECT_EQ(text.isEmpty(), c.text.isEmpty()) << c.name;
        if (c.utf8) {
            EXPECT_EQ(QByteArray(text.utf8().data(), qsizetype(text.utf8().size())), c.text.toUtf8()) << c.name;
            EXPECT_EQ(Utf8Text::fromUtf8(text.utf8()), text) << c.name;
        }
        const Utf8Text copy = text;
        EXPECT_TRUE(copy.isSharedWith(text)) << c.name;
    }
}

} // namespace
