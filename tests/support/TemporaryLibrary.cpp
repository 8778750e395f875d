#include "support/TemporaryLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <stdexcept>

namespace vellicord {

TemporaryLibrary::TemporaryLibrary()
{
    if (!folder.isValid())
        throw std::runtime_error("no temporary folder");
    files.dataDirectory = folder.path();
    files.stateDirectory = folder.path();
    libraryPath = folder.filePath(QStringLiteral("Vellicord/Vellicord.json"));
    backupPath = Store::backupURL(libraryPath);
}

Store::Services TemporaryLibrary::services()
{
    return Store::Services{
        .fileSystem = files, .defaults = defaults, .saveQueue = queue, .scheduler = time, .clock = time};
}

std::unique_ptr<Store> TemporaryLibrary::open()
{
    return std::make_unique<Store>(libraryPath, services());
}

void TemporaryLibrary::settle(std::chrono::milliseconds by)
{
    time.advance(by);
    writes += int(queue.pending());
    queue.runDue();
    QCoreApplication::processEvents();
}

QByteArray TemporaryLibrary::readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void TemporaryLibrary::writeAll(const QString& path, const QByteArray& bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

} // namespace vellicord
