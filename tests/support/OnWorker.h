#pragma once

#include <QCoreApplication>

#include <atomic>
#include <optional>
#include <thread>

namespace vellicord::test {

// Runs the work on another thread while this (the main) thread keeps serving the clipboard that
// Qt owns, as the application's main thread does during a capture; the work's result.
template <typename Work>
auto onWorker(Work work, int eventWaitMilliseconds = 10)
{
    using Result = decltype(work());
    std::optional<Result> result;
    std::atomic<bool> done{false};
    std::thread worker([&] {
        result.emplace(work());
        done = true;
    });
    while (!done)
        QCoreApplication::processEvents(QEventLoop::AllEvents, eventWaitMilliseconds);
    worker.join();
    return std::move(*result);
}

} // namespace vellicord::test
