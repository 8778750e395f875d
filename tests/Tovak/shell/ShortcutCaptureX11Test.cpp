// The whole application on an X server: its shortcut pressed over another client's selection ends
// in exactly one capture in the library file, with NumLock off and on, and after the user left a
// busy Vellicord for the client, which keeps the keyboard; nothing of a password field
// inside a page's selection is saved; the launch capture reads the client that was in front; the
// clipboard put back after a capture outlives the application.
#include "QtPrinters.h"
#include "core/library/StorePersistence.h"
#include "platform/atspi/AtspiAccessibility.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Pasteboard.h"
#include "support/KeyboardFocus.h"
#include "support/OnWorker.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <QTest>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <optional>

using namespace vellicord;
using namespace std::chrono_literals;
using test::onWorker;

namespace {

QString xdotool(const QStringList& arguments)
{
    QProcess tool;
    tool.start(QStringLiteral("xdotool"), arguments);
    EXPECT_TRUE(tool.waitForFinished(5000) && tool.exitCode() == 0)
        << arguments.join(u' ').toStdString() << ": " << tool.readAllStandardError().toStdString();
    return QString::fromUtf8(tool.readAllStandardOutput()).trimmed();
}

// Xvfb has no tray, so the program opens its window at launch, with the welcome sheet over an
// empty library; the launch is over once the sheet has the keyboard. A client focused before that
// would lose the keyboard to it, and the shortcut would capture from Vellicord.
void awaitLaunch(const QByteArray& output)
{
    ASSERT_TRUE(QTest::qWaitFor([&] { return output.contains("Registered hotkey"); }, 20000)) << output.toStdString();
    const QString sheet = xdotool({QStringLiteral("search"), QStringLiteral("--sync"), QStringLiteral("--onlyvisible"),
                                   QStringLiteral("--name"), QStringLiteral("^Welcome to Vellicord$")});
    ASSERT_TRUE(test::awaitKeyboard(sheet)) << output.toStdString();
}

// A client whose window has the focus and a selection; it copies on Control-C.
class SelectionWindow {
public:
    explicit SelectionWindow(const QString& text)
        : SelectionWindow(QStringList{QStringLiteral("--text"), text})
    {
    }
    explicit SelectionWindow(const QStringList& arguments,
                             const QString& program = QStringLiteral(SELECTION_WINDOW_PATH))
    {
        process.start(program, arguments);
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
    qint64 pid() const { return process.processId(); }
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
        return StorePersistence::decode(file.readAll()).selections.toList();
    } catch (...) {
        return {};
    }
}

QByteArray clipboardTarget(const QString& target)
{
    QProcess xclip;
    xclip.start(QStringLiteral("xclip"),
                {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-o"), QStringLiteral("-t"),
                 target});
    xclip.waitForFinished(5000);
    return xclip.readAllStandardOutput();
}

// The process that serves the clipboard now, by its window.
qint64 clipboardOwnerPid()
{
    X11Connection x11;
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(x11.get(), xcb_get_selection_owner(x11.get(), x11.atom("CLIPBOARD")), nullptr),
        &std::free);
    return owner ? x11.windowPid(owner->owner).value_or(0) : 0;
}

bool processRuns(qint64 pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly))
        return false;
    const QByteArray line = stat.readAll();
    const qsizetype state = line.lastIndexOf(')') + 2;
    return state < line.size() && line.at(state) != 'Z';
}

