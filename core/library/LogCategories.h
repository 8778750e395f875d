#pragma once

#include <QLoggingCategory>

namespace vellicord {

// The system-log categories, named "<bundle id>.<category>". Debug lines of "app" are off unless
// QT_LOGGING_RULES turns them on, like debug-level lines of a system log that keeps them only on request.
namespace LogCategories {

// "com.ruvo.vellicord": the application's identifier, the system log's subsystem.
inline constexpr const char* subsystem = "com.ruvo.vellicord";

const QLoggingCategory& app();
const QLoggingCategory& capture();
const QLoggingCategory& store();
const QLoggingCategory& hotkey();

} // namespace LogCategories
} // namespace vellicord
