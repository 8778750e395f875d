#include "support/ManualScheduler.h"

namespace vellicord {

ManualScheduler::ManualScheduler(QDateTime start)
    : now_(std::move(start))
{
}

Scheduler::Item ManualScheduler::after(std::chrono::milliseconds delay, Work work)
{
    Item item;
    due_.emplace(std::make_pair(now_.toMSecsSinceEpoch() + delay.count(), sequence_++), std::make_pair(item, std::move(work)));
    return item;
}

void ManualScheduler::advance(std::chrono::milliseconds by)
{
    const qint64 end = now_.toMSecsSinceEpoch() + by.count();
    while (!due_.empty() && due_.begin()->first.first <= end) {
        auto node = due_.extract(due_.begin());
        now_ = QDateTime::fromMSecsSinceEpoch(node.key().first, Qt::UTC);
        if (!node.mapped().first.isCancelled())
            node.mapped().second();
    }
    now_ = QDateTime::fromMSecsSinceEpoch(end, Qt::UTC);
}

int ManualScheduler::pendingCount() const
{
    int count = 0;
    for (const auto& [key, value] : due_)
        count += value.first.isCancelled() ? 0 : 1;
    return count;
}

} // namespace vellicord
