// Capture latency on a real X server: from the request to the result, with an application that
// answers the copy command at once and with a terminal that copies by selecting (it gets no copy
// command, so nothing is waited for), and the clipboard checked after every capture.
// Run under Xvfb: xvfb-run -a scripts/bench CaptureBench
#include "core/capture/CaptureLog.h"
#include "core/capture/SelectionCapture.h"
#include "platform/qt/SystemClock.h"
#include "platform/x11/X11CaptureServices.h"
#include "platform/x11/X11Pasteboard.h"
#include "tests/support/OnWorker.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QThread>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstdlib>
#include <thread>
#include <vector>

namespace {

using namespace vellicord;
using test::onWorker;

void setClipboardWithXclip(X11Pasteboard& pasteboard, const QByteArray& bytes)
{
    const qint64 before = pasteboard.changeCount();
    QProcess::startDetached(QStringLiteral("sh"),
                            {QStringLiteral("-c"),
                             QStringLiteral("printf '%s' \"$1\" | xclip -selection clipboard -i >/dev/null 2>&1"),
                             QStringLiteral("sh"), QString::fromUtf8(bytes)});
    QElapsedTimer timer;
    timer.start();
    while (pasteboard.changeCount() == before && timer.elapsed() < 5000)
        QThread::msleep(2);
}

void measureCaptures(benchmark::State& state, const char* label, const QStringList& windowArguments)
{
    const char* display = std::getenv("DISPLAY");
    if (!display || !*display) {
        state.SkipWithError("needs an X display (run under xvfb-run)");
        return;
    }
    static int argc = 1;
    static char name[] = "CaptureBench";
    static char* argv[] = {name, nullptr};
    qputenv("QT_QPA_PLATFORM", "xcb");
    static QGuiApplication app(argc, argv);

    QProcess window;
    window.start(QStringLiteral(SELECTION_WINDOW_PATH),
                 windowArguments + QStringList{QStringLiteral("--text"), QStringLiteral("selected text")});
    window.waitForStarted();
    while (!window.readAllStandardOutput().contains("ready"))
        window.waitForReadyRead(100);

    CaptureLog::setSink([](CaptureLog::Channel, CaptureLog::Level, const QString&) {});
    SystemClock clock;
    X11CaptureServices desktop{clock};
    auto& pasteboard = static_cast<X11Pasteboard&>(desktop.pasteboard());
    const QByteArray userBytes("what the user had copied before");

    std::vector<double> latencies;
    int restored = 0;
    int captured = 0;
    for (auto _ : state) {
        state.PauseTiming();
        setClipboardWithXclip(pasteboard, userBytes);
        state.ResumeTiming();

        QElapsedTimer timer;
        timer.start();
        const SelectionCapture::Outcome outcome
            = onWorker([&] { return SelectionCapture(desktop.services()).capture(); }, 1);
        latencies.push_back(double(timer.nsecsElapsed()) / 1e6);

        state.PauseTiming();
        if (const auto* result = std::get_if<CaptureResult>(&outcome); result && result->text == u"selected text")
            ++captured;
        const PasteboardData now = onWorker([&] { return pasteboard.dataForType(PasteboardType::string); }, 1);
        if (now.status == PasteboardData::Status::ok && now.bytes == userBytes)
            ++restored;
        state.ResumeTiming();
    }
    window.kill();
    window.waitForFinished();
    pasteboard.write({});

    std::sort(latencies.begin(), latencies.end());
    const double median = latencies[latencies.size() / 2];
    state.counters["median_ms"] = median;
    state.counters["p90_ms"] = latencies[latencies.size() * 9 / 10];
    state.counters["max_ms"] = latencies.back();
    state.counters["captured"] = captured;
    state.counters["restored"] = restored;
    std::printf("capture latency (%s) over %zu captures: median %.1f ms, p90 %.1f ms, max %.1f ms; "
                "text captured %d/%zu; clipboard restored %d/%zu\n",
                label, latencies.size(), median, latencies[latencies.size() * 9 / 10], latencies.back(), captured,
                latencies.size(), restored, latencies.size());
}

void CaptureLatency(benchmark::State& state)
{
    measureCaptures(state, "editor that copies on Control-C", {});
}

void TerminalCaptureLatency(benchmark::State& state)
{
    measureCaptures(state, "terminal that copies by selecting",
                    {QStringLiteral("--class"), QStringLiteral("xterm"), QStringLiteral("--no-copy")});
}

BENCHMARK(CaptureLatency)->Iterations(50)->Unit(benchmark::kMillisecond);
BENCHMARK(TerminalCaptureLatency)->Iterations(50)->Unit(benchmark::kMillisecond);

} // namespace
