#include "core/capture/CaptureClock.h"

#include <thread>

namespace vellicord {

namespace {

class SystemCaptureClock final : public CaptureClock {
public:
    TimePoint now() override { return std::chrono::steady_clock::now(); }
    void sleep(std::chrono::milliseconds duration) override { std::this_thread::sleep_for(duration); }
};

} // namespace

CaptureClock& CaptureClock::system()
{
    static SystemCaptureClock clock;
    return clock;
}

} // namespace vellicord
