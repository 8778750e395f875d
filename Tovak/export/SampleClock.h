#pragma once

#include "platform/Clock.h"

namespace vellicord {

// The wall clock of the export's libraries: always the samples' reference time, so that what the
// Store stamps (a prompt's creation and change) is the same on every run. Deadlines and pauses
// use real time.
class SampleClock final : public Clock {
public:
    QDateTime now() const override;
    TimePoint steadyNow() const override;
    void sleep(std::chrono::milliseconds duration) override;
};

} // namespace vellicord
