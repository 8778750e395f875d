#include "support/FaultyFileSystem.h"

#include <QDir>

namespace vellicord {

void FaultyFileSystem::fail(Operation operation, const QString& path, int code)
{
    failures_.append({operation, path.isEmpty() ? QString() : QDir::cleanPath(path), code});
}

int FaultyFileSystem::failureFor(Operation operation, const QString& path) const
{
    const QString clean = QDir::cleanPath(path);
    for (const Failure& failure : failures_) {
        if (failure.operation != operation)
            continue;
        if (failure.path.isEmpty() || failure.path == clean)
            return failure.code;
        if (operation == Operation::createDirectory && failure.path.startsWith(clean + QLatin1Char('/')))
            return failure.code;
    }
    return 0;
}

QString FaultyFileSystem::applicationSupportDirectory() const
{
    return dataDirectory.isEmpty() ? PosixFileSystem::applicationSupportDirectory() : dataDirectory;
}

QString FaultyFileSystem::logsDirectory() const
{
    return stateDirectory.isEmpty() ? PosixFileSystem::logsDirectory() : stateDirectory;
}

void FaultyFileSystem::createDirectories(const QString& path)
{
    if (const int code = failureFor(Operation::createDirectory, path))
        throw FileSystemError(QStringLiteral("Could not create the folder"), QDir::cleanPath(path), code);
    PosixFileSystem::createDirectories(path);
}

void FaultyFileSystem::copyFile(const QString& from, const QString& to)
{
    if (const int code = failureFor(Operation::copy, to))
        throw FileSystemError(QStringLiteral("Could not create"), to, code);
    PosixFileSystem::copyFile(from, to);
    record(Operation::copy, to);
}

QList<FaultyFileSystem::Step> FaultyFileSystem::steps() const
{
    const std::lock_guard lock(stepsMutex_);
    return steps_;
}

void FaultyFileSystem::clearSteps()
{
    const std::lock_guard lock(stepsMutex_);
    steps_.clear();
}

void FaultyFileSystem::record(Operation operation, const QString& path)
{
    const std::lock_guard lock(stepsMutex_);
    steps_.append({operation, QDir::cleanPath(path)});
}

void FaultyFileSystem::writeTemporary(int fd, QByteArrayView bytes, const QString& target)
{
    if (const int code = failureFor(Operation::write, target)) {
        PosixFileSystem::writeTemporary(fd, bytes.first(bytes.size() / 2), target);
        throw FileSystemError(QStringLiteral("Could not write"), target, code);
    }
    PosixFileSystem::writeTemporary(fd, bytes, target);
    record(Operation::write, target);
}

void FaultyFileSystem::syncFile(int fd, const QString& target)
{
    if (const int code = failureFor(Operation::syncFile, target))
        throw FileSystemError(QStringLiteral("Could not write"), target, code);
    PosixFileSystem::syncFile(fd, target);
    record(Operation::syncFile, target);
}

void FaultyFileSystem::syncFolder(const QString& folder, const QString& target)
{
    if (const int code = failureFor(Operation::syncFolder, target))
        throw FileSystemError(QStringLiteral("Could not flush the folder"), folder, code);
    PosixFileSystem::syncFolder(folder, target);
    record(Operation::syncFolder, folder);
}

void FaultyFileSystem::replace(const QString& temporary, const QString& target)
{
    if (const int code = failureFor(Operation::rename, target))
        throw FileSystemError(QStringLiteral("Could not replace"), target, code);
    PosixFileSystem::replace(temporary, target);
    record(Operation::rename, target);
}

} // namespace vellicord
