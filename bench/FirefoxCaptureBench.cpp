// From a press of the global shortcut to the capture in the library, captured from Firefox (ESR)
// like a user does it: a local page served over http by this program, a paragraph selected by a
// triple click, then the shortcut. The application's own objects (shortcut, delegate, capture,
// store) over the real desktop services: the copy command and the clipboard over X11, the page's
// address and the selection over AT-SPI.
//
// Prints the median and worst of 20 captures, and where a capture's time goes: from the press to
// the capture's start, each kind of call to the accessibility interface (each an AT-SPI call or a
// few), the copy command, the waits for the copy, the clipboard's reads and writes, and from the
// capture's end to the library. Measured as it is, and with the clipboard held by an owner that
// never answers (so that the capture sends no copy and reads the selection over AT-SPI alone) on a
// machine made busy by 24 processes that spin, with the machine's load beside the figures.
//
// Installs nothing: without Firefox it says so and ends. Needs an X server and a D-Bus session with
// the accessibility bus (at-spi2-core): without them it runs itself under dbus-run-session and
// xvfb-run.
#include "bench/CaptureApplication.h"
#include "bench/MachineLoad.h"
#include "bench/X11BenchMain.h"
#include "platform/Accessibility.h"
#include "platform/KeyEvents.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <map>
#include <mutex>
#include <vector>

#include <unistd.h>

// Xlib's macros (None, Bool) clash with Qt's names: after every Qt header.
#include "bench/PressShortcut.h"

#include <X11/Xatom.h>

