// Start-up of the real program with everyday libraries of 10,000 and 100,000 captures (and
// 1,000,000 with --max_captures=1000000), beside a Qt hello-world started and timed the same way:
// from the start of the process to its event loop answering a show-window request (the first thing
// it can do for anyone), and to the main window it then shows painted on the screen (the X server's
// damage report), and how soon it answers again in the second after that paint, while the work it
// left for later runs; on an idle machine and on one kept busy by four other processes. Also the
// resident size against the library file's size, when the program answers and once it has settled
// (window open, search index and sources' counts made), with the peak up to then, and what a quit
// without any change costs: its time, the peak over the whole run, and whether it wrote the
// library. Needs an X server: without DISPLAY it runs itself under xvfb-run.
#include "bench/MachineLoad.h"
#include "bench/RealProgram.h"
#include "bench/X11BenchMain.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QThread>

#include <benchmark/benchmark.h>

#include <xcb/damage.h>
#include <xcb/xcb.h>

#include <algorithm>
#include <cstring>
#include <unistd.h>
#include <memory>
#include <optional>
#include <vector>

#include <unistd.h>

namespace {

using namespace vellicord;
using namespace vellicord::bench;

// The processor time the program has used so far, in milliseconds: all of its threads, the ended
// ones included (the kernel counts it in ticks of 10 ms), and its main thread alone (to the
// nanosecond). Taken at the first paint, it is what opening the window cost, whatever the load.
std::pair<double, double> processorMilliseconds(pid_t pid)
{
    QFile stat(QStringLiteral("/proc/%1/stat").arg(pid));
    QFile mainThread(QStringLiteral("/proc/%1/task/%1/schedstat").arg(pid));
    if (!stat.open(QIODevice::ReadOnly) || !mainThread.open(QIODevice::ReadOnly))
        return {0, 0};
    // After the command's name in parentheses, which may hold spaces: utime and stime are the
    // 12th and 13th fields.
    const QByteArray line = stat.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    const double ticks = fields.size() > 12 ? double(fields[11].toLongLong() + fields[12].toLongLong()) : 0;
    const double all = ticks * 1000.0 / double(::sysconf(_SC_CLK_TCK));
    return {all, double(mainThread.readAll().split(' ').value(0).toLongLong()) / 1e6};
}

// Sees the program's main window come up on the screen: every top-level window made from now on is
// watched for damage, and the first damage to a mapped window at least as wide as the main window
// is its first paint.
class WindowPaints {
public:
    WindowPaints()
        : connection_(xcb_connect(nullptr, nullptr))
    {
        if (xcb_connection_has_error(connection_))
            return;
        const xcb_query_extension_reply_t* damage = xcb_get_extension_data(connection_, &xcb_damage_id);
        if (!damage || !damage->present)
            return;
        damageEvent_ = damage->first_event;
        std::free(xcb_damage_query_version_reply(connection_, xcb_damage_query_version(connection_, 1, 1), nullptr));
        const uint32_t mask = XCB_EVENT_MASK_SUBSTRUCTURE_NOTIFY;
        xcb_change_window_attributes(connection_, xcb_setup_roots_iterator(xcb_get_setup(connection_)).data->root,
                                     XCB_CW_EVENT_MASK, &mask);
        xcb_flush(connection_);
        usable_ = true;
    }
    ~WindowPaints() { xcb_disconnect(connection_); }

