#include "support/ManualSerialQueue.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace vellicord {
namespace {

using namespace std::chrono_literals;

TEST(ManualSerialQueue, runsOnlyWhenToldInTheOrderOfARealQueue)
{
    ManualSerialQueue queue;
    std::vector<std::string> events;
    const auto note = [&](std::string event) { return [&events, event] { events.push_back(event); }; };
    // A debounced save: each change cancels the pending item and schedules a new one 0.4 s later.
    SerialQueue::WorkItem pending = queue.asyncAfter(400ms, note("save 1"));
    queue.advance(100ms);
    pending.cancel();
    pending = queue.asyncAfter(400ms, note("save 2"));
    queue.async(note("now"));
    queue.asyncAfter(400ms, [&] {
        events.push_back("at 500");
        queue.async(note("submitted at 500"));
    });
    EXPECT_TRUE(events.empty());
    queue.advance(399ms);
    EXPECT_EQ(events, (std::vector<std::string>{"now"}));
    queue.advance(1ms);
    EXPECT_EQ(events, (std::vector<std::string>{"now", "save 2", "at 500", "submitted at 500"}));
    EXPECT_EQ(queue.now(), 500ms);
    queue.sync(note("sync"));
    EXPECT_EQ(events.back(), "sync");
    EXPECT_EQ(queue.pending(), 0u);
}

} // namespace
} // namespace vellicord