namespace {

using namespace vellicord;
using Steady = std::chrono::steady_clock;

constexpr int captures = 20;

const QString paragraph = QStringLiteral(
    "The committee's report on the regional water supply describes how the reservoirs were planned, how demand "
    "grew faster than the original estimates, and why the second pumping station was delayed by almost four years. "
    "It draws on the published review, interviews with engineers and the minutes of forty-two public meetings held "
    "between 2012 and 2018, and it ends with the recommendations that the regional authority accepted in full.");

double millisecondsSince(Steady::time_point start)
{
    return std::chrono::duration<double, std::milli>(Steady::now() - start).count();
}

// The time spent in each kind of call, for the capture under way and for all captures.
class CallTimes {
public:
    void add(const QString& kind, double ms)
    {
        std::lock_guard lock(mutex_);
        Sum& sum = current_[kind];
        sum.ms += ms;
        ++sum.calls;
    }
    // Forgets what was counted since the last capture ended.
    void discard()
    {
        std::lock_guard lock(mutex_);
        current_.clear();
    }
    // Ends one capture's account.
    void endCapture()
    {
        std::lock_guard lock(mutex_);
        for (const auto& [kind, sum] : current_)
            captures_[kind].push_back(sum);
        current_.clear();
        ++count_;
    }
    void print(const char* title) const
    {
        std::printf("%s (per capture, over %d captures: calls, median and worst of their total ms)\n", title, count_);
        for (const auto& [kind, sums] : captures_) {
            std::vector<double> ms;
            double calls = 0;
            for (const Sum& sum : sums) {
                ms.push_back(sum.ms);
                calls += sum.calls;
            }
            ms.resize(size_t(count_), 0.0);
            std::sort(ms.begin(), ms.end());
            std::printf("  %-44s %6.1f calls %9.1f ms median %9.1f ms worst\n", qPrintable(kind),
                        calls / std::max(count_, 1), ms[ms.size() / 2], ms.back());
        }
    }

private:
    struct Sum {
        double ms = 0;
        int calls = 0;
    };
    mutable std::mutex mutex_;
    std::map<QString, Sum> current_;
    std::map<QString, std::vector<Sum>> captures_;
    int count_ = 0;
};

template<typename Call> auto timed(CallTimes& times, const QString& kind, Call&& call)
{
    const auto start = Steady::now();
    auto result = call();
    times.add(kind, millisecondsSince(start));
    return result;
}

class TimedElement final : public AccessibilityElement {
public:
    TimedElement(std::unique_ptr<AccessibilityElement> element, CallTimes& times)
        : element_(std::move(element))
        , times_(times)
    {
    }
    std::optional<QString> stringAttribute(QStringView name) override
    {
        return timed(times_, QStringLiteral("accessibility: attribute ") + name.toString(),
                     [&] { return element_->stringAttribute(name); });
    }
    std::unique_ptr<AccessibilityElement> parent() override
    {
        std::unique_ptr<AccessibilityElement> up
            = timed(times_, QStringLiteral("accessibility: parent"), [&] { return element_->parent(); });
        return up ? std::make_unique<TimedElement>(std::move(up), times_) : nullptr;
    }

private:
    std::unique_ptr<AccessibilityElement> element_;
    CallTimes& times_;
};

class TimedAccessibility final : public Accessibility {
public:
    TimedAccessibility(Accessibility& real, CallTimes& times)
        : real_(real)
        , times_(times)
    {
    }
    bool isProcessTrusted() override
    {
        return timed(times_, QStringLiteral("accessibility: trusted"), [&] { return real_.isProcessTrusted(); });
    }
    std::unique_ptr<AccessibilityElement> focusedElement(qint32 pid, Steady::time_point deadline) override
    {
        std::unique_ptr<AccessibilityElement> element = timed(times_, QStringLiteral("accessibility: focused element"),
                                                              [&] { return real_.focusedElement(pid, deadline); });
        return element ? std::make_unique<TimedElement>(std::move(element), times_) : nullptr;
    }
    std::optional<SelectionText> primarySelection(qint32 pid, Steady::time_point end) override
    {
        return timed(times_, QStringLiteral("accessibility: PRIMARY"),
                     [&] { return real_.primarySelection(pid, end); });
    }

private:
    Accessibility& real_;
    CallTimes& times_;
};

class TimedPasteboard final : public Pasteboard {
public:
    TimedPasteboard(Pasteboard& real, CallTimes& times)
        : real_(real)
        , times_(times)
    {
    }
    qint64 changeCount() override
    {
        return timed(times_, QStringLiteral("clipboard: change count"), [&] { return real_.changeCount(); });
    }
    std::optional<QList<QStringList>> itemTargets() override
    {
        return timed(times_, QStringLiteral("clipboard: formats"), [&] { return real_.itemTargets(); });
    }
    PasteboardData data(int item, const QString& target) override
    {
        return timed(times_, QStringLiteral("clipboard: read for the snapshot"),
                     [&] { return real_.data(item, target); });
    }
    PasteboardData dataForType(PasteboardType type) override
    {
        return timed(times_, QStringLiteral("clipboard: read of the copy"), [&] { return real_.dataForType(type); });
    }
    bool write(const QList<PasteboardItem>& items) override
    {
        return timed(times_, QStringLiteral("clipboard: restore"), [&] { return real_.write(items); });
    }
    void limitReads(std::optional<Steady::time_point> end) override { real_.limitReads(end); }

private:
    Pasteboard& real_;
    CallTimes& times_;
};

class TimedKeyEvents final : public KeyEvents {
public:
    TimedKeyEvents(KeyEvents& real, CallTimes& times)
        : real_(real)
        , times_(times)
    {
    }
    bool postCopyCommand(const std::optional<QString>& bundleIdentifier) override
    {
        return timed(times_, QStringLiteral("copy command (keys down and up)"),
                     [&] { return real_.postCopyCommand(bundleIdentifier); });
    }

private:
    KeyEvents& real_;
    CallTimes& times_;
};

// The capture's clock: its pauses are the waits for the copy to reach the clipboard.
class TimedClock final : public Clock {
public:
    TimedClock(Clock& real, CallTimes& times)
        : real_(real)
        , times_(times)
    {
    }
    QDateTime now() const override { return real_.now(); }
    TimePoint steadyNow() const override { return real_.steadyNow(); }
    void sleep(std::chrono::milliseconds duration) override
    {
        const auto start = Steady::now();
        real_.sleep(duration);
        times_.add(QStringLiteral("waits (for the copy, between polls)"), millisecondsSince(start));
    }

private:
    Clock& real_;
    CallTimes& times_;
};

// The page, served to whoever asks, over http.
class PageServer {
public:
    PageServer()
    {
        QObject::connect(&server_, &QTcpServer::newConnection, [this] {
            while (QTcpSocket* socket = server_.nextPendingConnection()) {
                QObject::connect(socket, &QTcpSocket::readyRead, socket, [this, socket] {
                    if (!socket->readAll().contains("\r\n\r\n"))
                        return;
                    socket->write(response());
                    socket->disconnectFromHost();
                    ++requests;
                });
                QObject::connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
            }
        });
        server_.listen(QHostAddress::LocalHost);
    }
    QString address() const { return QStringLiteral("http://127.0.0.1:%1/article.html").arg(server_.serverPort()); }
    int requests = 0;

private:
    // An article: the paragraph to select first, large enough to be hit below any toolbar, then the
    // rest of a long page, so that the accessibility tree has the size of a real one.
    static QByteArray response()
    {
        QByteArray body = "<!DOCTYPE html><html><head><meta charset=\"utf-8\"><title>Regional water supply</title>"
                          "<style>body{margin:0;padding:24px 40px;font:18px/1.5 sans-serif} p.lead{font-size:40px}"
                          "</style></head><body><h1>Regional water supply</h1><p class=\"lead\">"
            + paragraph.toUtf8() + "</p>";
        for (int i = 1; i <= 300; ++i) {
            body += "<h2>Part " + QByteArray::number(i)
                + "</h2><p>Several <i>competing proposals</i> were considered, "
                  "a desalination plant, a pipeline from the <a href=\"/north\">northern catchment</a> and stricter "
                  "limits on agricultural use, and each is discussed below with its cost, its expected yield in dry "
                  "years and the objections raised during consultation.</p><ul><li>Capacity: 48 million cubic "
                  "metres</li><li>Losses: 18 percent</li></ul>";
        }
        body += "</body></html>";
        return "HTTP/1.1 200 OK\r\nContent-Type: text/html; charset=utf-8\r\nContent-Length: "
            + QByteArray::number(body.size()) + "\r\nConnection: close\r\n\r\n" + body;
    }

