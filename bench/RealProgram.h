#pragma once

// The real program as the benchmarks that start it see it: a home of its own with an everyday
// library of a given size, the program started and ended as a desktop does, and what /proc tells
// of its memory and of the library's files.

#include "platform/qt/SingleInstance.h"
#include "tests/core/library/LibrarySamples.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcessEnvironment>
#include <QTemporaryDir>
#include <QThread>

#include <cmath>
#include <csignal>
#include <optional>
#include <utility>
#include <vector>
#include <fcntl.h>
#include <malloc.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>

extern char** environ;

namespace vellicord::bench {

// True once the running program answered the request.
inline bool answered(const QString& socketPath)
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
inline double statusMegabytes(pid_t pid, const char* field)
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

// A field of /proc/<pid>/smaps_rollup in megabytes (AnonHugePages: the memory in huge pages).
inline double rollupMegabytes(pid_t pid, const char* field)
{
    QFile rollup(QStringLiteral("/proc/%1/smaps_rollup").arg(pid));
    if (!rollup.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray& line : rollup.readAll().split('\n')) {
        if (line.startsWith(field))
            return double(line.mid(int(qstrlen(field))).trimmed().split(' ').first().toLongLong()) / 1024.0;
    }
    return 0;
}

// Starts the peak resident size (VmHWM) of the process anew from its present size.
inline void resetPeak(pid_t pid)
{
    QFile peak(QStringLiteral("/proc/%1/clear_refs").arg(pid));
    if (peak.open(QIODevice::WriteOnly))
        peak.write("5");
}

// The resident size once it has stopped changing by more than a megabyte for two seconds (work left
// for after the first paint is done by then), or after a minute.
inline double settledMegabytes(pid_t pid)
{
    QElapsedTimer clock;
    clock.start();
    double last = statusMegabytes(pid, "VmRSS:");
    qint64 stableSince = clock.elapsed();
    while (clock.elapsed() < 60000) {
        QThread::msleep(100);
        const double now = statusMegabytes(pid, "VmRSS:");
        if (std::abs(now - last) > 1.0) {
            last = now;
            stableSince = clock.elapsed();
        } else if (clock.elapsed() - stableSince >= 2000) {
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

inline std::optional<FileStamp> stamp(const QString& path)
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
    QString lockPath; // the single-instance lock, let go of as the program's last act
    QString libraryPath;
    QString backupPath;
    double fileMegabytes = 0;

    explicit Home(int captures)
    {
        const QString data = folder.filePath(QStringLiteral("data"));
        QDir().mkpath(data + QStringLiteral("/Vellicord"));
        libraryPath = data + QStringLiteral("/Vellicord/Vellicord.json");
        backupPath = data + QStringLiteral("/Vellicord/Vellicord.backup.json");
        if (captures > 0) {
            const QByteArray bytes = LibrarySamples::bytes(LibrarySamples::everyday(captures));
            LibrarySamples::writeFile(libraryPath, bytes);
            LibrarySamples::writeFile(backupPath, bytes);
            fileMegabytes = double(bytes.size()) / (1024.0 * 1024.0);
        }
        forgetOwnPeak();
        const QString run = folder.filePath(QStringLiteral("run"));
        QDir().mkpath(run);
        QFile::setPermissions(run, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        environment.insert(QStringLiteral("XDG_DATA_HOME"), data);
        environment.insert(QStringLiteral("XDG_CONFIG_HOME"), folder.filePath(QStringLiteral("config")));
        environment.insert(QStringLiteral("XDG_STATE_HOME"), folder.filePath(QStringLiteral("state")));
        environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), run);
        socketPath = SingleInstance(run).socketPath();
        lockPath = SingleInstance(run).lockPath();
    }

    // A program started with posix_spawn inherits, in the peak resident size wait4 reports for it,
    // the peak of the process that started it: the kernel counts the peak of the address space the
    // new program replaces, which is this benchmark's own, shared until the exec. Made of the
    // library it has just built (its records and their bytes, four times the file), that peak
    // would stand for the program's. It is given back and forgotten first.
    static void forgetOwnPeak()
    {
        ::malloc_trim(0);
        resetPeak(::getpid());
    }
};

} // namespace vellicord::bench
