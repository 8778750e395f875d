#include "support/ManualScheduler.h"

#include <algorithm>
#include <iterator>

namespace vellicord {

Scheduler::Item ManualScheduler::after(std::chrono::milliseconds delay, Work work)
{
    // Work called off just before is let go of now: a debounce calls off its work at every change,
    // and a hundred thousand changes would otherwise pile up as many closures, all freed at once
    // by the next advance (which left the allocator milliseconds of sorting for whatever came next).
    while (!due_.empty() && std::prev(due_.end())->second.first.isCancelled())
        due_.erase(std::prev(due_.end()));
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
