#pragma once

#include "core/foundation/HeapLimits.h"

#include <QThread>

#include <algorithm>
#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <exception>
#include <functional>
#include <future>
#include <memory>
#include <mutex>
#include <thread>
#include <vector>

#include <malloc.h>
#include <sys/mman.h>
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
// other than decoding. The heap is grown here in a few large steps that are given back as one free
// block later allocations are cut from; its pages are only made when written.
//
// The steps are large enough that the pages inside them are first written by the allocations that
// use them, and they are marked for huge pages: a large library's records then take a few
// thousand pages instead of hundreds of thousands, which the system frees at the end of the
// program in milliseconds rather than in a few hundred of them.
class ThreadHeap {
public:
    // A thread's heap is made of parts of 64 MB; two steps fill one but for a little, and each is
    // below the size the C library maps on its own once it is told so (keepStepsInTheHeap).
    static constexpr size_t step = HeapLimits::mappedFrom - (size_t(1) << 20);

    explicit ThreadHeap(size_t bytes)
    {
        if (bytes == 0)
            return;
        keepStepsInTheHeap();
        std::vector<void*> blocks;
        blocks.reserve(bytes / step + 1);
        for (size_t grown = 0; grown < bytes; grown += step) {
            void* block = std::malloc(step);
            if (!block)
                break;
            adviseHugePages(block);
            blocks.push_back(block);
        }
        pin_ = std::malloc(pinSize);
        for (void* block : blocks)
            std::free(block);
    }
    ~ThreadHeap() { std::free(pin_); }
    ThreadHeap(const ThreadHeap&) = delete;
    ThreadHeap& operator=(const ThreadHeap&) = delete;

private:
    // The C library maps a request above a threshold on its own; the threshold starts at 128 KB
    // and rises with the largest mapped block the program has freed. Fixed at HeapLimits::mappedFrom
    // (where it may rise to anyway), a step comes from the thread's heap; freed memory at the top
    // of a heap is given back once there is that much of it. Done once, for the whole program.
    static void keepStepsInTheHeap()
    {
        static std::once_flag once;
        std::call_once(once, [] {
            ::mallopt(M_MMAP_THRESHOLD, int(HeapLimits::mappedFrom));
            ::mallopt(M_TRIM_THRESHOLD, int(HeapLimits::mappedFrom));
        });
    }

    // The whole huge pages inside a step, none of them written yet.
    static void adviseHugePages(void* block)
    {
        constexpr uintptr_t huge = uintptr_t(2) << 20;
        const uintptr_t first = (reinterpret_cast<uintptr_t>(block) + huge - 1) & ~(huge - 1);
        const uintptr_t end = (reinterpret_cast<uintptr_t>(block) + step) & ~(huge - 1);
        if (end > first)
            ::madvise(reinterpret_cast<void*>(first), end - first, MADV_HUGEPAGE);
    }

    // Made just above the steps and kept until the end, so that the steps, given back, are not the
    // top of the heap, which the C library would shrink again.
    static constexpr size_t pinSize = 64 * 1024;
    void* pin_ = nullptr;
};

// Where the i-th of `ranges` consecutive ranges covering [0, count) starts (the last ends at count).
inline size_t rangeStart(size_t count, size_t ranges, size_t i)
{
    return count * i / ranges;
}

// The error of the earliest range that failed, if any: what a sequential run that stops at the
// first failure would have thrown.
inline void rethrowEarliest(const std::vector<std::exception_ptr>& errors)
{
    for (const std::exception_ptr& error : errors) {
        if (error)
            std::rethrow_exception(error);
    }
}

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
            work(chunk, rangeStart(count, chunks, chunk), rangeStart(count, chunks, chunk + 1));
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
    rethrowEarliest(errors);
}

// Calls work(piece, begin, end) for `pieces` consecutive ranges covering [0, count), taken one after
// another by up to `threads` threads, the calling one among them, and returns once every range is
// done. For work the user waits on: on a busy machine a thread may start late or lose its processor
// for a while, and the others take the ranges it has not; the caller waits for the work, never for a
// thread to be scheduled (one that starts after the last range was taken ends without touching it).
// When ranges throw, the exception of the earliest is rethrown once all are done.
template<typename Work> void forPieces(size_t count, size_t pieces, size_t threads, Work work)
{
    pieces = std::max<size_t>(1, std::min(pieces, std::max<size_t>(count, 1)));
    threads = std::max<size_t>(1, std::min(threads, pieces));
    if (threads == 1) {
        for (size_t piece = 0; piece < pieces; ++piece)
            work(piece, rangeStart(count, pieces, piece), rangeStart(count, pieces, piece + 1));
        return;
    }
    // Shared with the helper threads, which may outlive the call; only `run` refers to the caller's
    // objects, and it is called for a taken range only, all of which end before the call returns.
    struct Job {
        std::atomic<size_t> next = 0;
        size_t pieces = 0;
        std::function<void(size_t)> run;
        std::mutex mutex;
        std::condition_variable finished;
        size_t done = 0;
        std::vector<std::exception_ptr> errors;
    };
    const auto job = std::make_shared<Job>();
    job->pieces = pieces;
    job->errors.resize(pieces);
    job->run
        = [&](size_t piece) { work(piece, rangeStart(count, pieces, piece), rangeStart(count, pieces, piece + 1)); };
    const auto takeRanges = [](Job& job) {
        for (size_t piece; (piece = job.next.fetch_add(1, std::memory_order_relaxed)) < job.pieces;) {
            std::exception_ptr error;
            try {
                job.run(piece);
            } catch (...) {
                error = std::current_exception();
            }
            const std::lock_guard lock(job.mutex);
            job.errors[piece] = error;
            if (++job.done == job.pieces)
                job.finished.notify_all();
        }
    };
    for (size_t t = 1; t < threads; ++t)
        std::thread([job, takeRanges] { takeRanges(*job); }).detach();
    takeRanges(*job);
    std::unique_lock lock(job->mutex);
    job->finished.wait(lock, [&] { return job->done == job->pieces; });
    rethrowEarliest(job->errors);
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
