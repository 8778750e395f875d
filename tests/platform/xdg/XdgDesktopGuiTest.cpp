#include "platform/xdg/XdgDesktop.h"

#include <QDBusVariant>
#include <QDir>
#include <QFile>
#include <QIcon>
#include <QImage>
#include <QLoggingCategory>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <optional>

namespace vellicord {
namespace {

class XdgDesktopTest : public ::testing::Test {
protected:
    QTemporaryDir home;
    QTemporaryDir system;
    QList<QUrl> opened;
    QList<QUrl> shown;
    bool fileManagerAnswers = true;

    void SetUp() override
    {
        for (const char* name : {"XDG_DATA_HOME", "XDG_DATA_DIRS", "VELLICORD_APPEARANCE", "GTK_THEME"})
            saved_.append({name, qEnvironmentVariableIsSet(name) ? std::optional(qgetenv(name)) : std::nullopt});
        qputenv("XDG_DATA_HOME", home.path().toUtf8());
        qputenv("XDG_DATA_DIRS", system.path().toUtf8());
    }

    void TearDown() override
    {
        for (const auto& [name, value] : saved_)
            value ? qputenv(name, *value) : qunsetenv(name);
    }

    XdgDesktop desktop()
    {
        return XdgDesktop(
            [this](const QUrl& url) {
                opened.append(url);
                return true;
            },
            [this](const QUrl& file) {
                shown.append(file);
                return fileManagerAnswers;
            });
    }