    // The time on the clock when a window at least `width` wide was first painted, or -1 when none
    // was within the limit.
    double waitForPaint(const QElapsedTimer& clock, int width, qint64 limit)
    {
        while (usable_ && clock.elapsed() < limit) {
            std::unique_ptr<xcb_generic_event_t, decltype(&std::free)> event(xcb_poll_for_event(connection_),
                                                                              &std::free);
            if (!event) {
                QThread::usleep(200);
                continue;
            }
            const uint8_t type = event->response_type & 0x7f;
            if (type == XCB_CREATE_NOTIFY) {
                const auto* created = reinterpret_cast<xcb_create_notify_event_t*>(event.get());
                xcb_damage_create(connection_, xcb_generate_id(connection_), created->window,
                                  XCB_DAMAGE_REPORT_LEVEL_NON_EMPTY);
                xcb_flush(connection_);
                windows_.push_back({created->window, created->width, false});
            } else if (type == XCB_CONFIGURE_NOTIFY) {
                const auto* configured = reinterpret_cast<xcb_configure_notify_event_t*>(event.get());
                if (Window* window = find(configured->window))
                    window->width = configured->width;
            } else if (type == XCB_MAP_NOTIFY) {
                if (Window* window = find(reinterpret_cast<xcb_map_notify_event_t*>(event.get())->window))
                    window->mapped = true;
            } else if (type == damageEvent_ + XCB_DAMAGE_NOTIFY) {
                const Window* window = find(reinterpret_cast<xcb_damage_notify_event_t*>(event.get())->drawable);
                if (window && window->mapped && window->width >= width)
                    return double(clock.nsecsElapsed()) / 1e6;
            }
        }
        return -1;
    }

private:
    struct Window {
        xcb_window_t id;
        int width;
        bool mapped;
    };
    Window* find(xcb_window_t id)
    {
        const auto it = std::find_if(windows_.begin(), windows_.end(), [id](const Window& w) { return w.id == id; });
        return it == windows_.end() ? nullptr : &*it;
    }

    xcb_connection_t* connection_;
    uint8_t damageEvent_ = 0;
    bool usable_ = false;
    std::vector<Window> windows_;
};

struct Launch {
    bool hello = false;
    int busy = 0; // other processes keeping a processor each busy meanwhile
    bool settle = true; // the first run waits for the resident size to settle
};

void measureLaunch(benchmark::State& state, const QString& program, Launch launch)
{
    const int captures = int(state.range(0));
    Home home(captures);
    const QStringList arguments = launch.hello ? QStringList{home.socketPath} : QStringList{};
    const std::unique_ptr<bench::BusyProcesses> busy
        = launch.busy > 0 ? std::make_unique<bench::BusyProcesses>(launch.busy) : nullptr;
    std::vector<double> milliseconds, painted, answers, quits, paintProcessor, paintMainThread;
    double peak = 0, settled = 0, settledPeak = 0, lifePeak = 0, load = 0, ownResident = 0;
    int writes = 0;
    bool first = true;
    for (auto _ : state) {
        const std::optional<FileStamp> before = stamp(home.libraryPath);
        ownResident = std::max(ownResident, statusMegabytes(::getpid(), "VmRSS:"));
        WindowPaints paints;
        QElapsedTimer clock;
        clock.start();
        Child child(program, arguments, home.environment);
        while (!answered(home.socketPath) && clock.elapsed() < 20000)
            QThread::usleep(500);
        const double elapsed = double(clock.nsecsElapsed()) / 1e6;
        state.SetIterationTime(elapsed / 1e3);
        milliseconds.push_back(elapsed);
        state.PauseTiming();
        painted.push_back(paints.waitForPaint(clock, 600, 20000));
        const auto [processor, mainThread] = processorMilliseconds(child.pid);
        paintProcessor.push_back(processor);
        paintMainThread.push_back(mainThread);
        // The work left for after the first paint runs now: the program should answer meanwhile.
        QElapsedTimer since;
        since.start();
        while (since.elapsed() < 1000) {
            QElapsedTimer request;
            request.start();
            if (answered(home.socketPath))
                answers.push_back(double(request.nsecsElapsed()) / 1e6);
            QThread::msleep(20);
        }
        load = std::max(load, bench::loadAverage());
        if (first) {
            peak = statusMegabytes(child.pid, "VmHWM:");
            if (launch.settle) {
                settled = settledMegabytes(child.pid);
                settledPeak = statusMegabytes(child.pid, "VmHWM:");
            }
            first = false;
        }
        const auto [quit, maxResident] = child.terminate();
        quits.push_back(quit);
        lifePeak = std::max(lifePeak, maxResident);
        if (before && stamp(home.libraryPath) != before)
            ++writes;
        state.ResumeTiming();
    }
    bench::reportLatencies(state, milliseconds);
    std::sort(painted.begin(), painted.end());
    state.counters["window_median_ms"] = painted[painted.size() / 2];
    state.counters["window_max_ms"] = painted.back();
    std::sort(paintProcessor.begin(), paintProcessor.end());
    state.counters["cpu_to_paint_median_ms"] = paintProcessor[paintProcessor.size() / 2];
    state.counters["cpu_to_paint_max_ms"] = paintProcessor.back();
    std::sort(paintMainThread.begin(), paintMainThread.end());
    state.counters["main_cpu_to_paint_median_ms"] = paintMainThread[paintMainThread.size() / 2];
    std::sort(answers.begin(), answers.end());
    if (!answers.empty()) {
        state.counters["answer_after_paint_median_ms"] = answers[answers.size() / 2];
        state.counters["answer_after_paint_max_ms"] = answers.back();
    }
    state.counters["peak_MB"] = peak;
    if (launch.settle) {
        state.counters["settled_MB"] = settled;
        state.counters["settled_peak_MB"] = settledPeak;
    }
    if (home.fileMegabytes > 0) {
        state.counters["file_MB"] = home.fileMegabytes;
        state.counters["peak_x_file"] = peak / home.fileMegabytes;
        if (launch.settle) {
            state.counters["settled_x_file"] = settled / home.fileMegabytes;
            state.counters["settled_peak_x_file"] = settledPeak / home.fileMegabytes;
        }
        state.counters["quits_writing"] = writes;
    }
    std::sort(quits.begin(), quits.end());
    state.counters["quit_ms"] = quits[quits.size() / 2];
    state.counters["quit_max_ms"] = quits.back();
    state.counters["run_peak_MB"] = lifePeak;
    // What the benchmark itself held when it started the program: none of it is the program's.
    state.counters["bench_own_MB"] = ownResident;
    state.counters["load1"] = load;
}

void QtHelloWorld(benchmark::State& state)
{
    measureLaunch(state, QStringLiteral(HELLO_WORLD_BINARY), {.hello = true});
}

void LaunchToEventLoop(benchmark::State& state)
{
    measureLaunch(state, QStringLiteral(VELLICORD_BINARY), {});
}

// The same on a machine that four other programs keep busy: the window should come up before
// the work it leaves for later takes processors from it.
void LaunchWhileBusy(benchmark::State& state)
{
    measureLaunch(state, QStringLiteral(VELLICORD_BINARY), {.busy = 4, .settle = false});
}

// An earlier build of the program, timed the same way in the same run for a figure before and
// after a change: VELLICORD_BASELINE=/path/to/vellicord.
void BaselineLaunchToEventLoop(benchmark::State& state)
{
    measureLaunch(state, qEnvironmentVariable("VELLICORD_BASELINE"), {});
}

void BaselineLaunchWhileBusy(benchmark::State& state)
{
    measureLaunch(state, qEnvironmentVariable("VELLICORD_BASELINE"), {.busy = 4, .settle = false});
}

} // namespace

