#pragma once

#include "platform/Clock.h"
#include "platform/Scheduler.h"

#include <QDateTime>

#include <cstdint>
#include <map>
#include <utility>

namespace vellicord {

// Time that moves only when a test advances it: a clock and a scheduler on the same time line.
// Work runs inside advance(), in the order of its due time (then of scheduling).
class ManualScheduler : public Scheduler, public Clock {
public:
    explicit ManualScheduler(QDateTime start = QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC));

    Item after(std::chrono::milliseconds delay, Work work) override;
    QDateTime now() const override { return now_; }

    // Moves time forward, running the work that falls due on the way (also work scheduled by it).
    void advance(std::chrono::milliseconds by);
    // Work scheduled and neither run nor cancelled.
    int pendingCount() const;

private:
    QDateTime now_;
    uint64_t sequence_ = 0;
    std::map<std::pair<qint64, uint64_t>, std::pair<Item, Work>> due_;
};

} // namespace vellicord
