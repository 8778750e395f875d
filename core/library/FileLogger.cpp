#include "core/library/FileLogger.h"

#include "core/foundation/IsoDate.h"
#include "core/foundation/Text.h"

#include <cstdio>
#include <cstring>
#include <shared_mutex>

namespace vellicord {

namespace {

// A line logged through the shared logger holds the lock for reading until it is queued, so that
// replacing the logger (its destructor does) waits for lines already on their way.
std::shared_mutex sharedLock;
FileLogger* sharedLogger = nullptr;

bool breaksLine(char16_t c)
{
    return c < 0x20 || (c >= 0x7F && c <= 0x9F) || c == 0x2028 || c == 0x2029;
}

} // namespace

FileLogger::FileLogger(FileSystem& files, SerialQueue& queue, const Clock& clock)
    : files_(files)
    , queue_(queue)
    , clock_(clock)
{
}

FileLogger::~FileLogger()
{
    if (shared() == this)
        setShared(nullptr);
    queue_.sync([] {});
}

QString FileLogger::directory(const FileSystem& files)
{
    const QString configured = qEnvironmentVariable(directoryVariable);
    if (!configured.isEmpty())
        return configured;
    return files.logsDirectory() + QStringLiteral("/Vellicord");
}

bool FileLogger::start()
{
    std::lock_guard lock(mutex_);
    if (handle_)
        return true;
    const QString folder = directory(files_);
    try {
        files_.createDirectories(folder);
        handle_ = files_.openForAppending(folder + QLatin1Char('/') + QLatin1String(fileName));
    } catch (const FileSystemError& error) {
        const QByteArray line
            = "FileLogger could not open " + folder.toUtf8() + ": " + std::strerror(error.code()) + "\n";
        std::fwrite(line.constData(), 1, size_t(line.size()), stderr);
        std::fflush(stderr);
        return false;
    }
    started_ = true;
    return true;
}

void FileLogger::log(const QString& message)
{
    if (!started_)
        return;
    queue_.async([this, message = singleLine(message)] {
        std::lock_guard lock(mutex_);
        if (!handle_)
            return;
        std::string line;
        line.reserve(size_t(message.size()) + 24);
        line.push_back('[');
        IsoDate::appendUtf8(line, clock_.now());
        line.append("] ");
        line.append(message.toUtf8().toStdString());
        line.push_back('\n');
        try {
            handle_->append(QByteArrayView(line.data(), qsizetype(line.size())));
        } catch (const FileSystemError&) {
            // A full disk or a removed file costs the line; the application goes on.
        }
    });
}

QString FileLogger::singleLine(const QString& message)
{
    QString line = Text::repairingSurrogates(message);
    for (QChar& c : line) {
        if (breaksLine(c.unicode()))
            c = QChar(QChar::ReplacementCharacter);
    }
    return line;
}

void FileLogger::setShared(FileLogger* logger)
{
    std::unique_lock lock(sharedLock);
    sharedLogger = logger;
}

FileLogger* FileLogger::shared()
{
    std::shared_lock lock(sharedLock);
    return sharedLogger;
}

void FileLogger::logToShared(const QString& message)
{
    std::shared_lock lock(sharedLock);
    if (sharedLogger)
        sharedLogger->log(message);
}

} // namespace vellicord
