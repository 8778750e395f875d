#include "platform/qt/SystemClock.h"

namespace vellicord {

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTimeUtc();
}

} // namespace vellicord
