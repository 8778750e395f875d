#pragma once

#include <QDateTime>

#include <chrono>

namespace vellicord {

// The time as the application reads it: the wall clock that stamps records and log lines, a
// steady clock for deadlines, and a pause of the calling thread. Safe to call from any thread; a
// capture's waits run on its worker thread through it. Tests use one that moves only when told.
//
// Work to be done later goes through Scheduler instead: that runs on the main thread's event loop
// and is main-thread only, while a Clock blocks whichever thread calls it, so the two have
// different threading contracts and stay two interfaces (one fake serves both on one time line).
class Clock {
public:
    using TimePoint = std::chrono::steady_clock::time_point;

    virtual ~Clock() = default;
    // Now, in UTC.
    virtual QDateTime now() const = 0;
    // A time that never goes back, for deadlines.
    virtual TimePoint steadyNow() const = 0;
    // Blocks the calling thread for the duration.
    virtual void sleep(std::chrono::milliseconds duration) = 0;
};

} // namespace vellicord
