#pragma once

#include <algorithm>
#include <cstddef>

namespace vellicord {

// How the C library's allocator treats large requests, for code that makes buffers of megabytes
// and wants their memory back when it frees them.
namespace HeapLimits {

// A request at least this large is mapped on its own and unmapped when it is freed, whatever the
// allocator's settings.
constexpr size_t mappedFrom = size_t(32) << 20;

// The capacity to ask for a buffer of `bytes` that should go back to the system when it is freed. A
// smaller buffer may come from the heap of the thread that made it and stay there once freed, as
// large as it was: a large library's save, repeated, would keep its buffers' worth for good.
inline size_t returnableCapacity(size_t bytes)
{
    constexpr size_t small = size_t(1) << 20; // kept or not, too little to matter
    return bytes < small ? bytes : std::max(bytes, mappedFrom);
}

// The same for a buffer of `count` elements of T, in elements.
template<typename T> size_t returnableCount(size_t count)
{
    return returnableCapacity(count * sizeof(T)) / sizeof(T);
}

} // namespace HeapLimits
} // namespace vellicord
