#include "support/ManualSerialQueue.h"

namespace vellicord {

void ManualSerialQueue::async(Work work)
{
    work_.emplace(std::pair(now_, sequence_++), Item{WorkItem(), std::move(work)});
}

void ManualSerialQueue::sync(Work work)
{
    runDue();
    work();
}

SerialQueue::WorkItem ManualSerialQueue::asyncAfter(std::chrono::milliseconds delay, Work work)
{
    WorkItem item;
    work_.emplace(std::pair(now_ + delay, sequence_++), Item{item, std::move(work)});
    return item;
}

void ManualSerialQueue::runDue()
{
    while (!work_.empty() && work_.begin()->first.first <= now_) {
        auto node = work_.extract(work_.begin());
        if (!node.mapped().item.isCancelled())
            node.mapped().work();
    }
}

void ManualSerialQueue::advance(std::chrono::milliseconds time)
{
    const auto until = now_ + time;
    while (!work_.empty() && work_.begin()->first.first <= until) {
        now_ = std::max(now_, work_.begin()->first.first);
        runDue();
    }
    now_ = until;
    runDue();
}

} // namespace vellicord
