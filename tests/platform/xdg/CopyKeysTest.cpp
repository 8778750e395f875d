#include "platform/xdg/CopyKeys.h"

#include <gtest/gtest.h>

namespace vellicord {
namespace {

TEST(CopyKeysTest, TerminalsGetTheirOwnCopyCommand)
{
    using Keys = CopyKeys;
    struct Case {
        std::optional<QString> bundleID;
        QString windowClass;
        Keys keys;
    };
    const Case cases[] = {
        {QStringLiteral("org.example.Notes"), QStringLiteral("notes"), Keys::controlC},
        {std::nullopt, QString(), Keys::controlC},
        {QStringLiteral("org.gnome.Terminal"), QStringLiteral("gnome-terminal-server"), Keys::controlShiftC},
        {std::nullopt, QStringLiteral("kitty"), Keys::controlShiftC},
        {QStringLiteral("debian-xterm"), QStringLiteral("xterm"), Keys::none},
        {std::nullopt, QStringLiteral("urxvt"), Keys::none},
        {QStringLiteral("org.gnome.terminal"), QStringLiteral("other"), Keys::controlC},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(copyKeysFor(c.bundleID, c.windowClass), c.keys)
            << c.bundleID.value_or(QStringLiteral("-")).toStdString() << " " << c.windowClass.toStdString();
    }
}

} // namespace
} // namespace vellicord
