#include "Tovak/shell/HotKeyCombo.h"

#include <gtest/gtest.h>

using namespace vellicord;

TEST(HotKeyCombo, DisplayShowsModifiersInFixedOrderThenTheKey)
{
    struct Case {
        const char* name;
        HotKeyCombo combo;
        QString expected;
    };
    const Case cases[] = {
        {"default", HotKeyCombo::defaultCombo(), QStringLiteral("Ctrl+Alt+Super+C")},
        {"all four", {8, 0x1B00}, QStringLiteral("Ctrl+Alt+Shift+Super+C")},
        {"no modifiers", {8, 0}, QStringLiteral("C")},
        {"shift K", {40, 0x200}, QStringLiteral("Shift+K")},
        {"other bits ignored", {40, 0x100 | 0x0001 | 0x10000}, QStringLiteral("Super+K")},
        {"digit", {0x12, 0x100}, QStringLiteral("Super+1")},
        {"return", {0x24, 0x1000}, QStringLiteral("Ctrl+Return")},
        {"escape", {0x35, 0x1800}, QStringLiteral("Ctrl+Alt+Esc")},
        {"arrow", {0x7B, 0x200}, QStringLiteral("Shift+Left")},
        {"page down", {0x79, 0x100}, QStringLiteral("Super+PgDown")},
        {"space", {0x31, 0x1000}, QStringLiteral("Ctrl+Space")},
        {"function key", {0x7A, 0x800}, QStringLiteral("Alt+F1")},
        {"unknown key code", {70000, 0x100}, QStringLiteral("Super+?")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(c.combo.display(), c.expected) << c.name;
}

TEST(HotKeyCombo, StoredFormRoundTripsAndRejectsAnythingElse)
{
    EXPECT_EQ(HotKeyCombo::defaultCombo().json(), QByteArray(R"({"keyCode":8,"modsCarbon":6400})"));
    struct Case {
        const char* name;
        const char* json;
        std::optional<HotKeyCombo> expected;
    };
    const Case cases[] = {
        {"both members", R"({"keyCode":40,"modsCarbon":512})", HotKeyCombo{40, 512}},
        {"extra member ignored", R"({"modsCarbon":256,"x":true,"keyCode":1})", HotKeyCombo{1, 256}},
        {"largest value", R"({"keyCode":4294967295,"modsCarbon":0})", HotKeyCombo{4294967295u, 0}},
        {"missing member", R"({"keyCode":8})", std::nullopt},
        {"null member", R"({"keyCode":8,"modsCarbon":null})", std::nullopt},
        {"negative", R"({"keyCode":-1,"modsCarbon":0})", std::nullopt},
        {"too large", R"({"keyCode":4294967296,"modsCarbon":0})", std::nullopt},
        {"fraction", R"({"keyCode":8.5,"modsCarbon":0})", std::nullopt},
        {"string", R"({"keyCode":"8","modsCarbon":0})", std::nullopt},
        {"array", R"([8,6400])", std::nullopt},
        {"not json", "keyCode=8", std::nullopt},
        {"empty", "", std::nullopt},
    };
    for (const Case& c : cases)
        EXPECT_EQ(HotKeyCombo::fromJson(QByteArray(c.json)), c.expected) << c.name;
}

TEST(HotKeyCombo, CarbonModsFromQtModifiers)
{
    EXPECT_EQ(HotKeyCombo::carbonMods(Qt::MetaModifier), 0x100u);
    EXPECT_EQ(HotKeyCombo::carbonMods(Qt::ShiftModifier), 0x200u);
    EXPECT_EQ(HotKeyCombo::carbonMods(Qt::AltModifier), 0x800u);
    EXPECT_EQ(HotKeyCombo::carbonMods(Qt::ControlModifier), 0x1000u);
    EXPECT_EQ(HotKeyCombo::carbonMods(Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier), 0x1900u);
    EXPECT_EQ(HotKeyCombo::carbonMods(Qt::KeypadModifier | Qt::GroupSwitchModifier), 0u);
}
