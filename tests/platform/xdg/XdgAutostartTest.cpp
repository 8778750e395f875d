#include "platform/xdg/XdgAutostart.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace vellicord;

TEST(XdgAutostart, ExecIsQuotedAndEscapedByTheDesktopEntryRules)
{
    struct Case {
        const char* name;
        QString program;
        QString exec;
    };
    const Case cases[] = {
        {"plain", QStringLiteral("/usr/bin/vellicord"), QStringLiteral("\"/usr/bin/vellicord\"")},
        {"spaces and percent", QStringLiteral("/home/ada/My Apps/100% vellicord"),
         QStringLiteral("\"/home/ada/My Apps/100%% vellicord\"")},
        {"quote, dollar, backtick", QStringLiteral("/opt/a\"b$c`d/vellicord"),
         QStringLiteral("\"/opt/a\\\\\"b\\\\$c\\\\`d/vellicord\"")},
        {"backslash", QStringLiteral("/opt/a\\b"), QStringLiteral("\"/opt/a\\\\\\\\b\"")},
        {"newline", QStringLiteral("/opt/a\nb"), QStringLiteral("\"/opt/a\\nb\"")},
    };
    for (const Case& c : cases)
        EXPECT_EQ(XdgAutostart::execValue(c.program), c.exec) << c.name;
}

TEST(XdgAutostart, RegisterWritesTheEntryAndUnregisterRemovesIt)
{
    QTemporaryDir home;
    XdgAutostart item(home.path(), QStringLiteral("/home/ada/My Apps/100% vellicord"));
    EXPECT_EQ(item.entryPath(), home.path() + QStringLiteral("/autostart/vellicord.desktop"));
    EXPECT_EQ(item.status(), LoginItem::Status::notRegistered);
    EXPECT_FALSE(item.unregisterItem());

    EXPECT_FALSE(item.registerItem());
    EXPECT_EQ(item.status(), LoginItem::Status::enabled);
    QFile file(item.entryPath());
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.startsWith("[Desktop Entry]\n"));
    EXPECT_TRUE(text.contains("\nExec=\"/home/ada/My Apps/100%% vellicord\"\n"));
    EXPECT_TRUE(text.contains("\nType=Application\n"));
    file.close();

    // The desktop switches an entry off by marking it hidden or not enabled.
    for (const char* off : {"Hidden=true\n", "X-GNOME-Autostart-enabled=false\n", "X-GNOME-Autostart-enabled = false\n"}) {
        EXPECT_FALSE(item.registerItem());
        ASSERT_TRUE(file.open(QIODevice::Append));
        file.write(off);
        file.close();
        EXPECT_EQ(item.status(), LoginItem::Status::notRegistered) << off;
    }

    EXPECT_FALSE(item.unregisterItem());
    EXPECT_FALSE(QFile::exists(item.entryPath()));
}

TEST(XdgAutostart, RegisterReportsAFolderThatCannotBeMade)
{
    QTemporaryDir home;
    QFile blocker(home.filePath(QStringLiteral("autostart")));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    XdgAutostart item(home.path(), QStringLiteral("/usr/bin/vellicord"));
    EXPECT_TRUE(item.registerItem());
    EXPECT_EQ(item.status(), LoginItem::Status::notRegistered);
}
