// The real program's memory with everyday libraries of 100,000 captures (and 1,000,000 with
// --max_captures=1000000). Around its saves: the resident size once the opened window has settled,
// then for each capture made with the shortcut over a selected passage the peak of its save and the
// resident size once the program has settled again, against the library file's size. And its end:
// the time from SIGTERM to the end of the process once it has settled with nothing changed, most
// of which is the system freeing its memory, with how much of that memory is in huge pages. Every
// figure has the machine's load beside it; an earlier build is measured beside this one in the same
// run when VELLICORD_BASELINE names its binary. Needs an X server: without DISPLAY it runs itself
// under xvfb-run.
#include "bench/MachineLoad.h"
#include "bench/RealProgram.h"
#include "bench/X11BenchMain.h"

#include <QElapsedTimer>
#include <QFile>
#include <QProcess>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <utility>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

// Xlib defines names Qt uses; it comes after Qt.
#include "bench/PressShortcut.h"

namespace {

using namespace vellicord;
using namespace vellicord::bench;

// A window holding a selected passage, with the focus, as a terminal or an editor a user captures from.
struct SelectedPassage {
    QProcess window;

    explicit SelectedPassage(int n)
    {
        window.start(
            QStringLiteral(SELECTION_WINDOW_PATH),
            {QStringLiteral("--text"), QStringLiteral("Passage %1 of the captures made during the benchmark").arg(n)});
        QByteArray output;
        QElapsedTimer clock;
        clock.start();
        while (!output.contains("ready") && clock.elapsed() < 5000 && window.waitForReadyRead(100))
            output += window.readAllStandardOutput();
    }
    ~SelectedPassage()
    {
        window.kill();
        window.waitForFinished();
    }
};

// Waits until a save replaced the file (the backup is written last), or the limit passes.
bool awaitSave(const QString& path, const std::optional<FileStamp>& before, qint64 limit)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < limit) {
        if (stamp(path) != before)
            return true;
        QThread::msleep(5);
    }
    return false;
}

void measureSaves(benchmark::State& state, const QString& program)
{
    const int captures = int(state.range(0));
    Home home(captures);
    Child child(program, {}, home.environment);
    QElapsedTimer clock;
    clock.start();
    while (!answered(home.socketPath) && clock.elapsed() < 60000)
        QThread::usleep(500);
    const double opened = settledMegabytes(child.pid);
    Display* display = XOpenDisplay(nullptr);
    switchToSyntheticKeyboard(display);
    std::vector<double> peaks, settled;
    double load = 0;
    int n = 0;
    int unsaved = 0;
    for (auto _ : state) {
        SelectedPassage passage(++n);
        const std::optional<FileStamp> before = stamp(home.backupPath);
        resetPeak(child.pid);
        pressShortcut(display);
        if (!awaitSave(home.backupPath, before, 120000))
            ++unsaved;
        peaks.push_back(statusMegabytes(child.pid, "VmHWM:"));
        settled.push_back(settledMegabytes(child.pid));
        load = std::max(load, loadAverage());
    }
    XCloseDisplay(display);
    child.terminate();
    std::printf("settled after each save (MB):");
    for (const double megabytes : settled)
        std::printf(" %.0f", megabytes);
    std::printf("\n");

    const double file = home.fileMegabytes;
    state.counters["file_MB"] = file;
    state.counters["opened_x_file"] = opened / file;
    state.counters["first_settled_x_file"] = settled.front() / file;
    state.counters["last_settled_x_file"] = settled.back() / file;
    state.counters["settled_max_x_file"] = *std::max_element(settled.begin(), settled.end()) / file;
    std::vector<double> sorted = peaks;
    std::sort(sorted.begin(), sorted.end());
    state.counters["save_peak_median_x_file"] = sorted[sorted.size() / 2] / file;
    state.counters["save_peak_max_x_file"] = sorted.back() / file;
    state.counters["unsaved"] = unsaved;
    state.counters["load1"] = load;
    std::printf("%s %d captures (file %.0f MB): opened %.0f MB; save peak median %.0f, max %.0f MB; settled after "
                "the first save %.0f, after save %zu %.0f MB; load %.1f\n",
                program == qEnvironmentVariable("VELLICORD_BASELINE") ? "baseline" : "this build", captures, file,
                opened, sorted[sorted.size() / 2], sorted.back(), settled.front(), settled.size(), settled.back(),
                load);
}

