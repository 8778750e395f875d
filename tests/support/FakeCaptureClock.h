#pragma once

#include "core/capture/CaptureClock.h"

namespace vellicord {

// Time that moves only when the capture sleeps.
class FakeCaptureClock final : public CaptureClock {
public:
    TimePoint current{};
    TimePoint now() override { return current; }
    void sleep(std::chrono::milliseconds duration) override { current += duration; }
    std::chrono::milliseconds elapsed() const
    {
        return std::chrono::duration_cast<std::chrono::milliseconds>(current - TimePoint{});
    }
};

} // namespace vellicord
