// The library file's figures: encode and decode speed of the whole document, the cost of a
// whole save against writing the same bytes twice with fsync, and the load at start.
#include "bench/DiskWrites.h"
#include "core/library/StorePersistence.h"
#include "platform/posix/PosixFileSystem.h"
#include "tests/core/library/LibrarySamples.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <cstdio>
#include <memory>
#include <fcntl.h>
#include <unistd.h>

namespace vellicord {
namespace {

using bench::diskFolder;
using bench::millisecondsSince;
using bench::writeTwiceWithSync;

const StoreSnapshot& library(int captures)
{
    static const StoreSnapshot small = LibrarySamples::realistic(10000);
    static const StoreSnapshot large = LibrarySamples::realistic(100000);
    return captures == 10000 ? small : large;
}

void Encode(benchmark::State& state)
{
    const StoreSnapshot& snapshot = library(int(state.range(0)));
    size_t bytes = 0;
    for (auto _ : state) {
        const QByteArray document = StorePersistence::encode(snapshot);
        bytes = document.size();
        benchmark::DoNotOptimize(document.constData());
    }
    state.SetBytesProcessed(int64_t(bytes) * state.iterations());
    state.counters["MB"] = double(bytes) / 1e6;
}

void Decode(benchmark::State& state)
{
    const QByteArray document = StorePersistence::encode(library(int(state.range(0))));
    for (auto _ : state) {
        auto snapshot = std::make_unique<StoreSnapshot>(StorePersistence::decode(document));
        benchmark::DoNotOptimize(snapshot->selections.size());
        // Freeing the library is not part of reading it.
        state.PauseTiming();
        snapshot.reset();
        state.ResumeTiming();
    }
    state.SetBytesProcessed(int64_t(document.size()) * state.iterations());
}

// A whole save (encode, verify-decode, two atomic writes) against two fsync'd writes of the same
// bytes, alternating in one run so that both see the same disk.
void SaveVersusTwoWrites(benchmark::State& state)
{
    QTemporaryDir root(diskFolder());
    PosixFileSystem files;
    const QString storePath = root.path() + QStringLiteral("/Vellicord.json");
    StorePersistence persistence(storePath, StorePersistence::backupURL(storePath), files);
    const StoreSnapshot& snapshot = library(int(state.range(0)));
    const QByteArray bytes = StorePersistence::encode(snapshot);
    double save = 0;
    double plain = 0;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        persistence.write(snapshot);
        save += millisecondsSince(start);
        start = std::chrono::steady_clock::now();
        writeTwiceWithSync(root.path(), bytes);
        plain += millisecondsSince(start);
    }
    const double n = double(state.iterations());
    state.counters["save_ms"] = save / n;
    state.counters["two_writes_ms"] = plain / n;
    state.counters["ratio"] = save / plain;
}

// The load at start of a library whose backup is up to date: read both files, screen their
// versions, decode, compare.
void LoadAtStart(benchmark::State& state)
{
    QTemporaryDir root(diskFolder());
    PosixFileSystem files;
    const QString storePath = root.path() + QStringLiteral("/Vellicord.json");
    StorePersistence(storePath, StorePersistence::backupURL(storePath), files).write(library(int(state.range(0))));
    for (auto _ : state) {
        StorePersistence persistence(storePath, StorePersistence::backupURL(storePath), files);
        const StoreLoadResult result = persistence.load();
        if (result.status != StorePersistenceStatus::ready)
            state.SkipWithError("the library did not load");
        benchmark::DoNotOptimize(result.snapshot->selections.size());
    }
}

BENCHMARK(Encode)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(Decode)->Arg(10000)->Arg(100000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(SaveVersusTwoWrites)->Arg(100000)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(LoadAtStart)->Arg(100000)->Iterations(5)->Unit(benchmark::kMillisecond)->UseRealTime();

} // namespace
} // namespace vellicord
