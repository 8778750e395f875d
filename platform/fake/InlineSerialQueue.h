#pragma once

#include "platform/SerialQueue.h"

#include <vector>

namespace vellicord {

// A serial queue for tests: async and sync work runs at once on the calling thread; delayed work
// waits until runDelayed() is called.
class InlineSerialQueue : public SerialQueue {
public:
    void async(Work work) override;
    void sync(Work work) override;
    WorkItem asyncAfter(std::chrono::milliseconds delay, Work work) override;

    // Runs the delayed work that was not cancelled, in submission order.
    void runDelayed();
    int asyncCount = 0;
    int syncCount = 0;

private:
    std::vector<std::pair<WorkItem, Work>> delayed_;
};

} // namespace vellicord
