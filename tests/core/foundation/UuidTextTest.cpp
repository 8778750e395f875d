#include "core/foundation/UuidText.h"

#include <gtest/gtest.h>

using namespace vellicord;

namespace {

TEST(UuidTextTest, FormatIsUpperCaseWithoutBraces)
{
    const QUuid id(QStringLiteral("{6ba7b810-9dad-11d1-80b4-00c04fd430c8}"));
    EXPECT_EQ(UuidText::format(id), QStringLiteral("6BA7B810-9DAD-11D1-80B4-00C04FD430C8"));
    std::string utf8;
    UuidText::appendUtf8(utf8, id);
    EXPECT_EQ(utf8, "6BA7B810-9DAD-11D1-80B4-00C04FD430C8");
    EXPECT_EQ(UuidText::format(QUuid()), QStringLiteral("00000000-0000-0000-0000-000000000000"));
}

TEST(UuidTextTest, ParseIsStrict)
{
    const QUuid id(QStringLiteral("{6ba7b810-9dad-11d1-80b4-00c04fd430c8}"));
    const struct {
        const char* name;
        const char* text;
        bool valid;
    } cases[] = {
        {"upper case", "6BA7B810-9DAD-11D1-80B4-00C04FD430C8", true},
        {"lower case", "6ba7b810-9dad-11d1-80b4-00c04fd430c8", true},
        {"mixed case", "6Ba7b810-9DAD-11d1-80B4-00c04fd430C8", true},
        {"braces", "{6BA7B810-9DAD-11D1-80B4-00C04FD430C8}", false},
        {"no hyphens", "6BA7B8109DAD11D180B400C04FD430C8", false},
        {"urn", "urn:uuid:6BA7B810-9DAD-11D1-80B4-00C04FD430C8", false},
        {"leading space", " 6BA7B810-9DAD-11D1-80B4-00C04FD430C8", false},
        {"trailing newline", "6BA7B810-9DAD-11D1-80B4-00C04FD430C8\n", false},
        {"hyphen moved", "6BA7B81-09DAD-11D1-80B4-00C04FD430C8", false},
        {"not hex", "6BA7B810-9DAD-11D1-80B4-00C04FD430CG", false},
        {"short", "6BA7B810-9DAD-11D1-80B4-00C04FD430C", false},
        {"empty", "", false},
    };
    for (const auto& c : cases) {
        const auto fromText = UuidText::parse(QString::fromLatin1(c.text));
        const auto fromUtf8 = UuidText::parse(std::string_view(c.text));
        EXPECT_EQ(fromText.has_value(), c.valid) << c.name;
        EXPECT_EQ(fromUtf8.has_value(), c.valid) << c.name;
        if (c.valid) {
            EXPECT_EQ(*fromText, id) << c.name;
            EXPECT_EQ(*fromUtf8, id) << c.name;
        }
    }
    const auto nil = UuidText::parse(QStringLiteral("00000000-0000-0000-0000-000000000000"));
    ASSERT_TRUE(nil.has_value());
    EXPECT_TRUE(nil->isNull());
}

TEST(UuidTextTest, RoundTripOfRandomIds)
{
    for (int i = 0; i < 200; ++i) {
        const QUuid id = QUuid::createUuid();
        EXPECT_EQ(UuidText::parse(UuidText::format(id)), id);
        EXPECT_EQ(UuidText::format(id), id.toString(QUuid::WithoutBraces).toUpper());
    }
}

} // namespace
