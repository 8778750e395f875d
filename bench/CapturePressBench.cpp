// From a press of the global shortcut to the capture in the library, with the application's own
// objects (shortcut, delegate, capture, store) over a real X client that answers the copy at once.
// Needs an X server: without DISPLAY it runs itself under xvfb-run.
#include "bench/CaptureApplication.h"
#include "bench/X11BenchMain.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>

#include <benchmark/benchmark.h>

#include <vector>

// Xlib's macros (None, Bool) clash with Qt's names: after every Qt header.
#include "bench/PressShortcut.h"

namespace {

using namespace vellicord;

void ShortcutPressToCaptureInStore(benchmark::State& state)
{
    bench::CaptureApplication app;
    Display* sender = XOpenDisplay(nullptr);
    if (!sender || !app.hotKeys.registerCombo(HotKeyCombo::defaultCombo())) {
        state.SkipWithError("no X server or the shortcut is taken");
        return;
    }

    QProcess window;
    window.start(QStringLiteral(SELECTION_WINDOW_PATH),
                 {QStringLiteral("--text"), QStringLiteral("a passage to keep")});
    QByteArray output;
    bench::spin(5000, [&] {
        window.waitForReadyRead(5);
        output += window.readAllStandardOutput();
        return output.contains('\n');
    });
    bench::switchToSyntheticKeyboard(sender);
    bench::spin(300);

    std::vector<double> milliseconds;
    for (auto _ : state) {
        const qsizetype before = app.store.selections().size();
        QElapsedTimer timer;
        timer.start();
        vellicord::bench::pressShortcut(sender);
        bench::spin(5000, [&] { return app.store.selections().size() > before; });
        const double elapsed = double(timer.nsecsElapsed()) / 1e6;
        state.SetIterationTime(elapsed / 1e3);
        milliseconds.push_back(elapsed);
        bench::spin(100);
    }
    bench::reportLatencies(state, milliseconds);
    state.counters["saved"] = double(app.store.selections().size());
    window.kill();
    window.waitForFinished(2000);
    XCloseDisplay(sender);
}
BENCHMARK(ShortcutPressToCaptureInStore)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return vellicord::bench::runOnX11(argc, argv, vellicord::bench::Application::widgets);
}
