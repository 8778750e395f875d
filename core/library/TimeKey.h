#pragma once

#include <cstdint>
#include <vector>

namespace vellicord {

// What the orders by time sort a capture by, beside the number its caller knows it by. The sort
// reads its keys in place: a comparison that reached into a record, or into tables indexed by
// capture, would miss the cache on nearly every step once a library outgrows it.
struct TimeKey {
    int64_t time = 0; // milliseconds since the epoch
    uint32_t rank = 0; // where the capture stands in the library; distinct for every capture
    uint32_t index = 0;

    // Newest or oldest first; equal times in rank order, as a stable sort of the library leaves them.
    static void sort(std::vector<TimeKey>& keys, bool newestFirst);
};

} // namespace vellicord
