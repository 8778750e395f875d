// Time from a press of the global shortcut, sent as another X client would (XTest), to the
// moment the application's handler runs. Needs an X server: without DISPLAY it runs itself
// under xvfb-run.
#include "bench/X11BenchMain.h"
#include "platform/x11/X11HotKeys.h"

#include <QApplication>
#include <QElapsedTimer>

#include <benchmark/benchmark.h>

#include "bench/PressShortcut.h"

#include <algorithm>
#include <unistd.h>
#include <vector>

namespace {

void ShortcutPressToHandler(benchmark::State& state)
{
    vellicord::X11HotKeys keys;
    Display* sender = XOpenDisplay(nullptr);
    if (!keys.isAvailable() || !sender || keys.grab(8, 0x1900) != vellicord::HotKeys::noError) {
        state.SkipWithError("no X server or the shortcut is taken");
        return;
    }
    int presses = 0;
    keys.setPressedHandler([&] { ++presses; });
    std::vector<double> milliseconds;
    for (auto _ : state) {
        const int before = presses;
        QElapsedTimer clock;
        clock.start();
        vellicord::bench::pressShortcut(sender);
        while (presses == before && clock.elapsed() < 2000)
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 5);
        const double elapsed = double(clock.nsecsElapsed()) / 1e6;
        state.SetIterationTime(elapsed / 1e3);
        milliseconds.push_back(elapsed);
        // Let the releases arrive before the next press.
        QElapsedTimer settle;
        settle.start();
        while (settle.elapsed() < 30)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    vellicord::bench::reportLatencies(state, milliseconds);
    state.counters["handled"] = presses;
    XCloseDisplay(sender);
}
BENCHMARK(ShortcutPressToHandler)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return vellicord::bench::runOnX11(argc, argv, vellicord::bench::Application::widgets);
}
