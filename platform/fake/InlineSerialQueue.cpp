#include "platform/fake/InlineSerialQueue.h"

namespace vellicord {

void InlineSerialQueue::async(Work work)
{
    ++asyncCount;
    if (holdAsync)
        held_.push_back(std::move(work));
    else
        work();
}

void InlineSerialQueue::sync(Work work)
{
    ++syncCount;
    runHeld();
    work();
}

void InlineSerialQueue::runHeld()
{
    auto held = std::move(held_);
    held_.clear();
    for (Work& work : held)
        work();
}

SerialQueue::WorkItem InlineSerialQueue::asyncAfter(std::chrono::milliseconds, Work work)
{
    WorkItem item;
    delayed_.emplace_back(item, std::move(work));
    return item;
}

void InlineSerialQueue::runDelayed()
{
    auto delayed = std::move(delayed_);
    delayed_.clear();
    for (auto& [item, work] : delayed) {
        if (!item.isCancelled())
            work();
    }
}

} // namespace vellicord
