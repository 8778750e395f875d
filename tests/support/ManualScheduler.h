#pragma once

#include "platform/Scheduler.h"
#include "support/ManualClock.h"

#include <cstdint>
#include <map>
#include <utility>

namespace vellicord {

// A clock and a scheduler on the same time line. Work runs inside advance(), in the order of its
// due time (then of scheduling); sleeping moves time without running any, as the sleeping thread
// is not the main thread.
class ManualScheduler : public Scheduler, public ManualClock {
public:
    using ManualClock::ManualClock;

    Item after(std::chrono::milliseconds delay, Work work) override;

    // Moves time forward, running the work that falls due on the way (also work scheduled by it).
    void advance(std::chrono::milliseconds by) override;
    // Work scheduled and neither run nor cancelled.
    int pendingCount() const;

private:
    uint64_t sequence_ = 0;
    std::map<std::pair<std::chrono::milliseconds, uint64_t>, std::pair<Item, Work>> due_;
};

} // namespace vellicord
