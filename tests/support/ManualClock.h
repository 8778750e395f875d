#pragma once

#include "platform/Clock.h"

#include <QDateTime>

namespace vellicord {

// Time that moves only when a test advances it or something sleeps; both clocks move together.
class ManualClock : public Clock {
public:
    explicit ManualClock(QDateTime start = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC))
        : start_(std::move(start))
    {
    }

    QDateTime now() const override { return start_.addMSecs(elapsed_.count()); }
    TimePoint steadyNow() const override { return TimePoint{} + elapsed_; }
    // Moves time on, as the sleeper would see it.
    void sleep(std::chrono::milliseconds duration) override { elapsed_ += duration; }

    virtual void advance(std::chrono::milliseconds by) { elapsed_ += by; }
    // How far time has moved since the start.
    std::chrono::milliseconds elapsed() const { return elapsed_; }

private:
    QDateTime start_;
    std::chrono::milliseconds elapsed_{0};
};

} // namespace vellicord
