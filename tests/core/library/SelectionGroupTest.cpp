#include "core/library/SelectionGroup.h"

#include "support/Records.h"

#include <gtest/gtest.h>

using namespace vellicord;

namespace {

TEST(SelectionGroupTest, ColourParsing)
{
    const RgbaColor blue{79 / 255.0, 142 / 255.0, 247 / 255.0, 1.0};
    const struct {
        const char* name;
        QString text;
        std::optional<RgbaColor> color;
    } cases[] = {
        {"hash and six digits", QStringLiteral("#4F8EF7"), blue},
        {"without hash", QStringLiteral("4F8EF7"), blue},
        {"lower case", QStringLiteral("#4f8ef7"), blue},
        {"white space around", QStringLiteral(" \n#4F8EF7\t\n"), blue},
        {"two hashes", QStringLiteral("##4F8EF7"), std::nullopt},
        {"three digits", QStringLiteral("#FFF"), std::nullopt},
        {"eight digits", QStringLiteral("#4F8EF7FF"), std::nullopt},
        {"empty", QString(), std::nullopt},
        {"hash alone", QStringLiteral("#"), std::nullopt},
        {"letter beyond f", QStringLiteral("#4F8EG7"), std::nullopt},
        {"space after hash", QStringLiteral("# 4F8EF7"), std::nullopt},
        {"plus and five digits", QStringLiteral("#+0000F"), RgbaColor{0, 0, 15 / 255.0, 1}},
        {"plus sign makes red small", QStringLiteral("+F0000"), RgbaColor{15 / 255.0, 0, 0, 1}},
        {"minus and five zeros", QStringLiteral("-00000"), RgbaColor{0, 0, 0, 1}},
        {"minus and a digit", QStringLiteral("-00001"), std::nullopt},
        {"sign alone then digits of six", QStringLiteral("++0000"), std::nullopt},
        {"full-width digits", QStringLiteral("\uFF14F8EF7"), std::nullopt},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(RgbaColor::fromHexString(c.text), c.color) << c.name;
        const SelectionGroup group{test::uuid(1), QStringLiteral("G"), c.text, test::at(0)};
        EXPECT_EQ(group.color(), c.color.value_or(RgbaColor::systemTeal())) << c.name;
    }
}

TEST(SelectionGroupTest, GroupsWithTheSameNameAreDistinct)
{
    const SelectionGroup a{test::uuid(1), QStringLiteral("Work"), QStringLiteral("#000000"), test::at(0)};
    SelectionGroup b = a;
    EXPECT_EQ(a, b);
    b.id = test::uuid(2);
    EXPECT_NE(a, b);
}

} // namespace
