#include "platform/qt/TimerScheduler.h"

#include <QTimer>

namespace vellicord {

TimerScheduler::TimerScheduler(QObject* context)
    : context_(context)
{
}

Scheduler::Item TimerScheduler::after(std::chrono::milliseconds delay, Work work)
{
    Item item;
    QTimer::singleShot(delay, Qt::PreciseTimer, context_, [item, work = std::move(work)] {
        if (!item.isCancelled())
            work();
    });
    return item;
}

} // namespace vellicord
