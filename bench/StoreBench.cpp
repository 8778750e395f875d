// Main-thread cost of Store operations, including scheduling the debounced save, at 1,000 and
// 100,000 captures, the machine's load beside the figures of a change during a save. The save
// itself runs elsewhere and is not measured here.
#include "bench/MachineLoad.h"
#include "core/library/Store.h"
#include "platform/posix/ThreadSerialQueue.h"

#include "support/TemporaryLibrary.h"

#include <QCoreApplication>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <vector>

#include <time.h>

using namespace vellicord;

namespace {

// The calling thread's processor time.
double threadMicroseconds()
{
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) * 1e6 + double(now.tv_nsec) / 1e3;
}

Selection capture(int n, const QDateTime& at)
{
    const QString text = QStringLiteral("Passage %1 ").arg(n).repeated(40);
    return Selection(QUuid::createUuid(), text, std::nullopt, QStringLiteral("Browser"), std::nullopt,
                     QStringLiteral("https://example.org/%1").arg(n % 500), std::nullopt, std::nullopt, {}, at);
}

struct Library : TemporaryLibrary {
    std::unique_ptr<Store> store;

    explicit Library(int size)
    {
        store = open();
        for (int n = 0; n < size; ++n)
            store->add(capture(n, time.now()));
        store->ensureActiveDraft();
        // Saved, changed and saved again, as a library is long before the measured change: the fake
        // scheduler lets go of the saves the adds cancelled, and the allocator's one-off clean-up
        // of them, which comes with the first large allocation, is not timed.
        for (int warm = 0; warm < 2; ++warm) {
            time.advance(std::chrono::milliseconds(500));
            queue.runDue();
            store->add(capture(size + warm, time.now()));
        }
        time.advance(std::chrono::milliseconds(500));
        queue.runDue();
    }
};

void addCapture(benchmark::State& state)
{
    Library library(int(state.range(0)));
    int n = 0;
    for (auto _ : state)
        library.store->add(capture(n++, library.time.now()));
    state.SetLabel("add, per call");
}
BENCHMARK(addCapture)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void findByID(benchmark::State& state)
{
    Library library(int(state.range(0)));
    const QUuid id = library.store->selections()[library.store->selections().size() / 2].id;
    for (auto _ : state)
        benchmark::DoNotOptimize(library.store->findByID(id));
    state.SetLabel("lookup by id, per call");
}
BENCHMARK(findByID)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void updateDraft(benchmark::State& state)
{
    Library library(int(state.range(0)));
    ContextDraft draft = library.store->ensureActiveDraft();
    for (int i = 0; i < 50; ++i)
        draft.entries.append({QUuid::createUuid(), library.store->selections()[i].id, true, false, false, {}, {}});
    int n = 0;
    for (auto _ : state) {
        draft.task = QString::number(n++);
        library.store->updateDraft(draft);
    }
    state.SetLabel("update a 50-entry draft");
}
BENCHMARK(updateDraft)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void toggleGroup(benchmark::State& state)
{
    Library library(int(state.range(0)));
    const auto group = library.store->addGroup(QStringLiteral("G"), QStringLiteral("#000000"));
    const QUuid id = library.store->selections()[7].id;
    bool in = false;
    for (auto _ : state) {
        if (in)
            library.store->removeFromGroups({group->id}, {id});
        else
            library.store->addToGroup(group->id, {id});
        in = !in;
    }
    state.SetLabel("add to or remove from a group");
}
BENCHMARK(toggleGroup)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond);

void snapshotWhileSaving(benchmark::State& state)
{
    Library library(int(state.range(0)));
    int n = 0;
    std::vector<double> changes;
    for (auto _ : state) {
        library.time.advance(std::chrono::milliseconds(500));
        const auto start = std::chrono::steady_clock::now();
        library.store->add(capture(n++, library.time.now()));
        changes.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
        state.PauseTiming();
        library.queue.runDue(); // the write, which was still waiting when the change came
        state.ResumeTiming();
    }
    std::sort(changes.begin(), changes.end());
    state.counters["change_median_us"] = changes[changes.size() / 2];
    state.counters["change_max_us"] = changes.back();
    bench::reportLoad(state);
    state.SetLabel("save fired, then add during the write (change_: the add alone)");
}
BENCHMARK(snapshotWhileSaving)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond)->Iterations(50);

// The same change while the write runs on a thread of its own, as in the application: the main
// thread's figure without the write's own allocations on its heap.
void changeDuringThreadedSave(benchmark::State& state)
{
    TemporaryLibrary library;
    ThreadSerialQueue queue("bench.store.save");
    Store::Services services = library.services();
    services.saveQueue = queue;
    auto store = std::make_unique<Store>(library.libraryPath, services);
    for (int n = 0; n < int(state.range(0)); ++n)
        store->add(capture(n, library.time.now()));
    int n = 0;
    // Saved, changed and saved again before the measure: the allocator's one-off clean-up of what
    // the setup freed (the cancelled saves of 100,000 adds) comes with the first large allocation.
    for (int warm = 0; warm < 2; ++warm) {
        library.time.advance(std::chrono::milliseconds(500));
        queue.sync([] {});
        store->add(capture(n++, library.time.now()));
    }
    library.time.advance(std::chrono::milliseconds(500));
    queue.sync([] {});
    std::vector<double> changes, processor;
    for (auto _ : state) {
        library.time.advance(std::chrono::milliseconds(500)); // the save starts on its thread
        const Selection next = capture(n++, library.time.now());
        const double cpuBefore = threadMicroseconds();
        const auto start = std::chrono::steady_clock::now();
        store->add(next);
        changes.push_back(std::chrono::duration<double, std::micro>(std::chrono::steady_clock::now() - start).count());
        processor.push_back(threadMicroseconds() - cpuBefore);
        state.PauseTiming();
        queue.sync([] {});
        state.ResumeTiming();
    }
    // The slowest change's own processor time: far less than its time means it waited.
    const size_t slowest = size_t(std::max_element(changes.begin(), changes.end()) - changes.begin());
    state.counters["slowest_change_cpu_us"] = processor[slowest];
    std::sort(changes.begin(), changes.end());
    state.counters["change_median_us"] = changes[changes.size() / 2];
    state.counters["change_max_us"] = changes.back();
    bench::reportLoad(state);
    state.SetLabel("save fired on its thread, then add during the write (change_: the add alone)");
    store.reset();
}
BENCHMARK(changeDuringThreadedSave)->Arg(1000)->Arg(100000)->Unit(benchmark::kMicrosecond)->Iterations(50);

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
