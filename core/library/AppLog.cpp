#include "core/library/AppLog.h"

#include "core/library/FileLogger.h"
#include "core/library/LogCategories.h"

namespace vellicord {

void logAppMessage(const QString& message)
{
    // The system log first, on the caller's thread; then the file line is queued.
    qCDebug(LogCategories::app).noquote() << FileLogger::singleLine(message);
    FileLogger::logToShared(message);
}

} // namespace vellicord
