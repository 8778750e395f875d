#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>

#include <chrono>
#include <fcntl.h>
#include <unistd.h>

namespace vellicord::bench {

// A folder on the disk (not a memory-backed temporary folder, where fsync costs nothing).
inline QString diskFolder()
{
    const QString cache = qEnvironmentVariableIsEmpty("XDG_CACHE_HOME") ? QDir::homePath() + QStringLiteral("/.cache")
                                                                        : qEnvironmentVariable("XDG_CACHE_HOME");
    QDir().mkpath(cache);
    return cache + QStringLiteral("/vellicord-bench-XXXXXX");
}

inline double millisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// What a save is measured against: the same bytes written to two files, each with fsync.
inline void writeTwiceWithSync(const QString& folder, const QByteArray& bytes)
{
    for (const char* name : {"/plain.json", "/plain.backup.json"}) {
        const int fd = ::open(QFile::encodeName(folder + QLatin1String(name)).constData(),
                              O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        size_t done = 0;
        while (done < size_t(bytes.size())) {
            const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size()) - done);
            if (n <= 0)
                break;
            done += size_t(n);
        }
        ::fsync(fd);
        ::close(fd);
    }
}

} // namespace vellicord::bench
