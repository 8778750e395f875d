#pragma once

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>

namespace vellicord {

// Runs work on the main thread after a delay: the debounce of saves and the other timed steps of
// the interface. Tests replace it with one whose time they advance by hand.
//
// This header is an interface only, so the core can be handed a scheduler without linking the
// platform layer.
class Scheduler {
public:
    using Work = std::function<void()>;

    // Scheduled work that can be called off until it runs.
    class Item {
    public:
        Item()
            : cancelled_(std::make_shared<std::atomic<bool>>(false))
        {
        }
        void cancel() const { cancelled_->store(true); }
        bool isCancelled() const { return cancelled_->load(); }

    private:
        std::shared_ptr<std::atomic<bool>> cancelled_;
    };

    virtual ~Scheduler() = default;

    // Runs the work on the main thread once the delay has passed, unless the item is cancelled.
    virtual Item after(std::chrono::milliseconds delay, Work work) = 0;
};

} // namespace vellicord