int main(int argc, char** argv)
{
    using namespace vellicord;
    // The largest library needs about 6 GB between the benchmark and the program.
    int maxCaptures = 100000;
    int runs = 20;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--max_captures=", 15) == 0)
            maxCaptures = std::atoi(argv[i] + 15);
        if (std::strncmp(argv[i], "--runs=", 7) == 0)
            runs = std::atoi(argv[i] + 7);
    }
    const bool baseline = !qEnvironmentVariableIsEmpty("VELLICORD_BASELINE");
    const auto add = [&](const char* name, void (*measure)(benchmark::State&), int captures) {
        benchmark::RegisterBenchmark(name, measure)
            ->Arg(captures)
            ->Iterations(captures >= 1000000 ? std::max(3, runs / 4) : runs)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    };
    add("QtHelloWorld", QtHelloWorld, 0);
    for (int captures = 10000; captures <= maxCaptures; captures *= 10) {
        if (baseline)
            add("BaselineLaunchToEventLoop", BaselineLaunchToEventLoop, captures);
        add("LaunchToEventLoop", LaunchToEventLoop, captures);
    }
    if (baseline)
        add("BaselineLaunchWhileBusy", BaselineLaunchWhileBusy, 100000);
    add("LaunchWhileBusy", LaunchWhileBusy, 100000);
    return vellicord::bench::runOnX11(argc, argv, vellicord::bench::Application::core);
}
