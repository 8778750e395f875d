#pragma once

#include "platform/Scheduler.h"

#include <QObject>

namespace vellicord {

// Scheduled work on the Qt event loop of the thread that owns the context object (the main
// thread for the application's scheduler).
class TimerScheduler : public Scheduler {
public:
    explicit TimerScheduler(QObject* context);
    Item after(std::chrono::milliseconds delay, Work work) override;

private:
    QObject* context_;
};

} // namespace vellicord