// The application with its own folders in the temporary home, its output gathered.
void startApplication(QProcess& app, const QTemporaryDir& home, const QStringList& arguments, QByteArray& output)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    for (const char* variable : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
        environment.insert(QString::fromLatin1(variable), home.filePath(QString::fromLatin1(variable)));
    // A runtime folder that is missing sends the program to the shared one in /tmp, where another
    // test's copy may answer for it.
    QDir().mkpath(home.filePath(QStringLiteral("XDG_RUNTIME_DIR")));
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
    ASSERT_NO_FATAL_FAILURE(awaitLaunch(output));
    const QString libraryPath = home.filePath(QStringLiteral("XDG_DATA_HOME/Vellicord/Vellicord.json"));

    const QStringList texts
        = {QStringLiteral("first passage from a real client"), QStringLiteral("second passage, NumLock on"),
           QStringLiteral("third passage, after leaving a busy Vellicord")};
    for (int i = 0; i < texts.size(); ++i) {
        const bool numLock = i == 1;
        // The user clicks Vellicord's window and moves on to the client while Vellicord is too busy
        // to read that its window had the keyboard for a moment.
        const bool busy = i == 2;
        if (busy) {
            ::kill(pid_t(app.processId()), SIGSTOP);
            xdotool({QStringLiteral("search"), QStringLiteral("--onlyvisible"), QStringLiteral("--name"),
                     QStringLiteral("^Vellicord$"), QStringLiteral("windowfocus"), QStringLiteral("--sync")});
        }
        SelectionWindow window(texts[i]);
        if (busy)
            ::kill(pid_t(app.processId()), SIGCONT);
        ASSERT_TRUE(window.ready);
        ASSERT_TRUE(test::awaitKeyboard(window.id));
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
        EXPECT_EQ(test::keyboardWindow(), window.id) << "the client keeps the keyboard: " << texts[i].toStdString();
    }

    ::kill(pid_t(app.processId()), SIGTERM);
    ASSERT_TRUE(app.waitForFinished(10000));
    EXPECT_EQ(app.exitCode(), 0);
    EXPECT_EQ(library(libraryPath).size(), texts.size());
}

TEST(ShortcutCapture, NothingOfAPasswordFieldInsideASelectionIsSaved)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY") || qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        GTEST_SKIP() << "needs an X server and a D-Bus session bus";
    struct Case {
        const char* name;
        const char* arguments; // of the accessible editor, split at "|"
        const char16_t* saved; // null: nothing
    };
    const Case cases[] = {
        {"Control-A on a page holding a login form", "-|0|3|--login", u"User alice\nPassword \nPlain text."},
        {"Control-A in the page's password field", "-|1|1|--login-field", nullptr},
    };
    QTemporaryDir home;
    QProcess app;
    QByteArray output;
    startApplication(app, home, {}, output);
    ASSERT_NO_FATAL_FAILURE(awaitLaunch(output));
    const QString libraryPath = home.filePath(QStringLiteral("XDG_DATA_HOME/Vellicord/Vellicord.json"));
    qsizetype saved = 0;
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SelectionWindow editor(QString::fromUtf8(c.arguments).split(u'|'), QStringLiteral(ACCESSIBLE_EDITOR_PATH));
        ASSERT_TRUE(editor.ready);
        // A new application joins the accessibility bus a moment after its window shows.
        AtspiAccessibility accessibility;
        ASSERT_TRUE(QTest::qWaitFor(
            [&] {
                const std::unique_ptr<AccessibilityElement> focused
                    = accessibility.focusedElement(qint32(editor.pid()), std::chrono::steady_clock::now() + 1s);
                return focused && focused->stringAttribute(u"AXSubrole") != u"AXSecureTextField"
                    && focused->stringAttribute(u"AXSelectedText");
            },
            5000));
        const qsizetype failures = output.count("Capture failed in");
        xdotool({QStringLiteral("windowfocus"), QStringLiteral("--sync"), editor.id});
        ASSERT_TRUE(test::awaitKeyboard(editor.id));
        xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+super+c")});
        if (c.saved) {
            ASSERT_TRUE(QTest::qWaitFor([&] { return library(libraryPath).size() == saved + 1; }, 10000))
                << output.toStdString();
            EXPECT_EQ(library(libraryPath).first().text.toString().toStdString(),
                      QString::fromUtf16(c.saved).toStdString());
            ++saved;
        } else {
            EXPECT_TRUE(QTest::qWaitFor([&] { return output.count("Capture failed in") > failures; }, 10000))
                << output.toStdString();
            EXPECT_EQ(library(libraryPath).size(), saved);
        }
    }
    ::kill(pid_t(app.processId()), SIGTERM);
    ASSERT_TRUE(app.waitForFinished(10000));
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

