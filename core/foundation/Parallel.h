#pragma once

#include <QThread>

#include <algorithm>
#include <cstddef>
#include <cstdlib>
#include <exception>
#include <future>
#include <thread>
#include <vector>

#include <sys/resource.h>
#include <unistd.h>

namespace vellicord {

// Splitting one large piece of work (encoding or decoding a big library) over the processor's
// cores. Small work stays on the calling thread.
namespace Parallel {

// The number of threads worth using for `count` items when each thread should get at least
// `minimumPerThread` of them.
inline size_t threadsFor(size_t count, size_t minimumPerThread)
{
    // The cores this process may run on (its affinity), not all the machine has.
    const size_t cores = size_t(std::max(1, QThread::idealThreadCount()));
    return std::clamp<size_t>(count / std::max<size_t>(minimumPerThread, 1), 1, std::min<size_t>(cores, 8));
}

// Readies the calling thread's memory for about `bytes` of small allocations, for as long as the
// object lives. A thread's allocations come from a heap that the C library grows only as far as
// each one needs, a system call per step that also stops every other thread of the process while
// it runs: threads that each made tens of megabytes of strings spent more time waiting on each
// other than decoding. The heap is grown here in a few large steps, and all but the last step are
// given back as one free block that later allocations are cut from; its pages are only made when
// written. Keeping the last step until the end stops the library from shrinking the heap again.
class ThreadHeap {
public:
    explicit ThreadHeap(size_t bytes)
    {
        constexpr size_t step = 96 * 1024; // below the size the C library maps on its own
        std::vector<void*> blocks;
        blocks.reserve(bytes / step + 1);
        for (size_t grown = 0; grown < bytes; grown += step) {
            void* block = std::malloc(step);
            if (!block)
                break;
            blocks.push_back(block);
        }
        if (blocks.empty())
            return;
        last_ = blocks.back();
        blocks.pop_back();
        for (void* block : blocks)
            std::free(block);
    }
    ~ThreadHeap() { std::free(last_); }
    ThreadHeap(const ThreadHeap&) = delete;
    ThreadHeap& operator=(const ThreadHeap&) = delete;

private:
    void* last_ = nullptr;
};

// Calls work(chunk, begin, end) for consecutive ranges covering [0, count), one range per thread,
// the first on the calling thread. Returns when all are done. When ranges throw, the exception of
// the earliest range is rethrown, so the caller sees the same error as from a sequential run
// that stops at the first failure.
template<typename Work> void forChunks(size_t count, size_t chunks, Work work)
{
    chunks = std::max<size_t>(1, std::min(chunks, std::max<size_t>(count, 1)));
    if (chunks == 1) {
        work(size_t(0), size_t(0), count);
        return;
    }
    std::vector<std::exception_ptr> errors(chunks);
    const auto run = [&](size_t chunk) {
        try {
            work(chunk, count * chunk / chunks, count * (chunk + 1) / chunks);
        } catch (...) {
            errors[chunk] = std::current_exception();
        }
    };
    std::vector<std::thread> threads;
    threads.reserve(chunks - 1);
    for (size_t chunk = 1; chunk < chunks; ++chunk)
        threads.emplace_back(run, chunk);
    run(0);
    for (std::thread& thread : threads)
        thread.join();
    for (const std::exception_ptr& error : errors) {
        if (error)
            std::rethrow_exception(error);
    }
}

// Starts work that can wait (an index made once the window has painted) on a thread of its own, at
// a priority below the interface's: on a busy machine it takes only the processor time the window
// and the programs of the user's own do not want. The thread's nice value is 10; nothing raises it
// again (an unprivileged thread could not).
template<typename Work> auto inBackground(Work work) -> std::future<decltype(work())>
{
    return std::async(std::launch::async, [work = std::move(work)]() mutable {
        ::setpriority(PRIO_PROCESS, ::gettid(), 10);
        return work();
    });
}

} // namespace Parallel
} // namespace vellicord
