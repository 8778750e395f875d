// Start-up of the real program with realistic libraries of 10,000 and 100,000 captures, beside a Qt
// hello-world started and timed the same way: from the start of the process to its event loop
// answering a show-window request (the first thing it can do for anyone). Also the resident size
// against the library file's size, at its peak before quitting and once it has settled, and what a
// quit without any change costs: its time, the peak over the whole run, and whether it wrote the
// library. Needs an X server: without DISPLAY it runs itself under xvfb-run.
#include "bench/X11BenchMain.h"
#include "platform/qt/SingleInstance.h"
#include "tests/core/library/LibrarySamples.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <csignal>
#include <optional>
#include <vector>
#include <fcntl.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

extern char** environ;

namespace {

using namespace vellicord;

// True once the running program answered the request.
bool answered(const QString& socketPath)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(50))
        return false;
    socket.write(SingleInstance::showWindowRequest.toUtf8() + '\n');
    socket.flush();
    while (!socket.canReadLine())
        if (!socket.waitForReadyRead(2000))
            return false;
    return socket.readLine() == "ok\n";
}

// A field of /proc/<pid>/status in megabytes (VmRSS, VmHWM).
double statusMegabytes(pid_t pid, const char* field)
{
    QFile status(QStringLiteral("/proc/%1/status").arg(pid));
    if (!status.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : status.readAll().split('\n')) {
        if (line.startsWith(field))
            return double(line.mid(int(qstrlen(field)) + 1).trimmed().split(' ').first().toLongLong()) / 1024.0;
    }
    return 0;
}

// The resident size once it has stopped changing by more than a megabyte for a second (work left
// for after the first paint is done by then), or after 20 seconds.
double settledMegabytes(pid_t pid)
{
    QElapsedTimer clock;
    clock.start();
    double last = statusMegabytes(pid, "VmRSS:");
    qint64 stableSince = clock.elapsed();
    while (clock.elapsed() < 20000) {
        QThread::msleep(100);
        const double now = statusMegabytes(pid, "VmRSS:");
        if (std::abs(now - last) > 1.0) {
            last = now;
            stableSince = clock.elapsed();
        } else if (clock.elapsed() - stableSince >= 1000) {
            break;
        }
    }
    return statusMegabytes(pid, "VmRSS:");
}

struct FileStamp {
    ino_t inode = 0;
    timespec modified{};
    bool operator==(const FileStamp& other) const
    {
        return inode == other.inode && modified.tv_sec == other.modified.tv_sec
            && modified.tv_nsec == other.modified.tv_nsec;
    }
};

std::optional<FileStamp> stamp(const QString& path)
{
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return std::nullopt;
    return FileStamp{info.st_ino, info.st_mtim};
}

// A program started with posix_spawn, so that wait4 gives its peak resident size over its whole run.
struct Child {
    pid_t pid = -1;

    Child(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment)
    {
        std::vector<QByteArray> strings{QFile::encodeName(program)};
        for (const QString& argument : arguments)
            strings.push_back(argument.toLocal8Bit());
        std::vector<QByteArray> variables;
        for (const QString& variable : environment.toStringList())
            variables.push_back(variable.toLocal8Bit());
        std::vector<char*> argv, envp;
        for (QByteArray& s : strings)
            argv.push_back(s.data());
        argv.push_back(nullptr);
        for (QByteArray& s : variables)
            envp.push_back(s.data());
        envp.push_back(nullptr);
        // Its log lines would mix with the figures.
        posix_spawn_file_actions_t actions;
        ::posix_spawn_file_actions_init(&actions);
        ::posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
        ::posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
        if (::posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data()) != 0)
            pid = -1;
        ::posix_spawn_file_actions_destroy(&actions);
    }

    // Ends it the way a logout does; the time to its end and its peak resident size in megabytes.
    std::pair<double, double> terminate()
    {
        QElapsedTimer clock;
        clock.start();
        ::kill(pid, SIGTERM);
        int status = 0;
        rusage usage{};
        ::wait4(pid, &status, 0, &usage);
        pid = -1;
        return {double(clock.nsecsElapsed()) / 1e6, double(usage.ru_maxrss) / 1024.0};
    }

    ~Child()
    {
        if (pid > 0) {
            ::kill(pid, SIGKILL);
            ::waitpid(pid, nullptr, 0);
        }
    }
};

