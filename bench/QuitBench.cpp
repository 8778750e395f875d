// Quitting the real program (SIGTERM, as at logout): from the signal to the end of the process,
// with the clipboard another application's, and with the clipboard ours after a capture put the
// user's content back (it then goes to vellicord-clipboard before the process ends).
// Needs an X server: without DISPLAY it runs itself under xvfb-run.
#include "bench/X11BenchMain.h"
#include "platform/x11/X11Connection.h"
#include "platform/x11/X11Pasteboard.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <csignal>
#include <cstdio>
#include <functional>
#include <memory>
#include <vector>

// Xlib defines names Qt uses; it comes after Qt.
#include "bench/PressShortcut.h"

namespace {

using namespace vellicord;

bool spin(int ms, const std::function<bool()>& done)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms) {
        if (done())
            return true;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return done();
}

xcb_window_t clipboardOwner(X11Connection& x11)
{
    std::unique_ptr<xcb_get_selection_owner_reply_t, decltype(&std::free)> owner(
        xcb_get_selection_owner_reply(x11.get(), xcb_get_selection_owner(x11.get(), x11.atom("CLIPBOARD")), nullptr),
        &std::free);
    return owner ? owner->owner : XCB_NONE;
}

void measureQuit(benchmark::State& state, bool clipboardOurs)
{
    X11Pasteboard pasteboard;
    X11Connection x11;
    Display* display = XOpenDisplay(nullptr);
    std::vector<double> milliseconds;
    int kept = 0;
    for (auto _ : state) {
        state.PauseTiming();
        pasteboard.write({{{QStringLiteral("UTF8_STRING"), QByteArray("the user's text")},
                           {QStringLiteral("image/png"), QByteArray(300'000, 'p')}}});
        QTemporaryDir home;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        for (const char* variable : {"XDG_RUNTIME_DIR", "XDG_CONFIG_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
            environment.insert(QString::fromLatin1(variable), home.filePath(QString::fromLatin1(variable)));
        environment.insert(QStringLiteral("QT_LOGGING_RULES"), QStringLiteral("com.ruvo.vellicord.*=true"));
        QProcess program;
        program.setProcessEnvironment(environment);
        program.setProcessChannelMode(QProcess::MergedChannels);
        QByteArray output;
        QObject::connect(&program, &QProcess::readyRead, [&] { output += program.readAll(); });
        program.start(QStringLiteral(VELLICORD_BINARY), {});
        spin(20000, [&] { return output.contains("Registered hotkey"); });
        QProcess window;
        if (clipboardOurs) {
            // A capture over a client that copies on Control-C; its restore leaves the clipboard ours.
            QThread::msleep(300);
            window.start(QStringLiteral(SELECTION_WINDOW_PATH), {QStringLiteral("--text"), QStringLiteral("passage")});
            spin(5000, [&] { return window.readAllStandardOutput().contains("ready"); });
            bench::pressShortcut(display);
            spin(10000, [&] { return output.contains("Saved selection from"); });
        }
        const xcb_window_t before = clipboardOwner(x11);
        state.ResumeTiming();

        QElapsedTimer clock;
        clock.start();
        ::kill(pid_t(program.processId()), SIGTERM);
        program.waitForFinished(10000);
        const double elapsed = double(clock.nsecsElapsed()) / 1e6;

        state.PauseTiming();
        milliseconds.push_back(elapsed);
        const xcb_window_t after = clipboardOwner(x11);
        kept += clipboardOurs && after != XCB_NONE && after != before;
        window.kill();
        window.waitForFinished();
        state.ResumeTiming();
    }
    pasteboard.write({});
    XCloseDisplay(display);
    bench::reportLatencies(state, milliseconds);
    state.counters["clipboard_kept"] = kept;
    std::sort(milliseconds.begin(), milliseconds.end());
    std::printf("quit (%s): median %.1f ms, max %.1f ms from SIGTERM to the end of the process%s\n",
                clipboardOurs ? "clipboard ours, handed to vellicord-clipboard" : "clipboard another's",
                milliseconds[milliseconds.size() / 2], milliseconds.back(),
                clipboardOurs ? qPrintable(QStringLiteral("; kept after exit %1/%2").arg(kept).arg(milliseconds.size()))
                              : "");
}

void QuitWithAnotherOwner(benchmark::State& state)
{
    measureQuit(state, false);
}
void QuitWithOurClipboard(benchmark::State& state)
{
    measureQuit(state, true);
}
BENCHMARK(QuitWithAnotherOwner)->Iterations(8)->Unit(benchmark::kMillisecond);
BENCHMARK(QuitWithOurClipboard)->Iterations(8)->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return vellicord::bench::runOnX11(argc, argv, vellicord::bench::Application::widgets);
}
