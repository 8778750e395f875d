#pragma once

#include "core/capture/CaptureLog.h"

#include <QStringList>

namespace vellicord {

// Records the capture's log lines as "capture.error: ...", "capture.debug: ..." or "app: ...".
class LogRecorder {
public:
    QStringList lines;

    LogRecorder()
    {
        CaptureLog::setSink([this](CaptureLog::Channel channel, CaptureLog::Level level, const QString& message) {
            const QString prefix = channel == CaptureLog::Channel::app ? QStringLiteral("app: ")
                                   : level == CaptureLog::Level::error ? QStringLiteral("capture.error: ")
                                                                       : QStringLiteral("capture.debug: ");
            lines.append(prefix + message);
        });
    }
    ~LogRecorder() { CaptureLog::setSink(nullptr); }
    LogRecorder(const LogRecorder&) = delete;
    LogRecorder& operator=(const LogRecorder&) = delete;
};

} // namespace vellicord