    QTcpServer server_;
};

QString firefoxProgram()
{
    for (const char* name : {"firefox-esr", "firefox"}) {
        const QString path = QStandardPaths::findExecutable(QString::fromLatin1(name));
        if (!path.isEmpty())
            return path;
    }
    return {};
}

// A fresh profile: no first-run pages, no default-browser question, no updates.
void writeProfile(const QString& folder)
{
    QFile prefs(folder + QStringLiteral("/user.js"));
    prefs.open(QIODevice::WriteOnly);
    prefs.write("user_pref(\"browser.shell.checkDefaultBrowser\", false);\n"
                "user_pref(\"browser.startup.homepage_override.mstone\", \"ignore\");\n"
                "user_pref(\"browser.aboutwelcome.enabled\", false);\n"
                "user_pref(\"datareporting.policy.dataSubmissionEnabled\", false);\n"
                "user_pref(\"toolkit.telemetry.reportingpolicy.firstRun\", false);\n"
                "user_pref(\"app.update.auto\", false);\n"
                "user_pref(\"browser.sessionstore.resume_from_crash\", false);\n"
                "user_pref(\"browser.tabs.warnOnClose\", false);\n");
}

// Firefox's top-level window: mapped, of its process.
Window windowOf(Display* display, qint64 pid)
{
    const Atom pidAtom = XInternAtom(display, "_NET_WM_PID", False);
    Window root = DefaultRootWindow(display);
    Window parent = 0;
    Window* children = nullptr;
    unsigned count = 0;
    Window found = 0;
    if (!XQueryTree(display, root, &root, &parent, &children, &count))
        return 0;
    for (unsigned i = 0; i < count && !found; ++i) {
        XWindowAttributes attributes;
        if (!XGetWindowAttributes(display, children[i], &attributes) || attributes.map_state != IsViewable
            || attributes.width < 200)
            continue;
        Atom type = 0;
        int format = 0;
        unsigned long items = 0;
        unsigned long left = 0;
        unsigned char* value = nullptr;
        if (XGetWindowProperty(display, children[i], pidAtom, 0, 1, False, XA_CARDINAL, &type, &format, &items, &left,
                               &value)
                == Success
            && value && items == 1 && qint64(*reinterpret_cast<unsigned long*>(value)) == pid)
            found = children[i];
        if (value)
            XFree(value);
    }
    if (children)
        XFree(children);
    return found;
}

// What a window manager does for the window it activates: the keyboard focus, and the name of the
// active window on the root.
void activate(Display* display, Window window)
{
    XSetInputFocus(display, window, RevertToParent, CurrentTime);
    const Atom active = XInternAtom(display, "_NET_ACTIVE_WINDOW", False);
    XChangeProperty(display, DefaultRootWindow(display), active, XA_WINDOW, 32, PropModeReplace,
                    reinterpret_cast<unsigned char*>(&window), 1);
    XFlush(display);
}

// A triple click a third of the way down the window: the page's first paragraph is selected.
void tripleClick(Display* display, Window window)
{
    XWindowAttributes attributes;
    XGetWindowAttributes(display, window, &attributes);
    int x = 0;
    int y = 0;
    Window child = 0;
    XTranslateCoordinates(display, window, DefaultRootWindow(display), attributes.width / 2, attributes.height / 3, &x,
                          &y, &child);
    XTestFakeMotionEvent(display, -1, x, y, CurrentTime);
    for (int click = 0; click < 3; ++click) {
        XTestFakeButtonEvent(display, 1, True, CurrentTime);
        XTestFakeButtonEvent(display, 1, False, CurrentTime);
        XFlush(display);
        bench::spin(40);
    }
}

// The page's document on the accessibility bus, once Firefox has made it: then it is loaded.
bool pageIsAccessible(Accessibility& accessibility, qint32 pid, const QString& address)
{
    std::unique_ptr<AccessibilityElement> element
        = accessibility.focusedElement(pid, Steady::now() + std::chrono::seconds(1));
    for (int i = 0; element && i < SelectionCapture::maxAXElements; ++i) {
        if (element->stringAttribute(u"AXURL") == address)
            return true;
        element = element->parent();
    }
    return false;
}

// Arguments: whether the clipboard's owner never answers, and how many processes keep the machine
// busy during the captures.
void ShortcutPressToCaptureFromFirefox(benchmark::State& state)
{
    const QString firefox = firefoxProgram();
    if (firefox.isEmpty()) {
        state.SkipWithError("Firefox is not installed (firefox-esr or firefox): nothing to measure");
        return;
    }
    QTemporaryDir profile;
    writeProfile(profile.path());
    PageServer page;

    bench::CaptureApplication app;
    const CaptureServices real = app.desktopServices.services();
    CallTimes times;
    // When the shortcut was pressed and when the capture ended, for the time around the capture.
    std::atomic<Steady::time_point> pressed{};
    std::atomic<Steady::time_point> captured{};
    TimedAccessibility accessibility(real.accessibility, times);
    TimedPasteboard pasteboard(real.pasteboard, times);
    TimedKeyEvents keyEvents(real.keyEvents, times);
    TimedClock captureClock(real.clock, times);
    const CaptureServices timedServices{.pasteboard = pasteboard,
                                        .workspace = real.workspace,
                                        .accessibility = accessibility,
                                        .keyEvents = keyEvents,
                                        .processRunner = real.processRunner,
                                        .clock = captureClock};
    app.capture = [&] {
        times.add(QStringLiteral("shortcut press to the capture's start"), millisecondsSince(pressed));
        SelectionCapture::Outcome outcome = SelectionCapture(timedServices).capture();
        captured = Steady::now();
        return outcome;
    };
    Display* display = XOpenDisplay(nullptr);
    if (!display || !app.hotKeys.registerCombo(HotKeyCombo::defaultCombo())) {
        state.SkipWithError("no X server or the shortcut is taken");
        return;
    }

    // Firefox makes its accessibility tree only for a screen reader, or when told to.
    QProcess browser;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("GNOME_ACCESSIBILITY"), QStringLiteral("1"));
    environment.insert(QStringLiteral("MOZ_CRASHREPORTER_DISABLE"), QStringLiteral("1"));
    browser.setProcessEnvironment(environment);
    browser.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    browser.start(firefox,
                  {QStringLiteral("--no-remote"), QStringLiteral("--new-instance"), QStringLiteral("--profile"),
                   profile.path(), page.address()});
    const qint32 pid = qint32(browser.processId());
    Window window = 0;
    bench::spin(60000, [&] {
        window = windowOf(display, pid);
        return window && page.requests > 0;
    });
    if (!window) {
        state.SkipWithError("Firefox did not show the page within a minute");
        return;
    }
    activate(display, window);
    QElapsedTimer waited;
    waited.start();
    bench::spin(30000, [&] { return pageIsAccessible(real.accessibility, pid, page.address()); });
    std::printf("Firefox %s showed the page; its document was on the accessibility bus %lld ms later\n",
                qPrintable(firefox), waited.elapsed());
    bench::switchToSyntheticKeyboard(display);
    bench::spin(300);
    if (state.range(0) != 0) {
        // A window of ours that nobody reads the events of: the requests for the clipboard go unanswered.
        const Window silent = XCreateSimpleWindow(display, DefaultRootWindow(display), 0, 0, 1, 1, 0, 0, 0);
        XSetSelectionOwner(display, XInternAtom(display, "CLIPBOARD", False), silent, CurrentTime);
        XFlush(display);
    }
    const bench::BusyProcesses busy(int(state.range(1)));

