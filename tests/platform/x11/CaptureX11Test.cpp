#include "core/capture/CaptureLog.h"
#include "core/capture/Clipboard.h"
#include "core/capture/SelectionCapture.h"
#include "platform/atspi/AtspiAccessibility.h"
#include "platform/qt/SystemClock.h"
#include "platform/x11/X11CaptureServices.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Pasteboard.h"
#include "platform/x11/X11Workspace.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QProcess>
#include <QStandardPaths>
#include <QStringEncoder>
#include <QTemporaryDir>
#include <QThread>

#include "support/OnWorker.h"
#include "support/OtherClipboardOwner.h"

#include <gtest/gtest.h>

#include <atomic>
#include <mutex>
#include <thread>

namespace vellicord {
namespace {

using test::onWorker;
using test::setClipboardWithXclip;
using namespace std::chrono_literals;

// Runs an X client to its end while serving the clipboard; its standard output.
QByteArray runClient(const QString& program, const QStringList& arguments, const QByteArray& input = {})
{
    QProcess process;
    process.start(program, arguments);
    if (!process.waitForStarted(5000))
        return {};
    if (!input.isNull()) {
        process.write(input);
        process.closeWriteChannel();
    }
    QElapsedTimer timer;
    timer.start();
    while (process.state() != QProcess::NotRunning && timer.elapsed() < 10000) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        process.waitForFinished(5);
    }
    return process.readAllStandardOutput();
}

QByteArray clipboardTarget(const QString& target)
{
    return runClient(QStringLiteral("xclip"),
                     {QStringLiteral("-selection"), QStringLiteral("clipboard"), QStringLiteral("-o"),
                      QStringLiteral("-t"), target});
}

QByteArray utf16(const QString& text)
{
    return QByteArray(reinterpret_cast<const char*>(text.utf16()), text.size() * 2);
}

// A test client, running until the test ends; ready when it has printed "ready".
class SelectionWindow {
public:
    explicit SelectionWindow(const QStringList& arguments,
                             const QString& program = QStringLiteral(SELECTION_WINDOW_PATH))
    {
        process.start(program, arguments);
        process.waitForStarted(5000);
        QElapsedTimer timer;
        timer.start();
        QByteArray output;
        while (!output.contains('\n') && timer.elapsed() < 5000) {
            process.waitForReadyRead(100);
            output += process.readAllStandardOutput();
        }
        if (output.startsWith("ready "))
            windowID = output.mid(6).trimmed().toUInt();
    }
    ~SelectionWindow()
    {
        process.kill();
        process.waitForFinished(2000);
    }
    qint64 pid() const { return process.processId(); }
    quint32 window() const { return windowID; }

private:
    QProcess process;
    quint32 windowID = 0;
};

class CaptureX11Test : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (!qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
            GTEST_SKIP() << "needs an X display";
    }
    void TearDown() override
    {
        // Leaves no xclip behind: it exits when it loses the clipboard.
        if (!IsSkipped())
            X11Pasteboard().write({});
    }
};

