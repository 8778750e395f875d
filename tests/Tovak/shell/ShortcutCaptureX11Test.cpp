// The whole application on an X server: its shortcut pressed over another client's selection ends
// in exactly one capture in the library file, with NumLock off and on; the launch capture reads the
// client that was in front.
#include "core/library/StorePersistence.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <QTest>

#include <gtest/gtest.h>

#include <csignal>

using namespace vellicord;

namespace {

void xdotool(const QStringList& arguments)
{
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    ASSERT_TRUE(tool.waitForFinished(5000));
    ASSERT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
}

// A client whose window has the focus and a selection; it copies on Control-C.
class SelectionWindow {
public:
    explicit SelectionWindow(const QString& text)
    {
        process.start(QStringLiteral(SELECTION_WINDOW_PATH), {QStringLiteral("--text"), text});
        QByteArray output;
        QElapsedTimer timer;
        timer.start();
        while (!output.contains('\n') && timer.elapsed() < 5000) {
            process.waitForReadyRead(100);
            output += process.readAllStandardOutput();
        }
        ready = output.startsWith("ready ");
        id = output.mid(6).trimmed();
    }
    ~SelectionWindow()
    {
        process.kill();
        process.waitForFinished(2000);
    }
    bool ready = false;
    QString id;

private:
    QProcess process;
};

QList<Selection> library(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    try {
        return StorePersistence::decode(file.readAll()).selections;
    } catch (...) {
        return {};
    }
}

// The application with its own folders in the temporary home, its output gathered.
void startApplication(QProcess& app, const QTemporaryDir& home, const QStringList& arguments, QByteArray& output)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* variable : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
        environment.insert(QString::fromLatin1(variable), home.filePath(QString::fromLatin1(variable)));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("com.ruvo.vellicord.*=true"));
    app.setProcessEnvironment(environment);
    app.setProcessChannelMode(QProcess::MergedChannels);
    QObject::connect(&app, &QProcess::readyRead, [&] { output += app.readAll(); });
    app.start(QStringLiteral(VELLICORD_BINARY), arguments);
}

} // namespace

TEST(ShortcutCapture, EachPressSavesOneCaptureAlsoWithNumLock)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        GTEST_SKIP() << "needs an X server";
    QTemporaryDir home;
    QProcess app;
    QByteArray output;
    startApplication(app, home, {}, output);
    ASSERT_TRUE(QTest::qWaitFor([&] { return output.contains("Registered hotkey"); }, 20000)) << output.toStdString();
    const QString libraryPath = home.filePath(QStringLiteral("XDG_DATA_HOME/Vellicord/Vellicord.json"));

    // Xvfb has no tray, so the main window opens at launch (with the welcome sheet over an empty
    // library); each may take the focus, and a press with Vellicord in front captures nothing.
    xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
             QStringLiteral("--name"), QStringLiteral("^Vellicord$")});

    const QStringList texts
        = {QStringLiteral("first passage from a real client"), QStringLiteral("second passage, NumLock on")};
    for (int i = 0; i < texts.size(); ++i) {
        SelectionWindow window(texts[i]);
        ASSERT_TRUE(window.ready);
        QThread::msleep(200);
        xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), window.id});
        const bool numLock = i == 1;
        if (numLock)
            xdotool({QStringLiteral("key"), QStringLiteral("Num_Lock")});
        xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+super+c")});
        if (numLock)
            xdotool({QStringLiteral("key"), QStringLiteral("Num_Lock")});
        const bool saved = QTest::qWaitFor([&] { return library(libraryPath).size() == i + 1; }, 10000);
        QFile log(home.filePath(QStringLiteral("XDG_STATE_HOME/Vellicord/vellicord.log")));
        log.open(QIODevice::ReadOnly);
        ASSERT_TRUE(saved) << texts[i].toStdString() << "\n" << output.toStdString() << log.readAll().toStdString();
        // Exactly one: nothing more arrives later.
        QThread::msleep(600);
        const QList<Selection> selections = library(libraryPath);
        ASSERT_EQ(selections.size(), i + 1);
        EXPECT_EQ(selections.first().text, texts[i]);
    }

    ::kill(pid_t(app.processId()), SIGTERM);
    ASSERT_TRUE(app.waitForFinished(10000));
    EXPECT_EQ(app.exitCode(), 0);
    EXPECT_EQ(library(libraryPath).size(), 2);
}

TEST(ShortcutCapture, LaunchCaptureWithoutATrayReadsTheApplicationInFront)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        GTEST_SKIP() << "needs an X server";
    const QString text = QStringLiteral("selected before the launch");
    SelectionWindow window(text);
    ASSERT_TRUE(window.ready);
    QTemporaryDir home;
    QProcess app;
    QByteArray output;
    // Xvfb has no tray: the main window would open at launch and take the focus.
    startApplication(app, home, {QStringLiteral("-captureOnLaunch")}, output);
    const QString libraryPath = home.filePath(QStringLiteral("XDG_DATA_HOME/Vellicord/Vellicord.json"));
    const bool saved = QTest::qWaitFor([&] { return library(libraryPath).size() == 1; }, 10000);
    ASSERT_TRUE(saved) << output.toStdString();
    EXPECT_EQ(library(libraryPath).first().text, text);
    // The window is the way in, once the capture has run.
    xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
             QStringLiteral("--name"), QStringLiteral("^Vellicord$")});
    ::kill(pid_t(app.processId()), SIGTERM);
    ASSERT_TRUE(app.waitForFinished(10000));
    EXPECT_EQ(app.exitCode(), 0);
}
