#include "platform/qt/SystemClock.h"

#include <thread>

namespace vellicord {

QDateTime SystemClock::now() const
{
    return QDateTime::currentDateTimeUtc();
}

SystemClock::TimePoint SystemClock::steadyNow() const
{
    return std::chrono::steady_clock::now();
}

void SystemClock::sleep(std::chrono::milliseconds duration)
{
    std::this_thread::sleep_for(duration);
}

} // namespace vellicord
