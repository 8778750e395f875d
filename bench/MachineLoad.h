#pragma once

// The machine's load beside a figure, and a machine made busy on purpose: a figure of a worst case
// means little without how busy the processors were while it was taken.

#include <QByteArray>
#include <QFile>
#include <QList>

#include <benchmark/benchmark.h>

#include <csignal>
#include <vector>

#include <sys/wait.h>
#include <unistd.h>

namespace vellicord::bench {

// The load average over the last minute.
inline double loadAverage()
{
    QFile file(QStringLiteral("/proc/loadavg"));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    return file.readAll().split(' ').value(0).toDouble();
}

// The load, as a counter of the figure, taken when the figure is reported.
inline void reportLoad(benchmark::State& state)
{
    state.counters["load1"] = loadAverage();
}

// Processes that keep a processor each busy for as long as the object lives, as the other programs
// of a busy desktop do (a build, a browser's page, an indexer).
class BusyProcesses {
public:
    explicit BusyProcesses(int count)
    {
        for (int i = 0; i < count; ++i) {
            const pid_t pid = ::fork();
            if (pid == 0) {
                // The child only spins: nothing of the parent's state is touched after the fork.
                for (unsigned long n = 0;; ++n)
                    asm volatile("" : : "r"(n));
            }
            if (pid > 0)
                pids_.push_back(pid);
        }
    }
    ~BusyProcesses()
    {
        for (const pid_t pid : pids_)
            ::kill(pid, SIGKILL);
        for (const pid_t pid : pids_)
            ::waitpid(pid, nullptr, 0);
    }
    BusyProcesses(const BusyProcesses&) = delete;
    BusyProcesses& operator=(const BusyProcesses&) = delete;

private:
    std::vector<pid_t> pids_;
};

} // namespace vellicord::bench
