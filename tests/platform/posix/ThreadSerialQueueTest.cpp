#include "platform/posix/ThreadSerialQueue.h"

#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <mutex>
#include <thread>
#include <vector>

namespace vellicord {
namespace {

using namespace std::chrono_literals;

TEST(ThreadSerialQueue, runsWorkInOrderOneAtATime)
{
    ThreadSerialQueue queue("com.vellicord.test");
    std::vector<int> order;
    std::atomic<int> running = 0;
    bool overlapped = false;
    for (int i = 0; i < 500; ++i) {
        queue.async([&, i] {
            overlapped |= running.fetch_add(1) != 0;
            order.push_back(i);
            running.fetch_sub(1);
        });
    }
    queue.sync([] {});
    ASSERT_EQ(order.size(), 500u);
    for (int i = 0; i < 500; ++i)
        EXPECT_EQ(order[size_t(i)], i);
    EXPECT_FALSE(overlapped);
}

TEST(ThreadSerialQueue, syncRunsOnTheQueueAfterEarlierWork)
{
    ThreadSerialQueue queue("com.vellicord.test");
    std::vector<std::string> events;
    std::thread::id worker;
    queue.async([&] {
        std::this_thread::sleep_for(5ms);
        events.push_back("async");
    });
    queue.sync([&] {
        events.push_back("sync");
        worker = std::this_thread::get_id();
    });
    EXPECT_EQ(events, (std::vector<std::string>{"async", "sync"}));
    EXPECT_NE(worker, std::this_thread::get_id());
}

TEST(ThreadSerialQueue, delayedWorkRunsLaterUnlessCancelled)
{
    ThreadSerialQueue queue("com.vellicord.test");
    std::mutex mutex;
    std::vector<std::string> events;
    const auto note = [&](const char* event) {
        return [&, event] {
            std::lock_guard lock(mutex);
            events.push_back(event);
        };
    };
    const auto start = std::chrono::steady_clock::now();
    queue.asyncAfter(40ms, note("late"));
    const SerialQueue::WorkItem cancelled = queue.asyncAfter(20ms, note("cancelled"));
    queue.asyncAfter(20ms, note("early"));
    queue.asyncAfter(20ms, note("early, submitted second"));
    queue.async(note("now"));
    cancelled.cancel();
    std::promise<void> done;
    queue.asyncAfter(50ms, [&] { done.set_value(); });
    done.get_future().wait();
    EXPECT_GE(std::chrono::steady_clock::now() - start, 40ms);
    std::lock_guard lock(mutex);
    EXPECT_EQ(events, (std::vector<std::string>{"now", "early", "early, submitted second", "late"}));
}

TEST(ThreadSerialQueue, destroyingRunsDueWorkAndDropsLaterWork)
{
    std::atomic<int> ran = 0;
    {
        ThreadSerialQueue queue("com.vellicord.test");
        queue.async([&] {
            std::this_thread::sleep_for(5ms);
            ++ran;
        });
        queue.async([&] { ++ran; });
        queue.asyncAfter(10s, [&] { ran += 100; });
    }
    EXPECT_EQ(ran.load(), 2);
}

} // namespace
} // namespace vellicord