struct Home {
    QTemporaryDir folder;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    QString socketPath;
    QString libraryPath;
    double fileMegabytes = 0;

    explicit Home(int captures)
    {
        const QString data = folder.filePath(QStringLiteral("data"));
        QDir().mkpath(data + QStringLiteral("/Vellicord"));
        libraryPath = data + QStringLiteral("/Vellicord/Vellicord.json");
        if (captures > 0) {
            const QByteArray bytes = LibrarySamples::bytes(LibrarySamples::realistic(captures));
            LibrarySamples::writeFile(libraryPath, bytes);
            LibrarySamples::writeFile(data + QStringLiteral("/Vellicord/Vellicord.backup.json"), bytes);
            fileMegabytes = double(bytes.size()) / (1024.0 * 1024.0);
        }
        const QString run = folder.filePath(QStringLiteral("run"));
        QDir().mkpath(run);
        QFile::setPermissions(run, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        environment.insert(QStringLiteral("XDG_DATA_HOME"), data);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_STATE_HOME"), folder.filePath(QStringLiteral("state")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), run);
        socketPath = SingleInstance(run).socketPath();
    }
};

void measureLaunch(benchmark::State& state, const QString& program, bool hello)
{
    const int captures = int(state.range(0));
    Home home(captures);
    const QStringList arguments = hello ? QStringList{home.socketPath} : QStringList{};
    std::vector<double> milliseconds, quits;
    double peak = 0, settled = 0, lifePeak = 0;
    int writes = 0;
    bool first = true;
    for (auto _ : state) {
        const std::optional<FileStamp> before = stamp(home.libraryPath);
        QElapsedTimer clock;
        clock.start();
        Child child(program, arguments, home.environment);
        while (!answered(home.socketPath) && clock.elapsed() < 20000)
            QThread::usleep(500);
        const double elapsed = double(clock.nsecsElapsed()) / 1e6;
        state.SetIterationTime(elapsed / 1e3);
        milliseconds.push_back(elapsed);
        state.PauseTiming();
        if (first) {
            peak = statusMegabytes(child.pid, "VmHWM:");
            settled = settledMegabytes(child.pid);
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
    state.counters["peak_MB"] = peak;
    state.counters["settled_MB"] = settled;
    if (home.fileMegabytes > 0) {
        state.counters["file_MB"] = home.fileMegabytes;
        state.counters["peak_x_file"] = peak / home.fileMegabytes;
        state.counters["settled_x_file"] = settled / home.fileMegabytes;
        state.counters["quits_writing"] = writes;
    }
    std::sort(quits.begin(), quits.end());
    state.counters["quit_ms"] = quits[quits.size() / 2];
    state.counters["run_peak_MB"] = lifePeak;
}

void QtHelloWorld(benchmark::State& state)
{
    measureLaunch(state, QStringLiteral(HELLO_WORLD_BINARY), true);
}
BENCHMARK(QtHelloWorld)->Arg(0)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

void LaunchToEventLoop(benchmark::State& state)
{
    measureLaunch(state, QStringLiteral(VELLICORD_BINARY), false);
}
BENCHMARK(LaunchToEventLoop)->Arg(10000)->Arg(100000)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

// An earlier build of the program, timed the same way in the same run for a figure before and
// after a change: VELLICORD_BASELINE=/path/to/vellicord.
void BaselineLaunchToEventLoop(benchmark::State& state)
{
    measureLaunch(state, qEnvironmentVariable("VELLICORD_BASELINE"), false);
}

} // namespace

int main(int argc, char** argv)
{
    if (!qEnvironmentVariableIsEmpty("VELLICORD_BASELINE")) {
        benchmark::RegisterBenchmark("BaselineLaunchToEventLoop", BaselineLaunchToEventLoop)
            ->Arg(10000)
            ->Arg(100000)
            ->Iterations(10)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    }
    return vellicord::bench::runOnX11(argc, argv, vellicord::bench::Application::core);
}
