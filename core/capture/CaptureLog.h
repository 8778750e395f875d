#pragma once

#include <QString>

#include <functional>

namespace vellicord {

// Where the capture's log lines go: by default, capture lines to the system log's "capture"
// category and app lines to logApp (system log and log file); tests replace the sink to record them.
namespace CaptureLog {

enum class Channel { capture, app };
enum class Level { debug, error };

using Sink = std::function<void(Channel, Level, const QString&)>;

// A null sink restores the default. Safe to call while another thread logs.
void setSink(Sink sink);

void capture(Level level, const QString& message);
// A line of the application's debug log.
void app(const QString& message);

// Text from outside (application names, script output) made fit for one log line: control
// characters and unpaired surrogates become U+FFFD.
QString sanitized(const QString& untrusted);

} // namespace CaptureLog
} // namespace vellicord