TEST(ShortcutCapture, RestoredClipboardOutlivesTheApplication)
{
    if (qEnvironmentVariableIsEmpty("DISPLAY"))
        GTEST_SKIP() << "needs an X server";
    struct Case {
        const char* name;
        bool manager;
        const char* logLine;
    };
    const Case cases[] = {
        {"no clipboard manager: our keeper serves it", false, "Clipboard kept after exit by vellicord-clipboard"},
        {"a clipboard manager takes it", true, "Clipboard left to the clipboard manager"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        std::optional<SelectionWindow> manager;
        if (c.manager) {
            manager.emplace(QStringList{QStringLiteral("--clipboard-manager")});
            ASSERT_TRUE(manager->ready);
        }
        X11Pasteboard pasteboard;
        const QByteArray text("what the user copied earlier");
        const QByteArray binary("\0\x01\xfe binary \0\xff", 13);
        // Written as the capture's thread writes: at the turns of the event loop Qt needs to read of
        // the clipboard's last owner, which this test's main thread gives it only there.
        ASSERT_TRUE(onWorker([&] {
            return pasteboard.write(
                {{{QStringLiteral("UTF8_STRING"), text}, {QStringLiteral("application/x-vellicord-test"), binary}}});
        }));

        QTemporaryDir home;
        QProcess app;
        QByteArray output;
        startApplication(app, home, {}, output);
        ASSERT_NO_FATAL_FAILURE(awaitLaunch(output));
        {
            SelectionWindow window(QStringLiteral("a passage copied on Control-C"));
            ASSERT_TRUE(window.ready);
            ASSERT_TRUE(test::awaitKeyboard(window.id));
            xdotool({QStringLiteral("key"), QStringLiteral("ctrl+alt+super+c")});
            const QString libraryPath = home.filePath(QStringLiteral("XDG_DATA_HOME/Vellicord/Vellicord.json"));
            // The test serves its clipboard to the capture's snapshot while it waits.
            ASSERT_TRUE(QTest::qWaitFor([&] { return library(libraryPath).size() == 1; }, 10000))
                << output.toStdString();
        }
        ASSERT_NE(clipboardOwnerPid(), QCoreApplication::applicationPid());

        ::kill(pid_t(app.processId()), SIGTERM);
        ASSERT_TRUE(app.waitForFinished(10000));
        EXPECT_EQ(app.exitCode(), 0);
        EXPECT_EQ(clipboardTarget(QStringLiteral("UTF8_STRING")), text);
        EXPECT_EQ(clipboardTarget(QStringLiteral("application/x-vellicord-test")), binary);
        QFile log(home.filePath(QStringLiteral("XDG_STATE_HOME/Vellicord/vellicord.log")));
        ASSERT_TRUE(log.open(QIODevice::ReadOnly));
        EXPECT_TRUE(log.readAll().contains(c.logLine));

        const qint64 server = clipboardOwnerPid();
        ASSERT_GT(server, 0);
        if (c.manager) {
            EXPECT_EQ(server, manager->pid());
        } else {
            // The keeper ends as soon as another client owns the clipboard.
            EXPECT_TRUE(processRuns(server));
            ASSERT_TRUE(onWorker([&] {
                return pasteboard.write({{{QStringLiteral("UTF8_STRING"), QByteArray("copied later")}}});
            }));
            EXPECT_TRUE(QTest::qWaitFor([&] { return !processRuns(server); }, 5000));
            EXPECT_EQ(clipboardOwnerPid(), QCoreApplication::applicationPid());
        }
        pasteboard.write({});
    }
}
