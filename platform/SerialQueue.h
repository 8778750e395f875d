#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace vellicord {

// A queue that runs work one item at a time, in the order it was submitted, away from the
// caller's thread.
//
// This header is an interface only, so the core can be handed a queue without linking the
// platform layer.
class SerialQueue {
public:
    using Work = std::function<void()>;

    // Delayed work that can still be called off until it starts.
    class WorkItem {
    public:
        WorkItem()
            : cancelled_(std::make_shared<std::atomic<bool>>(false))
        {
        }
        // Stops the work when it has not started; work already running finishes.
        void cancel() const { cancelled_->store(true); }
        bool isCancelled() const { return cancelled_->load(); }

    private:
        std::shared_ptr<std::atomic<bool>> cancelled_;
    };

    virtual ~SerialQueue() = default;

    // Runs the work later, after everything submitted before it.
    virtual void async(Work work) = 0;
    // Runs the work after everything submitted before it and waits until it has run. Never call
    // it from work running on the same queue.
    virtual void sync(Work work) = 0;
    // Submits the work once the delay has passed, unless the returned item is cancelled first.
    virtual WorkItem asyncAfter(std::chrono::milliseconds delay, Work work) = 0;
};

} // namespace vellicord