    std::vector<double> milliseconds;
    int asSelected = 0;
    int withAddress = 0;
    QString lastText;
    for (auto _ : state) {
        state.PauseTiming();
        activate(display, window);
        tripleClick(display, window);
        bench::spin(400);
        times.discard(); // what happened before the press belongs to no capture
        state.ResumeTiming();

        const qsizetype before = app.store.selections().size();
        QElapsedTimer timer;
        timer.start();
        pressed = Steady::now();
        vellicord::bench::pressShortcut(display);
        bench::spin(10000, [&] { return app.store.selections().size() > before; });
        const double elapsed = double(timer.nsecsElapsed()) / 1e6;
        times.add(QStringLiteral("capture's end to the capture in the library"), millisecondsSince(captured));
        state.SetIterationTime(elapsed / 1e3);
        milliseconds.push_back(elapsed);

        state.PauseTiming();
        bench::spin(200);
        if (app.store.selections().size() > before) {
            const Selection& saved = app.store.selections().first();
            lastText = saved.text;
            asSelected += saved.text == paragraph;
            withAddress += saved.sourceURL == page.address();
        }
        times.endCapture();
        state.ResumeTiming();
    }
    bench::reportLatencies(state, milliseconds);
    state.counters["saved"] = double(app.store.selections().size());
    state.counters["text_as_selected"] = asSelected;
    state.counters["with_page_address"] = withAddress;
    bench::reportLoad(state);
    std::printf("\nThe last capture's text: \"%s\"\nEach capture, ms:", qPrintable(lastText.left(120)));
    for (double ms : milliseconds)
        std::printf(" %.0f", ms);
    std::printf("\n\n");
    times.print("Where a capture's time goes");

    browser.terminate();
    if (!browser.waitForFinished(5000))
        browser.kill();
    XCloseDisplay(display);
}
BENCHMARK(ShortcutPressToCaptureFromFirefox)
    ->ArgNames({"silent_clipboard", "busy"})
    ->Args({0, 0})
    ->Args({1, 24})
    ->Iterations(captures)
    ->UseManualTime()
    ->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    if (firefoxProgram().isEmpty()) {
        std::printf("FirefoxCaptureBench: Firefox is not installed (firefox-esr or firefox); nothing measured.\n");
        return 0;
    }
    // The accessibility bus is found through the session bus.
    // Only the figures: the capture's own log lines stay out.
    if (qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        qputenv("QT_LOGGING_RULES", "com.ruvo.vellicord.*=false");
    if (qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS")) {
        std::vector<char*> command{const_cast<char*>("dbus-run-session"), const_cast<char*>("--")};
        command.insert(command.end(), argv, argv + argc);
        command.push_back(nullptr);
        execvp("dbus-run-session", command.data());
        std::printf("FirefoxCaptureBench: needs a D-Bus session (dbus-run-session); nothing measured.\n");
        return 1;
    }
    return vellicord::bench::runOnX11(argc, argv, vellicord::bench::Application::widgets);
}
