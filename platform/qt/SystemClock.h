#pragma once

#include "platform/Clock.h"

namespace vellicord {

class SystemClock final : public Clock {
public:
    QDateTime now() const override;
    TimePoint steadyNow() const override;
    void sleep(std::chrono::milliseconds duration) override;
};

} // namespace vellicord
