#include "Tovak/export/SampleClock.h"

#include "Tovak/export/SampleData.h"

#include <thread>

namespace vellicord {

QDateTime SampleClock::now() const
{
    return SampleData::screenshotReferenceDate();
}

Clock::TimePoint SampleClock::steadyNow() const
{
    return std::chrono::steady_clock::now();
}

void SampleClock::sleep(std::chrono::milliseconds duration)
{
    std::this_thread::sleep_for(duration);
}

} // namespace vellicord
