#include "support/ManualScheduler.h"

#include <algorithm>

namespace vellicord {

Scheduler::Item ManualScheduler::after(std::chrono::milliseconds delay, Work work)
{
    Item item;
    due_.emplace(std::make_pair(elapsed() + delay, sequence_++), std::make_pair(item, std::move(work)));
    return item;
}

void ManualScheduler::advance(std::chrono::milliseconds by)
{
    const std::chrono::milliseconds end = elapsed() + by;
    while (!due_.empty() && due_.begin()->first.first <= end) {
        auto node = due_.extract(due_.begin());
        // Work that fell due while something slept runs now, without turning time back.
        ManualClock::advance(std::max(node.key().first - elapsed(), std::chrono::milliseconds(0)));
        if (!node.mapped().first.isCancelled())
            node.mapped().second();
    }
    ManualClock::advance(end - elapsed());
}

int ManualScheduler::pendingCount() const
{
    int count = 0;
    for (const auto& [key, value] : due_)
        count += value.first.isCancelled() ? 0 : 1;
    return count;
}

} // namespace vellicord
