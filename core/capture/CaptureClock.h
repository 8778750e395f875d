#pragma once

#include <chrono>

namespace vellicord {

// The capture's sense of time: its deadlines and pauses go through this so that tests can run a
// capture's waits without waiting.
class CaptureClock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~CaptureClock() = default;
    virtual TimePoint now() = 0;
    virtual void sleep(std::chrono::milliseconds duration) = 0;

    // The real clock.
    static CaptureClock& system();
};

} // namespace vellicord
