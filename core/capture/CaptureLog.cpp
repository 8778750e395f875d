#include "core/capture/CaptureLog.h"

#include "core/foundation/Text.h"

#include <QLoggingCategory>

#include <mutex>

namespace vellicord::CaptureLog {

namespace {

// Debug lines only on request (QT_LOGGING_RULES), as a system log keeps them.
Q_LOGGING_CATEGORY(captureCategory, "com.ruvo.vellicord.capture", QtInfoMsg)
Q_LOGGING_CATEGORY(appCategory, "com.ruvo.vellicord.app", QtInfoMsg)

std::mutex sinkMutex;
Sink currentSink;

void defaultSink(Channel channel, Level level, const QString& message)
{
    const QLoggingCategory& category = channel == Channel::capture ? captureCategory() : appCategory();
    if (level == Level::error)
        qCWarning(category).noquote() << message;
    else
        qCDebug(category).noquote() << message;
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
    QString text = Text::repairingSurrogates(untrusted);
    for (QChar& c : text) {
        const char16_t u = c.unicode();
        if (u < 0x20 || (u >= 0x7F && u <= 0x9F) || u == 0x2028 || u == 0x2029)
            c = QChar(0xFFFD);
    }
    return text;
}

} // namespace vellicord::CaptureLog