    static void write(const QTemporaryDir& dir, const QString& path, const QByteArray& content)
    {
        QDir().mkpath(QFileInfo(dir.filePath(path)).path());
        QFile file(dir.filePath(path));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

private:
    QList<std::pair<const char*, std::optional<QByteArray>>> saved_;
};

TEST_F(XdgDesktopTest, OpenerGetsOnlyOpenableAddresses)
{
    const QString web = QStringLiteral("https://example.com/a%20b?q=%C3%A9");
    const QString mail = QStringLiteral("mailto:someone@example.com");
    EXPECT_TRUE(desktop().openURL(web));
    EXPECT_TRUE(desktop().openURL(mail));
    EXPECT_FALSE(desktop().openURL(QStringLiteral("file:///etc/passwd")));
    EXPECT_EQ(opened, (QList<QUrl>{QUrl(web), QUrl(mail)}));
}

QStringList* appLog = nullptr;

// The "app" log's lines while it lives (they are debug lines, off unless asked for).
struct AppLogLines {
    QStringList lines;
    QtMessageHandler previous;
    AppLogLines()
    {
        appLog = &lines;
        QLoggingCategory::setFilterRules(QStringLiteral("com.ruvo.vellicord.app.debug=true"));
        previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext& context, const QString& line) {
            if (appLog && context.category && QByteArray(context.category) == "com.ruvo.vellicord.app")
                appLog->append(line);
        });
    }
    ~AppLogLines()
    {
        qInstallMessageHandler(previous);
        QLoggingCategory::setFilterRules(QString());
        appLog = nullptr;
    }
};

TEST_F(XdgDesktopTest, RevealShowsTheItemOrOpensItsFolderNeverTheItem)
{
    write(home, QStringLiteral("docs/report.txt"), "text");
    ASSERT_TRUE(
        QFile::link(home.filePath(QStringLiteral("docs/none.json")), home.filePath(QStringLiteral("docs/link.json"))));
    const QUrl file = QUrl::fromLocalFile(home.filePath(QStringLiteral("docs/report.txt")));
    const QUrl folder = QUrl::fromLocalFile(home.filePath(QStringLiteral("docs")));
    struct Case {
        const char* name;
        QString path;
        bool fileManagerAnswers;
        bool revealed;
        QList<QUrl> shown;
        QList<QUrl> opened;
    };
    const Case cases[] = {
        {"file manager shows the file", file.toLocalFile(), true, true, {file}, {}},
        {"file's folder opened instead", file.toLocalFile(), false, true, {file}, {folder}},
        {"folder's parent opened instead",
         folder.toLocalFile() + u'/',
         false,
         true,
         {folder},
         {QUrl::fromLocalFile(home.path())}},
        // Gone: the nearest folder still there, as a lost library's folder holds its backup.
        {"missing file", home.filePath(QStringLiteral("docs/gone.txt")), true, true, {}, {folder}},
        {"missing file in missing folders",
         home.filePath(QStringLiteral("docs/old/older/gone.txt")),
         true,
         true,
         {},
         {folder}},
        {"dangling link shown where it lies",
         home.filePath(QStringLiteral("docs/link.json")),
         true,
         true,
         {QUrl::fromLocalFile(home.filePath(QStringLiteral("docs/link.json")))},
         {}},
        {"no path", QString(), true, false, {}, {}},
        // A captured path names a file where it was captured, not where this program started.
        {"relative path to an existing file",
         QDir::current().relativeFilePath(file.toLocalFile()),
         true,
         false,
         {},
         {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        shown.clear();
        opened.clear();
        fileManagerAnswers = c.fileManagerAnswers;
        AppLogLines log;
        EXPECT_EQ(desktop().revealFile(c.path), c.revealed);
        EXPECT_EQ(shown, c.shown);
        EXPECT_EQ(opened, c.opened);
        // What was asked is logged when nothing could be shown.
        EXPECT_EQ(log.lines,
                  c.revealed ? QStringList() : QStringList{QStringLiteral("Nothing could be shown for ") + c.path});
    }
}

TEST_F(XdgDesktopTest, ApplicationIconsComeFromDesktopEntries)
{
    for (const auto& [file, color] : {std::pair("red.png", Qt::red), std::pair("blue.png", Qt::blue)}) {
        QImage pixels(4, 4, QImage::Format_ARGB32);
        pixels.fill(color);
        ASSERT_TRUE(pixels.save(home.filePath(QString::fromUtf8(file))));
    }
    const auto entry = [](const QByteArray& name, const QByteArray& icon) {
        return "[Desktop Entry]\nType=Application\nExec=app\nName=" + name + "\nIcon=" + icon + "\n";
    };
    const QByteArray icons = home.path().toUtf8();
    write(system, QStringLiteral("applications/org.example.Notes.desktop"), entry("Notes", icons + "/red.png"));
    write(system, QStringLiteral("applications/sketch.desktop"), entry("Sketch", icons + "/blue.png"));
    write(system, QStringLiteral("applications/org.example.Plain.desktop"), entry("Plain", {}));
    write(system, QStringLiteral("applications/org.example.Moved.desktop"), entry("Moved", "/no/such/icon.png"));
    // Names outside any theme Qt can read (no index.theme): an SVG in hicolor, an image in pixmaps.
    write(system, QStringLiteral("icons/hicolor/scalable/apps/mini.term.svg"),
          "<svg xmlns='http://www.w3.org/2000/svg' width='48' height='48'><rect width='48' height='48' "
          "fill='#f00'/></svg>");
    write(system, QStringLiteral("applications/debian-term.desktop"), entry("Term", "mini.term"));
    QDir().mkpath(system.filePath(QStringLiteral("pixmaps")));
    QImage green(8, 8, QImage::Format_ARGB32);
    green.fill(Qt::green);
    ASSERT_TRUE(green.save(system.filePath(QStringLiteral("pixmaps/old.tool.png"))));
    write(system, QStringLiteral("applications/old-tool.desktop"), entry("Old Tool", "old.tool"));
    struct Case {
        std::optional<QString> bundleID;
        QString appName;
        std::optional<QColor> color;
    };
    const Case cases[] = {
        {QStringLiteral("org.example.Notes"), QStringLiteral("Sketch"), QColor(Qt::red)},
        {std::nullopt, QStringLiteral("Sketch"), QColor(Qt::blue)},
        {QStringLiteral("org.example.Plain"), QStringLiteral("Sketch"), QColor(Qt::blue)},
        {QStringLiteral("org.example.Moved"), QStringLiteral("Moved"), std::nullopt},
        {QStringLiteral("org.example.Unknown"), QStringLiteral("Unknown"), std::nullopt},
        {QStringLiteral("debian-term"), QStringLiteral("Term"), QColor(Qt::red)},
        {std::nullopt, QStringLiteral("Old Tool"), QColor(Qt::green)},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.bundleID.value_or(QStringLiteral("-")).toStdString() + " " + c.appName.toStdString());
        const QIcon icon = desktop().applicationIcon(c.bundleID, c.appName);
        EXPECT_EQ(icon.isNull() ? std::nullopt : std::optional(icon.pixmap(4).toImage().pixelColor(1, 1)), c.color);
    }
}

TEST_F(XdgDesktopTest, AppearanceFollowsTheOverrideThenThePortalThenTheGtkTheme)
{
    const auto announce = [](XdgDesktop& desktop, const char* key, uint scheme) {
        QMetaObject::invokeMethod(&desktop, "portalSettingChanged",
                                  Q_ARG(QString, QStringLiteral("org.freedesktop.appearance")),
                                  Q_ARG(QString, QString::fromUtf8(key)), Q_ARG(QDBusVariant, QDBusVariant(scheme)));
    };
    qputenv("GTK_THEME", "Adwaita:dark");
    qputenv("VELLICORD_APPEARANCE", "Light");
    XdgDesktop overridden = desktop();
    QSignalSpy overriddenChanges(&overridden, &Desktop::appearanceChanged);
    announce(overridden, "color-scheme", 1);
    EXPECT_EQ(overridden.appearance(), Appearance::light);
    EXPECT_EQ(overriddenChanges.count(), 0);

    qunsetenv("VELLICORD_APPEARANCE");
    XdgDesktop followed = desktop();
    announce(followed, "color-scheme", 2);
    QSignalSpy changes(&followed, &Desktop::appearanceChanged);
    struct Step {
        const char* key;
        uint scheme; // 0 no preference, 1 dark, 2 light
        Appearance appearance;
        int changes;
    };
    const Step steps[] = {
        {"color-scheme", 1, Appearance::dark, 1},  {"color-scheme", 1, Appearance::dark, 1},
        {"accent-color", 2, Appearance::dark, 1},  {"color-scheme", 0, Appearance::dark, 1},
        {"color-scheme", 2, Appearance::light, 2},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.key + std::to_string(step.scheme));
        announce(followed, step.key, step.scheme);
        EXPECT_EQ(followed.appearance(), step.appearance);
        EXPECT_EQ(changes.count(), step.changes);
    }
}

} // namespace
} // namespace vellicord
