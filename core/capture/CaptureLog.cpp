#include "core/capture/CaptureLog.h"

#include "core/library/AppLog.h"
#include "core/library/FileLogger.h"
#include "core/library/LogCategories.h"

#include <mutex>

namespace vellicord::CaptureLog {

namespace {

std::mutex sinkMutex;
Sink currentSink;

void defaultSink(Channel channel, Level level, const QString& message)
{
    if (channel == Channel::app) {
        logAppMessage(message);
    } else if (level == Level::error) {
        qCWarning(LogCategories::capture()).noquote() << message;
    } else {
        qCDebug(LogCategories::capture()).noquote() << message;
    }
}

void emitLine(Channel channel, Level level, const QString& message)
{
    Sink sink;
    {
        std::lock_guard lock(sinkMutex);
        sink = currentSink;
    }
    if (sink)
        sink(channel, level, message);
    else
        defaultSink(channel, level, message);
}

} // namespace

void setSink(Sink sink)
{
    std::lock_guard lock(sinkMutex);
    currentSink = std::move(sink);
}

void capture(Level level, const QString& message) { emitLine(Channel::capture, level, message); }

void app(const QString& message) { emitLine(Channel::app, Level::debug, message); }

QString sanitized(const QString& untrusted)
{
    return FileLogger::singleLine(untrusted);
}

} // namespace vellicord::CaptureLog
