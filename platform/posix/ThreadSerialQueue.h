#pragma once

#include "platform/SerialQueue.h"

#include <condition_variable>
#include <cstdint>
#include <deque>
#include <map>
#include <mutex>
#include <string>
#include <thread>
#include <utility>

namespace vellicord {

// A serial queue on a thread of its own, named after the queue's label so it can be told apart
// in a debugger. Delayed work joins the end of the queue when its time has come.
// Destroying the queue runs the work already due, drops delayed work that is not, and joins.
class ThreadSerialQueue : public SerialQueue {
public:
    explicit ThreadSerialQueue(std::string label);
    ~ThreadSerialQueue() override;
    ThreadSerialQueue(const ThreadSerialQueue&) = delete;
    ThreadSerialQueue& operator=(const ThreadSerialQueue&) = delete;

    const std::string& label() const { return label_; }

    void async(Work work) override;
    void sync(Work work) override;
    WorkItem asyncAfter(std::chrono::milliseconds delay, Work work) override;

private:
    using Clock = std::chrono::steady_clock;

    void run();

    std::string label_;
    std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<Work> ready_;
    // Ordered by deadline, then by submission, so equal deadlines keep their order.
    std::map<std::pair<Clock::time_point, uint64_t>, std::pair<WorkItem, Work>> delayed_;
    uint64_t sequence_ = 0;
    bool stopping_ = false;
    std::thread thread_;
};

} // namespace vellicord