TEST_F(CaptureX11Test, SnapshotAndRestoreRoundTrips)
{
    X11Pasteboard pasteboard;
    QByteArray large(1'200'000, '\0');
    for (qsizetype i = 0; i < large.size(); ++i)
        large[i] = char((i * 7919) % 251);
    struct Case {
        const char* name;
        PasteboardItem item;
    };
    const Case cases[] = {
        {"several targets",
         {{QStringLiteral("UTF8_STRING"), QByteArray("caf\xc3\xa9 text")},
          {QStringLiteral("text/html"), QByteArray("<b>caf\xc3\xa9</b>")},
          {QStringLiteral("application/x-vellicord-test"), QByteArray("custom")}}},
        {"binary data with NUL bytes", {{QStringLiteral("application/octet-stream"), QByteArray("a\0b\0\0c", 6)}}},
        {"over 256 KiB, sent in increments", {{QStringLiteral("image/png"), large}}},
        {"a link copied in a browser",
         {{QStringLiteral("text/x-moz-url"), utf16("https://example.org/\u05e9\nExample \u05e9\u05dc\u05d5\u05dd")},
          {QStringLiteral("UTF8_STRING"), QByteArray("https://example.org/\xd7\xa9")},
          {QStringLiteral("text/html"), QByteArray("<a href=\"https://example.org/\">Example</a>")}}},
        {"UTF8_STRING and text/plain that differ",
         {{QStringLiteral("UTF8_STRING"), QByteArray("\xd0\x96")}, {QStringLiteral("text/plain"), QByteArray("?")}}},
        {"STRING alone, holding UTF-8", {{QStringLiteral("STRING"), QByteArray("\xd0\x96 \xe6\x97\xa5\xe6\x9c\xac")}}},
        {"each text target in its own encoding, as toolkits offer them",
         {{QStringLiteral("UTF8_STRING"), QByteArray("\xd0\x96 \xe0\xb8\xaa \xf0\x9f\x98\x80")},
          {QStringLiteral("COMPOUND_TEXT"), QByteArray("\x1b-L\xb6 \x1b%G\xe0\xb8\xaa \xf0\x9f\x98\x80\x1b%@")},
          {QStringLiteral("TEXT"), QByteArray("\x1b-L\xb6 \x1b%G\xe0\xb8\xaa \xf0\x9f\x98\x80\x1b%@")},
          {QStringLiteral("STRING"), QByteArray("\\u0416 \\u0e2a \\U0001f600")},
          {QStringLiteral("text/plain"), QByteArray("? ? ?")}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        // Written as the capture's thread writes, however late Qt is with the last owner's events.
        ASSERT_TRUE(onWorker([&] { return pasteboard.write({c.item}); }));
        const Clipboard::PasteboardSnapshot snapshot = onWorker([&] { return Clipboard::snapshot(pasteboard); });
        ASSERT_TRUE(snapshot.complete);
        ASSERT_EQ(snapshot.items.size(), 1);
        for (const auto& [target, bytes] : c.item) {
            const auto saved = std::find_if(snapshot.items[0].begin(), snapshot.items[0].end(),
                                            [&](const auto& entry) { return entry.first == target; });
            ASSERT_NE(saved, snapshot.items[0].end()) << target.toStdString();
            EXPECT_EQ(saved->second, bytes) << target.toStdString();
        }

        setClipboardWithXclip(pasteboard, QStringLiteral("UTF8_STRING"), "something else");
        EXPECT_EQ(clipboardTarget(QStringLiteral("UTF8_STRING")), "something else");

        EXPECT_TRUE(onWorker([&] { return Clipboard::restore(snapshot, pasteboard); }));
        for (const auto& [target, bytes] : c.item)
            EXPECT_EQ(clipboardTarget(target), bytes) << target.toStdString();
    }
}

TEST_F(CaptureX11Test, EmptyClipboardSnapshotsAndRestoresAsEmpty)
{
    X11Pasteboard pasteboard;
    ASSERT_TRUE(pasteboard.write({}));
    const Clipboard::PasteboardSnapshot snapshot = onWorker([&] { return Clipboard::snapshot(pasteboard); });
    EXPECT_TRUE(snapshot.complete);
    EXPECT_TRUE(snapshot.items.isEmpty());
    setClipboardWithXclip(pasteboard, QStringLiteral("UTF8_STRING"), "copied");
    EXPECT_TRUE(onWorker([&] { return Clipboard::restore(snapshot, pasteboard); }));
    EXPECT_EQ(onWorker([&] { return pasteboard.itemTargets(); }), QList<QStringList>{});
}

TEST_F(CaptureX11Test, OwnersThatDoNotTellAreUnreadableNotEmpty)
{
    // Neither may pass for an empty clipboard: the capture would copy over content it never saved.
    for (const char* option : {"--silent-clipboard", "--refuse-targets"}) {
        X11Pasteboard pasteboard;
        SelectionWindow window({QString::fromLatin1(option), QStringLiteral("--text"), QStringLiteral("kept")});
        QElapsedTimer timer;
        timer.start();
        const Clipboard::PasteboardSnapshot snapshot = onWorker([&] { return Clipboard::snapshot(pasteboard); });
        EXPECT_FALSE(snapshot.complete) << option;
        EXPECT_LT(timer.elapsed(), 2000) << option;
    }
}

TEST_F(CaptureX11Test, ChangeCountFollowsNewOwners)
{
    X11Pasteboard pasteboard;
    const qint64 before = pasteboard.changeCount();
    setClipboardWithXclip(pasteboard, QStringLiteral("UTF8_STRING"), "one", true);
    const qint64 afterOne = pasteboard.changeCount();
    EXPECT_GT(afterOne, before);
    ASSERT_TRUE(pasteboard.write({{{QStringLiteral("UTF8_STRING"), QByteArray("two")}}}));
    EXPECT_GT(pasteboard.changeCount(), afterOne);
}

// Qt claims the clipboard with the time of the last event it read, and the server refuses a claim
// older than its owner's. A write on the main thread never runs the event loop to catch up: after
// another client's claim that Qt has not read yet it fails, and says so. The capture thread's
// write is tried again at later turns of the loop, once Qt has read it.
TEST_F(CaptureX11Test, WritesAfterAnotherClientTookTheClipboard)
{
    struct Case {
        const char* name;
        bool loopTurned;
        bool fromCaptureThread;
        bool written;
    };
    const Case cases[] = {
        {"main thread, the loop turned since", true, false, true},
        {"main thread, Qt behind", false, false, false},
        {"capture thread, Qt behind", false, true, true},
    };
    X11Pasteboard pasteboard;
    const QByteArray ours = QStringLiteral("ของเรา हमारा שלנו 📋 ours").toUtf8();
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setClipboardWithXclip(pasteboard, QStringLiteral("UTF8_STRING"), "theirs", c.loopTurned);
        const QList<PasteboardItem> item{{{QStringLiteral("UTF8_STRING"), ours}}};
        bool written = false;
        if (c.fromCaptureThread) {
            std::atomic<bool> done{false};
            std::thread capture([&] {
                written = pasteboard.write(item);
                done = true;
            });
            // Its first try is made before Qt reads of the new owner: the loop runs again only now.
            QThread::msleep(100);
            while (!done)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
            capture.join();
        } else {
            written = pasteboard.write(item);
        }
        EXPECT_EQ(written, c.written);
        EXPECT_EQ(clipboardTarget(QStringLiteral("UTF8_STRING")), c.written ? ours : QByteArray("theirs"));
    }
}

TEST_F(CaptureX11Test, FrontmostApplicationIsTheActiveWindowsElseTheFocused)
{
    SelectionWindow first({QStringLiteral("--class"), QStringLiteral("first-window")});
    SelectionWindow second({QStringLiteral("--class"), QStringLiteral("second-window")});
    X11Workspace workspace;
    X11Connection x11;
    const xcb_atom_t active = x11.atom("_NET_ACTIVE_WINDOW");

    // No window manager: the input focus, which the second window took last.
    xcb_delete_property(x11.get(), x11.root(), active);
    x11.roundTrip();
    std::optional<RunningApplication> app = workspace.frontmostApplication();
    ASSERT_TRUE(app);
    EXPECT_EQ(app->pid, second.pid());
    EXPECT_EQ(app->localizedName, u"second-window");
    EXPECT_EQ(app->bundleIdentifier, std::nullopt);

    // A window manager names the active window, whatever has the focus.
    const quint32 firstWindow = first.window();
    xcb_change_property(x11.get(), XCB_PROP_MODE_REPLACE, x11.root(), active, XCB_ATOM_WINDOW, 32, 1, &firstWindow);
    x11.roundTrip();
    app = workspace.frontmostApplication();
    xcb_delete_property(x11.get(), x11.root(), active);
    x11.roundTrip();
    ASSERT_TRUE(app);
    EXPECT_EQ(app->pid, first.pid());
    EXPECT_EQ(app->localizedName, u"first-window");
}

class CaptureEndToEndX11Test : public CaptureX11Test {
protected:
    QTemporaryDir dataHome;
    SystemClock clock;
    X11CaptureServices desktop{clock};

    void SetUp() override
    {
        CaptureX11Test::SetUp();
        if (IsSkipped())
            return;
        // The test window's desktop entry, so that it has a name and an id like an installed application.
        QDir(dataHome.path()).mkpath(QStringLiteral("applications"));
        QFile entry(dataHome.path() + QStringLiteral("/applications/vellicord-test-editor.desktop"));
        ASSERT_TRUE(entry.open(QIODevice::WriteOnly));
        entry.write("[Desktop Entry]\nType=Application\nName=Test Editor\nName[de]=Testeditor\nExec=true\n"
                    "StartupWMClass=VellicordTestEditor\n");
        entry.close();
        qputenv("XDG_DATA_HOME", dataHome.path().toUtf8());
    }

    SelectionCapture::Outcome capture()
    {
        return onWorker([&] { return SelectionCapture(desktop.services()).capture(); });
    }
};

TEST_F(CaptureEndToEndX11Test, SelectedTextWithItsApplicationAndTheClipboardKept)
{
    setClipboardWithXclip(static_cast<X11Pasteboard&>(desktop.pasteboard()), QStringLiteral("UTF8_STRING"),
                          "the user's earlier bytes");
    SelectionWindow window({QStringLiteral("--text"), QStringLiteral("  selected in the window\n")});

    const SelectionCapture::Outcome outcome = capture();
    ASSERT_TRUE(std::holds_alternative<CaptureResult>(outcome))
        << std::get<CaptureError>(outcome).errorDescription().toStdString() << " "
        << std::get<CaptureError>(outcome).detail.toStdString();
    const CaptureResult& result = std::get<CaptureResult>(outcome);
    EXPECT_EQ(result.text, u"selected in the window");
    EXPECT_EQ(result.appName, u"Test Editor");
    EXPECT_EQ(result.bundleID, u"vellicord-test-editor");
    EXPECT_EQ(clipboardTarget(QStringLiteral("UTF8_STRING")), "the user's earlier bytes");

    // No key is left down after the synthetic copy.
    X11Connection x11;
    std::unique_ptr<xcb_query_keymap_reply_t, decltype(&std::free)> keymap(
        xcb_query_keymap_reply(x11.get(), xcb_query_keymap(x11.get()), nullptr), &std::free);
    ASSERT_TRUE(keymap);
    EXPECT_TRUE(std::all_of(std::begin(keymap->keys), std::end(keymap->keys), [](uint8_t bits) { return bits == 0; }));
}

TEST_F(CaptureEndToEndX11Test, HtmlOnlyCopyGivesMarkdown)
{
    setClipboardWithXclip(static_cast<X11Pasteboard&>(desktop.pasteboard()), QStringLiteral("UTF8_STRING"), "kept");
    SelectionWindow window(
        {QStringLiteral("--html"),
         QStringLiteral("<html><head><title>A  page</title></head><body><p><b>Bold</b> words</p></body></html>")});

    const SelectionCapture::Outcome outcome = capture();
    ASSERT_TRUE(std::holds_alternative<CaptureResult>(outcome));
    const CaptureResult& result = std::get<CaptureResult>(outcome);
    EXPECT_EQ(result.text, u"Bold words");
    EXPECT_EQ(result.sourceTitle, u"A page");
    EXPECT_EQ(result.markdown, u"**Bold** words");
    EXPECT_EQ(clipboardTarget(QStringLiteral("UTF8_STRING")), "kept");
}

TEST_F(CaptureEndToEndX11Test, CopiesInEachEncodingAreRead)
{
    const auto encoded = [](const char* encoding, const QString& text) {
        QStringEncoder encoder(encoding, QStringEncoder::Flag::WriteBom);
        return QByteArray(encoder(text));
    };
    const QByteArray cyrillicPage = encoded("windows-1251",
                                            u"<html><head><meta charset=\"windows-1251\"><title>"
                                            u"\u0422</title></head><p><b>\u0416\u0438\u0432</b> "
                                            u"\u0442\u0435\u043a\u0441\u0442</p></html>"_qs);
    struct Case {
        const char* name;
        PasteboardItem copy;
        const char16_t* text; // null: the capture fails, saying so
        const char16_t* markdown;
    };
    const Case cases[] = {
        {"COMPOUND_TEXT alone, as Xlib writes it",
         {{QStringLiteral("COMPOUND_TEXT"),
           QByteArray("\x1b-L\xb6 \x1b$(BF|K\\\x1b(B \x1b-A\xe9 \x1b%G\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d\x1b%@")}},
         u"\u0416 \u65e5\u672c \u00e9 \u05e9\u05dc\u05d5\u05dd",
         nullptr},
        {"UTF-16 with its byte-order mark",
         {{QStringLiteral("text/plain;charset=utf-16"),
           encoded("UTF-16", u"\u0928\u092e\u0938\u094d\u0924\u0947 \U0001f44b\U0001f3fd"_qs)}},
         u"\u0928\u092e\u0938\u094d\u0924\u0947 \U0001f44b\U0001f3fd",
         nullptr},
        {"text/plain naming no charset",
         {{QStringLiteral("text/plain"),
           QByteArray("\xe0\xb8\xaa\xe0\xb8\xa7\xe0\xb8\xb1\xe0\xb8\xaa\xe0\xb8\x94\xe0\xb8\xb5")}},
         u"\u0e2a\u0e27\u0e31\u0e2a\u0e14\u0e35",
         nullptr},
        {"HTML in windows-1251 alone",
         {{QStringLiteral("text/html"), cyrillicPage}},
         u"\u0416\u0438\u0432 \u0442\u0435\u043a\u0441\u0442",
         u"**\u0416\u0438\u0432** \u0442\u0435\u043a\u0441\u0442"},
        {"HTML in Shift_JIS alone",
         {{QStringLiteral("text/html"),
           encoded("Shift_JIS",
                   u"<meta http-equiv=\"Content-Type\" content=\"text/html; charset=Shift_JIS\">"
                   u"<p><i>\u65e5\u672c</i>\u8a9e</p>"_qs)}},
         u"\u65e5\u672c\u8a9e",
         u"*\u65e5\u672c*\u8a9e"},
        {"HTML in windows-1251 beside UTF-8 text",
         {{QStringLiteral("UTF8_STRING"),
           QByteArray("\xd0\x96\xd0\xb8\xd0\xb2 \xd1\x82\xd0\xb5\xd0\xba\xd1\x81\xd1\x82")},
          {QStringLiteral("text/html"), cyrillicPage}},
         u"\u0416\u0438\u0432 \u0442\u0435\u043a\u0441\u0442",
         u"**\u0416\u0438\u0432** \u0442\u0435\u043a\u0441\u0442"},
        {"a charset nobody knows",
         {{QStringLiteral("text/plain;charset=x-vellicord-unknown"), QByteArray("abc")}},
         nullptr,
         nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setClipboardWithXclip(desktop.pasteboard(), QStringLiteral("UTF8_STRING"), "kept");
        QStringList arguments;
        for (const auto& [target, bytes] : c.copy)
            arguments += {QStringLiteral("--offer"), target, QString::fromLatin1(bytes.toHex())};
        SelectionWindow window(arguments);

        const SelectionCapture::Outcome outcome = capture();
        if (c.text) {
            ASSERT_TRUE(std::holds_alternative<CaptureResult>(outcome))
                << std::get<CaptureError>(outcome).errorDescription().toStdString();
            EXPECT_EQ(std::get<CaptureResult>(outcome).text, QString::fromUtf16(c.text));
            EXPECT_EQ(std::get<CaptureResult>(outcome).markdown,
                      c.markdown ? std::optional(QString::fromUtf16(c.markdown)) : std::nullopt);
        } else {
            ASSERT_TRUE(std::holds_alternative<CaptureError>(outcome));
            EXPECT_EQ(std::get<CaptureError>(outcome).errorDescription(),
                      u"The frontmost application copied its selection in a format that could not be read.");
        }
        EXPECT_EQ(clipboardTarget(QStringLiteral("UTF8_STRING")), "kept");
    }
}

TEST_F(CaptureEndToEndX11Test, SelectionOfAnApplicationWithoutCopyComesFromPrimary)
{
    setClipboardWithXclip(static_cast<X11Pasteboard&>(desktop.pasteboard()), QStringLiteral("UTF8_STRING"),
                          "untouched");
    SelectionWindow window({QStringLiteral("--no-copy"), QStringLiteral("--text"), QStringLiteral("only in primary")});

    const SelectionCapture::Outcome outcome = capture();
    ASSERT_TRUE(std::holds_alternative<CaptureResult>(outcome));
    EXPECT_EQ(std::get<CaptureResult>(outcome).text, u"only in primary");
    EXPECT_EQ(clipboardTarget(QStringLiteral("UTF8_STRING")), "untouched");
}

TEST_F(CaptureEndToEndX11Test, AccessibilityInQtApplications)
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        GTEST_SKIP() << "needs a D-Bus session bus";
    struct Case {
        const char* name;
        const char* arguments; // split at "|"
        const char16_t* attribute; // what the focused element tells once the application is on the bus
        const char16_t* value;
        const char16_t* text; // null: no selection
    };
    const char16_t* spanned = u"paragraph.\nSecond paragraph.\nThird";
    const Case cases[] = {
        {"line edit, copied as well", "alpha beta gamma|6|4", u"AXSelectedText", u"beta", u"beta"},
        {"page whose selection spans its paragraphs, with no copy", "-|0|3|--page", u"AXSelectedText", spanned,
         spanned},
        {"password field", "secret words|0|6|--password", u"AXSubrole", u"AXSecureTextField", nullptr},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setClipboardWithXclip(static_cast<X11Pasteboard&>(desktop.pasteboard()), QStringLiteral("UTF8_STRING"), "kept");
        SelectionWindow editor(QString::fromUtf8(c.arguments).split(u'|'), QStringLiteral(ACCESSIBLE_EDITOR_PATH));

        // A new application joins the accessibility bus a moment after its window shows.
        AtspiAccessibility accessibility;
        std::optional<QString> told;
        QElapsedTimer timer;
        timer.start();
        while (told != c.value && timer.elapsed() < 5000) {
            if (const std::unique_ptr<AccessibilityElement> focused
                = accessibility.focusedElement(qint32(editor.pid()), std::chrono::steady_clock::now() + 1s))
                told = focused->stringAttribute(c.attribute);
            QThread::msleep(50);
        }
        EXPECT_EQ(told, c.value);

        const SelectionCapture::Outcome outcome = capture();
        ASSERT_EQ(std::holds_alternative<CaptureResult>(outcome), c.text != nullptr);
        if (c.text)
            EXPECT_EQ(std::get<CaptureResult>(outcome).text, c.text);
        else
            EXPECT_EQ(std::get<CaptureError>(outcome).kind, CaptureError::Kind::noSelection);
        EXPECT_EQ(clipboardTarget(QStringLiteral("UTF8_STRING")), "kept");
    }
}

// GTK (like Firefox) answers accessibility over a connection of its own, which libatspi hands to
// GLib's default context: the GUI thread's event loop, which runs all through a capture.
TEST_F(CaptureEndToEndX11Test, AccessibilityReadsOfAGtkApplicationWhileTheEventLoopRuns)
{
    const QString gtkBuilderTool = QStandardPaths::findExecutable(QStringLiteral("gtk-builder-tool"));
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS") || gtkBuilderTool.isEmpty())
        GTEST_SKIP() << "needs a D-Bus session bus and GTK's gtk-builder-tool";
    const QString text = QStringLiteral("selected in a GTK entry");
    QTemporaryDir folder;
    QFile ui(folder.filePath(QStringLiteral("entry.ui")));
    ASSERT_TRUE(ui.open(QIODevice::WriteOnly));
    // An entry that gets the focus selects its whole text.
    ui.write("<interface><object class=\"GtkWindow\"><child><object class=\"GtkEntry\"><property name=\"text\">"
             + text.toUtf8()
             + "</property><property name=\"has-focus\">True</property></object></child></object>"
               "</interface>");
    ui.close();
    QProcess gtk;
    gtk.start(gtkBuilderTool, {QStringLiteral("preview"), ui.fileName()});
    ASSERT_TRUE(gtk.waitForStarted(5000));
    const auto pid = qint32(gtk.processId());
    // With no window manager to activate it, the window gets the focus from us.
    const QString window
        = QString::fromUtf8(runClient(QStringLiteral("xdotool"),
                                      {QStringLiteral("search"), QStringLiteral("--sync"),
                                       QStringLiteral("--onlyvisible"), QStringLiteral("--pid"), QString::number(pid)})
                                .trimmed());
    runClient(QStringLiteral("xdotool"), {QStringLiteral("windowfocus"), QStringLiteral("--sync"), window});

    AtspiAccessibility accessibility;
    std::optional<QString> told;
    QElapsedTimer timer;
    timer.start();
    while (told != text && timer.elapsed() < 10000) {
        if (const std::unique_ptr<AccessibilityElement> focused
            = accessibility.focusedElement(pid, std::chrono::steady_clock::now() + 1s))
            told = focused->stringAttribute(u"AXSelectedText");
        QThread::msleep(50);
    }
    ASSERT_EQ(told, text);

    // The main thread turns its event loop as often as it can meanwhile.
    const int reads = 200;
    const int answered = onWorker(
        [&] {
            int selections = 0;
            for (int i = 0; i < reads; ++i) {
                const std::unique_ptr<AccessibilityElement> focused
                    = accessibility.focusedElement(pid, std::chrono::steady_clock::now() + 2s);
                selections += focused && focused->stringAttribute(u"AXSelectedText") == text;
            }
            return selections;
        },
        0);
    EXPECT_EQ(answered, reads);
}

// The desktop's last selection (PRIMARY) stands in for a selection the application did not tell,
// never for one it told is empty.
TEST_F(CaptureEndToEndX11Test, PrimaryStandsInOnlyForASelectionNotTold)
{
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS"))
        GTEST_SKIP() << "needs a D-Bus session bus";
    struct Case {
        const char* name;
        const char* arguments; // of the accessible editor, split at "|"
        std::optional<QString> told; // the focused element's selected text
        const char* primary;
        const char16_t* text; // null: no selection
    };
    const Case cases[] = {
        // The stale state: the editor tells it has nothing selected, and PRIMARY still holds "beta".
        {"highlight clicked away", "alpha beta gamma|6|4|--cleared", QString(), "beta", nullptr},
        // A busy browser: the page tells a selected range, its paragraphs not yet what of them is.
        {"page whose paragraphs tell no selection yet", "-|0|3|--page-untold", std::nullopt,
         "paragraph.\nSecond paragraph.\nThird", u"paragraph.\nSecond paragraph.\nThird"},
        // A page that does not say in time whether it is a password field is not read; a paragraph
        // that does not say in time whether it has text keeps its place.
        {"page whose role comes late", "-|0|3|--page|--slow-role", std::nullopt, "paragraph.\nSecond paragraph.\nThird",
         u"paragraph.\nSecond paragraph.\nThird"},
        {"paragraph whose interfaces come late", "-|0|3|--page|--slow-paragraph", u"paragraph.\uFFFCThird"_qs,
         "paragraph.\nSecond paragraph.\nThird", u"paragraph.\nSecond paragraph.\nThird"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setClipboardWithXclip(desktop.pasteboard(), QStringLiteral("UTF8_STRING"), "kept");
        SelectionWindow editor(QString::fromUtf8(c.arguments).split(u'|'), QStringLiteral(ACCESSIBLE_EDITOR_PATH));
        const auto pid = qint32(editor.pid());
        // A new application joins the accessibility bus a moment after its window shows.
        AtspiAccessibility accessibility;
        std::unique_ptr<AccessibilityElement> focused;
        QElapsedTimer timer;
        timer.start();
        while (!focused && timer.elapsed() < 5000) {
            focused = accessibility.focusedElement(pid, std::chrono::steady_clock::now() + 3s);
            QThread::msleep(50);
        }
        ASSERT_TRUE(focused);
        const auto primary
            = onWorker([&] { return accessibility.primarySelection(pid, std::chrono::steady_clock::now() + 1s); });
        ASSERT_TRUE(primary);
        ASSERT_EQ(primary->text, QString::fromUtf8(c.primary));
        EXPECT_EQ(focused->stringAttribute(u"AXSelectedText"), c.told);

        const SelectionCapture::Outcome outcome = capture();
        if (c.text) {
            ASSERT_TRUE(std::holds_alternative<CaptureResult>(outcome));
            EXPECT_EQ(std::get<CaptureResult>(outcome).text, c.text);
        } else {
            ASSERT_TRUE(std::holds_alternative<CaptureError>(outcome))
                << std::get<CaptureResult>(outcome).text.toStdString();
            EXPECT_EQ(std::get<CaptureError>(outcome).errorDescription(),
                      u"No text was selected in the frontmost application.");
        }
        EXPECT_EQ(clipboardTarget(QStringLiteral("UTF8_STRING")), "kept");
    }
}

TEST_F(CaptureEndToEndX11Test, SlowOwnersEndAtTheTimeLimitWithWhatArrived)
{
    const qsizetype increment = 64 * 1024;
    struct Case {
        const char* name;
        QStringList arguments;
        const char* text; // the whole text, or none for whole increments of letters
        const char* logged;
    };
    const Case cases[] = {
        // The copy never ends: the capture makes do with the whole selection it can read otherwise.
        {"copy sent in increments of ten bytes, one every 0.3 s",
         {QStringLiteral("--slow-increments"), QStringLiteral("--text"), QStringLiteral("slow text")},
         "slow text",
         "Capture: time limit of 4 s reached while the copy was read; what had not arrived is left out"},
        // A terminal that copies by selecting, asked for a very long selection: more than arrived
        // in the 1.5 s the selection once had on its own, and no "No text was selected".
        {"terminal's selection sent in increments of 64 KiB, one every 0.3 s",
         {QStringLiteral("--class"), QStringLiteral("xterm"), QStringLiteral("--slow-primary"),
          QStringLiteral("--text"), QStringLiteral("long")},
         nullptr,
         "Capture: time limit of 4 s reached while the selection was read; what had not arrived is left out"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setClipboardWithXclip(desktop.pasteboard(), QStringLiteral("UTF8_STRING"), "kept");
        SelectionWindow window(c.arguments);
        QStringList lines;
        std::mutex linesMutex;
        CaptureLog::setSink([&](CaptureLog::Channel, CaptureLog::Level, const QString& line) {
            std::lock_guard lock(linesMutex);
            lines.append(line);
        });
        QElapsedTimer timer;
        timer.start();
        const SelectionCapture::Outcome outcome = capture();
        const qint64 elapsed = timer.elapsed();
        CaptureLog::setSink(nullptr);

        EXPECT_LT(elapsed, SelectionCapture::timeLimit.count() + 1000);
        ASSERT_TRUE(std::holds_alternative<CaptureResult>(outcome))
            << std::get<CaptureError>(outcome).errorDescription().toStdString();
        const QString& text = std::get<CaptureResult>(outcome).text;
        if (c.text) {
            EXPECT_EQ(text, QString::fromUtf8(c.text));
        } else {
            EXPECT_EQ(text.size() % increment, 0) << text.size();
            EXPECT_GE(text.size(), 8 * increment) << text.size();
            EXPECT_TRUE(text.startsWith(u"abcdefghijklmnopqrstuvwxyzabc"));
        }
        EXPECT_TRUE(lines.contains(QString::fromUtf8(c.logged))) << lines.join(u'\n').toStdString();
        EXPECT_EQ(clipboardTarget(QStringLiteral("UTF8_STRING")), "kept");
    }
}

TEST_F(CaptureEndToEndX11Test, TerminalsGetTheirOwnCopyCommandOrNone)
{
    struct Case {
        const char* name;
        QStringList arguments;
        std::optional<QString> markdown; // present only when the copy command reached the window
    };
    const Case cases[] = {
        {"terminal that copies on Control-Shift-C",
         {QStringLiteral("--class"), QStringLiteral("kitty"), QStringLiteral("--copy-needs-shift")},
         QStringLiteral("**in terminal**")},
        {"terminal that copies by selecting alone", {QStringLiteral("--class"), QStringLiteral("xterm")}, std::nullopt},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        setClipboardWithXclip(static_cast<X11Pasteboard&>(desktop.pasteboard()), QStringLiteral("UTF8_STRING"), "kept");
        SelectionWindow window(c.arguments
                               + QStringList{QStringLiteral("--text"), QStringLiteral("in terminal"),
                                             QStringLiteral("--html"), QStringLiteral("<b>in terminal</b>")});
        const SelectionCapture::Outcome outcome = capture();
        ASSERT_TRUE(std::holds_alternative<CaptureResult>(outcome));
        EXPECT_EQ(std::get<CaptureResult>(outcome).text, u"in terminal");
        EXPECT_EQ(std::get<CaptureResult>(outcome).markdown, c.markdown);
        EXPECT_EQ(clipboardTarget(QStringLiteral("UTF8_STRING")), "kept");
    }
}

} // namespace
} // namespace vellicord
