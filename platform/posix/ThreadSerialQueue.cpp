#include "platform/posix/ThreadSerialQueue.h"

#include <future>

#include <pthread.h>

namespace vellicord {

ThreadSerialQueue::ThreadSerialQueue(std::string label)
    : label_(std::move(label))
{
    thread_ = std::thread([this] { run(); });
    // Thread names are limited to 15 bytes; the end of a reverse-DNS label is the telling part.
    const std::string name = label_.size() > 15 ? label_.substr(label_.size() - 15) : label_;
    pthread_setname_np(thread_.native_handle(), name.c_str());
}

ThreadSerialQueue::~ThreadSerialQueue()
{
    {
        std::lock_guard lock(mutex_);
        stopping_ = true;
    }
    wake_.notify_all();
    thread_.join();
}

void ThreadSerialQueue::async(Work work)
{
    {
        std::lock_guard lock(mutex_);
        ready_.push_back(std::move(work));
    }
    wake_.notify_all();
}

void ThreadSerialQueue::sync(Work work)
{
    std::packaged_task<void()> task(std::move(work));
    std::future<void> done = task.get_future();
    async([&task] { task(); });
    done.get();
}

SerialQueue::WorkItem ThreadSerialQueue::asyncAfter(std::chrono::milliseconds delay, Work work)
{
    WorkItem item;
    {
        std::lock_guard lock(mutex_);
        delayed_.emplace(std::pair(Clock::now() + delay, sequence_++), std::pair(item, std::move(work)));
    }
    wake_.notify_all();
    return item;
}

void ThreadSerialQueue::run()
{
    std::unique_lock lock(mutex_);
    for (;;) {
        const auto now = Clock::now();
        while (!delayed_.empty() && delayed_.begin()->first.first <= now) {
            auto node = delayed_.extract(delayed_.begin());
            WorkItem item = node.mapped().first;
            Work work = std::move(node.mapped().second);
            ready_.push_back([item, work = std::move(work)] {
                if (!item.isCancelled())
                    work();
            });
        }
        if (!ready_.empty()) {
            Work work = std::move(ready_.front());
            ready_.pop_front();
            lock.unlock();
            work();
            work = nullptr;
            lock.lock();
            continue;
        }
        if (stopping_)
            return;
        if (delayed_.empty())
            wake_.wait(lock);
        else
            wake_.wait_until(lock, delayed_.begin()->first.first);
    }
}

} // namespace vellicord
