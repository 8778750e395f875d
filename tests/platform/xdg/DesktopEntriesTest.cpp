#include "platform/xdg/DesktopEntries.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vellicord {
namespace {

class DesktopEntriesTest : public ::testing::Test {
protected:
    QTemporaryDir home;
    QTemporaryDir system;
    QByteArray savedHome = qgetenv("XDG_DATA_HOME");
    QByteArray savedDirs = qgetenv("XDG_DATA_DIRS");

    void SetUp() override
    {
        qputenv("XDG_DATA_HOME", home.path().toUtf8());
        qputenv("XDG_DATA_DIRS", system.path().toUtf8());
        write(system, "applications/org.example.Notes.desktop",
              "[Desktop Entry]\nType=Application\nName=Notes\nName[de]=Notizen\nExec=/usr/bin/notes %U\nIcon=notes\n");
        write(system, "applications/debian-xterm.desktop", "[Desktop Entry]\nType=Application\nName=XTerm\nExec=xterm\n");
        write(system, "applications/browser.desktop",
              "[Desktop Entry]\nType=Application\nName=Web Browser\nExec=webbrowser-bin\nStartupWMClass=WebBrowserWindow\n");
        write(system, "applications/kde/org.kde.editor.desktop", "[Desktop Entry]\nType=Application\nName=Editor\nExec=ed\n");
        write(system, "applications/hidden.desktop", "[Desktop Entry]\nType=Application\nName=Hidden\nHidden=true\n");
        write(system, "applications/nameless.desktop",
              "[Desktop Entry]\nType=Application\nExec=nameless\nIcon=nameless\n");
        // The user's own entry hides the system's one of the same id.
        write(system, "applications/tool.desktop", "[Desktop Entry]\nType=Application\nName=System Tool\nExec=tool\n");
        write(home, "applications/tool.desktop", "[Desktop Entry]\nType=Application\nName=My Tool\nExec=tool\n");
        write(home, "applications/browser-profile.desktop",
              "[Desktop Entry]\nType=Application\nName=Web Browser\nExec=webbrowser-bin -P\nIcon=/opt/profile.png\n");
    }

    void TearDown() override
    {
        qputenv("XDG_DATA_HOME", savedHome);
        qputenv("XDG_DATA_DIRS", savedDirs);
        QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    }

    static void write(const QTemporaryDir& dir, const QString& path, const QByteArray& content)
    {
        const QString full = dir.filePath(path);
        QDir().mkpath(QFileInfo(full).path());
        QFile file(full);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
};

TEST_F(DesktopEntriesTest, WindowsFindTheirEntries)
{
    struct Case {
        const char* name;
        WindowIdentity window;
        std::optional<QString> id;
        QString appName;
    };
    const Case cases[] = {
        {"GTK application id", {QStringLiteral("org.example.Notes"), {}, {}, QStringLiteral("notes"), QStringLiteral("Notes")},
         QStringLiteral("org.example.Notes"), QStringLiteral("Notes")},
        {"KDE desktop file path", {{}, QStringLiteral("/usr/share/applications/kde-org.kde.editor.desktop"), {}, {}, {}},
         QStringLiteral("kde-org.kde.editor"), QStringLiteral("Editor")},
        {"Flatpak id", {{}, {}, QStringLiteral("org.example.Notes"), {}, {}}, QStringLiteral("org.example.Notes"),
         QStringLiteral("Notes")},
        {"StartupWMClass", {{}, {}, {}, QStringLiteral("webbrowser"), QStringLiteral("WebBrowserWindow")},
         QStringLiteral("browser"), QStringLiteral("Web Browser")},
        {"class as the id's last part", {{}, {}, {}, QStringLiteral("notes"), QStringLiteral("Notes")},
         QStringLiteral("org.example.Notes"), QStringLiteral("Notes")},
        {"program of Exec", {{}, {}, {}, QStringLiteral("xterm"), QStringLiteral("XTerm")}, QStringLiteral("debian-xterm"),
         QStringLiteral("XTerm")},
        {"user's entry first", {{}, {}, {}, QStringLiteral("tool"), QStringLiteral("Tool")}, QStringLiteral("tool"),
         QStringLiteral("My Tool")},
        {"hidden entry", {{}, {}, {}, QStringLiteral("hidden"), {}}, std::nullopt, {}},
        {"unknown window", {{}, {}, {}, QStringLiteral("mystery"), QStringLiteral("Mystery")}, std::nullopt, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        const std::optional<DesktopEntry> entry = DesktopEntries::find(c.window);
        EXPECT_EQ(entry ? std::optional<QString>(entry->id) : std::nullopt, c.id);
        if (entry) {
            EXPECT_EQ(entry->name, c.appName);
        }
    }
}

TEST_F(DesktopEntriesTest, NameInTheUsersLanguage)
{
    QLocale::setDefault(QLocale(QStringLiteral("de_DE")));
    EXPECT_EQ(DesktopEntries::byID(QStringLiteral("org.example.Notes"))->name, u"Notizen");
    EXPECT_EQ(DesktopEntries::byID(QStringLiteral("browser.desktop"))->name, u"Web Browser");
    // Found by the name shown (the user's entry first), never by the untranslated one or by no name.
    EXPECT_EQ(DesktopEntries::byName(QStringLiteral("Notizen"))->icon, u"notes");
    EXPECT_EQ(DesktopEntries::byName(QStringLiteral("Web Browser"))->id, u"browser-profile");
    EXPECT_FALSE(DesktopEntries::byName(QStringLiteral("Notes")));
    EXPECT_FALSE(DesktopEntries::byName(QString()));
}

} // namespace
} // namespace vellicord
