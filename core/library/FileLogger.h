#pragma once

#include "platform/Clock.h"
#include "platform/FileSystem.h"
#include "platform/SerialQueue.h"

#include <QDateTime>
#include <QString>

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

namespace vellicord {

// The application's own plain-text log: one line per message, "[<UTC time>] <message>", appended
// to vellicord.log for ever (no rotation). Lines are written on a serial queue, in the order they
// were logged; the caller never waits for the disk.
//
// The application keeps one for the whole process and makes it the shared one; code that logs
// without being handed a logger (logApp, the library's persistence) writes to the shared one.
class FileLogger {
public:
    // The label of the queue the lines are written on.
    static constexpr const char* queueLabel = "com.vellicord.filelog";
    // When set and not empty, the folder of the log file, used unchanged.
    static constexpr const char* directoryVariable = "VELLICORD_LOG_DIR";
    static constexpr const char* fileName = "vellicord.log";

    // The clock stamps each line when it is written.
    FileLogger(FileSystem& files, SerialQueue& queue, const Clock& clock);
    // Waits for the lines still queued, which refer to this logger.
    ~FileLogger();
    FileLogger(const FileLogger&) = delete;
    FileLogger& operator=(const FileLogger&) = delete;

    // Opens the log file for appending (O_APPEND, so another process logging to the same file
    // never overwrites our lines). Does nothing while the file is open; after a failure, tries
    // again. A failure is reported with one line on standard error. Returns whether the file is open.
    bool start();
    // Appends one line, asynchronously. Lines logged while the file is not open are dropped.
    void log(const QString& message);

    // The folder of the log file: VELLICORD_LOG_DIR when set and not empty, else "Vellicord" in
    // the logs folder.
    static QString directory(const FileSystem& files);

    // The message with every control character (line breaks included) and lone surrogate replaced
    // by U+FFFD, so that text from other programs always stays one line.
    static QString singleLine(const QString& message);

    static void setShared(FileLogger* logger);
    static FileLogger* shared();
    // Logs through the shared logger; nothing when there is none.
    static void logToShared(const QString& message);

private:
    FileSystem& files_;
    SerialQueue& queue_;
    const Clock& clock_;
    std::mutex mutex_; // guards handle_
    std::unique_ptr<AppendFile> handle_;
    std::atomic<bool> started_ = false;
};

} // namespace vellicord
