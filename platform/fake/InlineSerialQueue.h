#pragma once

#include "platform/SerialQueue.h"

#include <vector>

namespace vellicord {

// A serial queue for tests: work runs on the calling thread, sync work at once, async work at once
// unless the test holds it (then runHeld() runs it), delayed work when runDelayed() is called.
class InlineSerialQueue : public SerialQueue {
public:
    void async(Work work) override;
    void sync(Work work) override;
    WorkItem asyncAfter(std::chrono::milliseconds delay, Work work) override;

    // Runs the delayed work that was not cancelled, in submission order.
    void runDelayed();
    // Runs the async work held so far, in submission order.
    void runHeld();
    bool holdAsync = false;
    int asyncCount = 0;
    int syncCount = 0;

private:
    std::vector<std::pair<WorkItem, Work>> delayed_;
    std::vector<Work> held_;
};

} // namespace vellicord
