#pragma once

#include "platform/SerialQueue.h"

#include <cstdint>
#include <map>
#include <utility>

namespace vellicord {

// A serial queue for tests: nothing runs until the test says so, and time is the queue's own,
// moved on by advance(). Work runs on the test's thread, in the order a real queue would run it.
class ManualSerialQueue : public SerialQueue {
public:
    void async(Work work) override;
    // Runs everything due now, then the work.
    void sync(Work work) override;
    WorkItem asyncAfter(std::chrono::milliseconds delay, Work work) override;

    // Runs the work that is due now, including work that it submits for now.
    void runDue();
    // Moves the clock on, running delayed work as its time comes.
    void advance(std::chrono::milliseconds time);
    std::chrono::milliseconds now() const { return now_; }
    // Work waiting, cancelled delayed work included.
    size_t pending() const { return work_.size(); }

private:
    struct Item {
        WorkItem item;
        Work work;
    };
    std::chrono::milliseconds now_{0};
    uint64_t sequence_ = 0;
    std::map<std::pair<std::chrono::milliseconds, uint64_t>, Item> work_;
};

} // namespace vellicord