// Ends the program the way a logout does: the time to its end, and the part of it after the
// program let go of its lock, its last act, which is the system freeing its memory.
std::pair<double, double> quit(Child& child, const QString& lockPath)
{
    const QByteArray lock = QFile::encodeName(lockPath);
    QElapsedTimer clock;
    clock.start();
    ::kill(child.pid, SIGTERM);
    double released = -1;
    int status = 0;
    while (::waitpid(child.pid, &status, WNOHANG) == 0) {
        if (released < 0 && ::access(lock.constData(), F_OK) != 0)
            released = double(clock.nsecsElapsed()) / 1e6;
        QThread::usleep(50);
    }
    const double total = double(clock.nsecsElapsed()) / 1e6;
    child.pid = -1;
    return {total, released < 0 ? 0 : total - released};
}

void measureQuit(benchmark::State& state, const QString& program)
{
    Home home(int(state.range(0)));
    std::vector<double> quits, freeing;
    double resident = 0, huge = 0, load = 0;
    for (auto _ : state) {
        Child child(program, {}, home.environment);
        QElapsedTimer clock;
        clock.start();
        while (!answered(home.socketPath) && clock.elapsed() < 60000)
            QThread::usleep(500);
        resident = settledMegabytes(child.pid);
        huge = rollupMegabytes(child.pid, "AnonHugePages:");
        load = std::max(load, loadAverage());
        const auto [total, afterLock] = quit(child, home.lockPath);
        quits.push_back(total);
        freeing.push_back(afterLock);
        state.SetIterationTime(total / 1e3);
    }
    reportLatencies(state, quits);
    std::sort(freeing.begin(), freeing.end());
    state.counters["after_lock_median_ms"] = freeing[freeing.size() / 2];
    state.counters["after_lock_max_ms"] = freeing.back();
    state.counters["resident_MB"] = resident;
    state.counters["huge_pages_MB"] = huge;
    state.counters["load1"] = load;
    std::sort(quits.begin(), quits.end());
    std::printf("%s %d captures: quit when settled median %.0f ms, max %.0f ms, of which after the lock was let go "
                "of median %.0f ms, max %.0f ms; resident %.0f MB, %.0f MB of it in huge pages; load %.1f\n",
                program == qEnvironmentVariable("VELLICORD_BASELINE") ? "baseline" : "this build", int(state.range(0)),
                quits[quits.size() / 2], quits.back(), freeing[freeing.size() / 2], freeing.back(), resident, huge,
                load);
}

void Saves(benchmark::State& state)
{
    measureSaves(state, QStringLiteral(VELLICORD_BINARY));
}

void BaselineSaves(benchmark::State& state)
{
    measureSaves(state, qEnvironmentVariable("VELLICORD_BASELINE"));
}

void QuitWhenSettled(benchmark::State& state)
{
    measureQuit(state, QStringLiteral(VELLICORD_BINARY));
}

void BaselineQuitWhenSettled(benchmark::State& state)
{
    measureQuit(state, qEnvironmentVariable("VELLICORD_BASELINE"));
}

} // namespace

int main(int argc, char** argv)
{
    int maxCaptures = 100000;
    int runs = 20;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--max_captures=", 15) == 0)
            maxCaptures = std::atoi(argv[i] + 15);
        if (std::strncmp(argv[i], "--runs=", 7) == 0)
            runs = std::atoi(argv[i] + 7);
    }
    const bool baseline = !qEnvironmentVariableIsEmpty("VELLICORD_BASELINE");
    for (int captures = 100000; captures <= maxCaptures; captures *= 10) {
        if (baseline)
            benchmark::RegisterBenchmark("BaselineSaves", BaselineSaves)
                ->Arg(captures)
                ->Iterations(runs)
                ->Unit(benchmark::kSecond);
        benchmark::RegisterBenchmark("Saves", Saves)->Arg(captures)->Iterations(runs)->Unit(benchmark::kSecond);
        if (baseline)
            benchmark::RegisterBenchmark("BaselineQuitWhenSettled", BaselineQuitWhenSettled)
                ->Arg(captures)
                ->Iterations(runs)
                ->UseManualTime()
                ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("QuitWhenSettled", QuitWhenSettled)
            ->Arg(captures)
            ->Iterations(runs)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
    return vellicord::bench::runOnX11(argc, argv, vellicord::bench::Application::core);
}
