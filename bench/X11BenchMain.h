#pragma once

// What the benchmarks that need an X server share: their main, which starts itself again under
// xvfb-run when there is no display, and the latency figures they print.

#include <QApplication>
#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <functional>
#include <memory>
#include <vector>

#include <unistd.h>

namespace vellicord::bench {

// Median and maximum of the measured times, as the benchmark's counters.
inline void reportLatencies(benchmark::State& state, std::vector<double> milliseconds)
{
    if (milliseconds.empty())
        return;
    std::sort(milliseconds.begin(), milliseconds.end());
    state.counters["median_ms"] = milliseconds[milliseconds.size() / 2];
    state.counters["max_ms"] = milliseconds.back();
}

// Work to do once the benchmarks have run and before the application object goes: a fixture
// made once for every figure holds widgets that must not outlive it, and a temporary folder
// that would otherwise stay behind.
inline std::vector<std::function<void()>>& teardowns()
{
    static std::vector<std::function<void()>> work;
    return work;
}

// A fixture made on first use and destroyed at the end of the run.
template<typename Fixture> Fixture& sharedFixture()
{
    static Fixture* instance = [] {
        auto* made = new Fixture;
        teardowns().push_back([made] { delete made; });
        return made;
    }();
    return *instance;
}

enum class Application { core, widgets };

// Runs the registered benchmarks on the X server (the real xcb platform for a widgets
// application); without a display, runs this program again under xvfb-run. setUp runs once the
// application object is made (the application's own look, for instance).
inline int runOnX11(int argc, char** argv, Application kind, const std::function<void()>& setUp = {})
{
    if (qEnvironmentVariableIsEmpty("DISPLAY")) {
        std::vector<char*> command{const_cast<char*>("xvfb-run"), const_cast<char*>("-a")};
        command.insert(command.end(), argv, argv + argc);
        command.push_back(nullptr);
        execvp("xvfb-run", command.data());
        return 1;
    }
    std::unique_ptr<QCoreApplication> application;
    if (kind == Application::widgets) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        application = std::make_unique<QApplication>(argc, argv);
    } else {
        application = std::make_unique<QCoreApplication>(argc, argv);
    }
    if (setUp)
        setUp();
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    for (auto it = teardowns().rbegin(); it != teardowns().rend(); ++it)
        (*it)();
    return 0;
}

} // namespace vellicord::bench
