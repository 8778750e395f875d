// How the library's costs grow with its size: loading at start (and, beside it, loading from a copy
// of the file read into memory of the load's own), a save against two fsync'd writes of the same
// bytes, the slowest of a set of searches, and the order "Newest first" (from the records, and the
// sort of the keys the list keeps alone), each at 1,000, 10,000, 100,000 and 1,000,000 realistic
// captures, with the growth per 10x printed at the end.
// The largest size needs about 8 GB of memory; --max_captures=100000 stops before it.
#include "bench/DiskWrites.h"
#include "bench/MachineLoad.h"
#include "core/foundation/Parallel.h"
#include "core/library/SearchIndex.h"
#include "core/library/SortMode.h"
#include "core/library/StorePersistence.h"
#include "core/library/TimeKey.h"
#include "platform/posix/PosixFileSystem.h"
#include "tests/core/library/LibrarySamples.h"

#include <QCoreApplication>
#include <QDir>
#include <QLocale>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <map>
#include <memory>
#include <random>
#include <string>
#include <vector>
#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vellicord {
namespace {

using bench::diskFolder;
using bench::millisecondsSince;
using bench::writeTwiceWithSync;

// figure -> captures -> milliseconds
std::map<std::string, std::map<int, double>>& figures()
{
    static std::map<std::string, std::map<int, double>> table;
    return table;
}

// The library of the size being measured; one at a time, since the largest is large.
const StoreSnapshot& library(int captures)
{
    static int made = -1;
    static std::unique_ptr<StoreSnapshot> snapshot;
    if (made != captures) {
        snapshot.reset();
        snapshot = std::make_unique<StoreSnapshot>(LibrarySamples::realistic(captures));
        made = captures;
    }
    return *snapshot;
}

double median(std::vector<double> values)
{
    std::sort(values.begin(), values.end());
    return values.empty() ? 0 : values[values.size() / 2];
}

// The file read into memory of the load's own, in parts side by side, instead of mapped: the other
// way to keep a file cut short during the load from stopping the program with a bus error, and
// what it costs (a page fault and a copy per page).
class ReadFileSystem : public PosixFileSystem {
public:
    std::unique_ptr<const FileContents> readContents(const QString& path) const override
    {
        const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
        struct stat info {};
        if (fd < 0 || ::fstat(fd, &info) != 0 || info.st_size < (1 << 20)) {
            if (fd >= 0)
                ::close(fd);
            return PosixFileSystem::readContents(path);
        }
        const size_t size = size_t(info.st_size);
        const size_t page = size_t(::sysconf(_SC_PAGESIZE));
        const size_t length = (size + size_t(FileContents::padding) + page - 1) / page * page;
        auto* base = static_cast<char*>(
            ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS, -1, 0));
        const size_t parts = Parallel::threadsFor(size, size_t(16) << 20);
        Parallel::forChunks(parts, parts, [&](size_t part, size_t, size_t) {
            for (size_t at = size * part / parts, end = size * (part + 1) / parts; at < end;) {
                const ssize_t n = ::pread(fd, base + at, std::min(end - at, size_t(4) << 20), off_t(at));
                if (n <= 0)
                    break;
                at += size_t(n);
            }
        });
        ::close(fd);
        return std::make_unique<Read>(base, length, qsizetype(size));
    }

private:
    class Read : public FileContents {
    public:
        Read(char* base, size_t length, qsizetype size)
            : base_(base)
            , length_(length)
            , size_(size)
        {
        }
        ~Read() override { ::munmap(base_, length_); }
        QByteArrayView bytes() const override { return QByteArrayView(base_, size_); }
        void release(qsizetype from, qsizetype to) const override
        {
            const qsizetype page = qsizetype(::sysconf(_SC_PAGESIZE));
            const qsizetype first = (std::max<qsizetype>(from, 0) + page - 1) / page * page;
            const qsizetype end = std::min(to, size_) / page * page;
            if (end > first)
                ::madvise(base_ + first, size_t(end - first), MADV_DONTNEED);
        }

    private:
        char* base_;
        size_t length_;
        qsizetype size_;
    };
};

// The start's load of a library whose backup is up to date: both files read, the library decoded.
template<typename Files> void load(benchmark::State& state, const char* figure)
{
    const int captures = int(state.range(0));
    QTemporaryDir root(diskFolder());
    Files files;
    const QString storePath = root.path() + QStringLiteral("/Vellicord.json");
    StorePersistence(storePath, StorePersistence::backupURL(storePath), files).write(library(captures));
    std::vector<double> times;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto result = std::make_unique<StoreLoadResult>(
            StorePersistence(storePath, StorePersistence::backupURL(storePath), files).load());
        times.push_back(millisecondsSince(start));
        if (result->status != StorePersistenceStatus::ready)
            state.SkipWithError("the library did not load");
        state.PauseTiming(); // freeing the library is not loading it
        result.reset();
        state.ResumeTiming();
    }
    figures()[figure][captures] = state.counters["load_ms"] = median(times);
    state.counters["load_max_ms"] = *std::max_element(times.begin(), times.end());
    bench::reportLoad(state);
    state.counters["file_MB"] = double(QFileInfo(storePath).size()) / 1e6;
}

void Load(benchmark::State& state)
{
    load<PosixFileSystem>(state, "load_ms");
}

void LoadRead(benchmark::State& state)
{
    load<ReadFileSystem>(state, "load_read_ms");
}

// A whole save (encode, read-back check, both files replaced) against writing the same bytes to two
// files with fsync, alternating, so that both see the same disk.
void Save(benchmark::State& state)
{
    const int captures = int(state.range(0));
    QTemporaryDir root(diskFolder());
    PosixFileSystem files;
    const QString storePath = root.path() + QStringLiteral("/Vellicord.json");
    StorePersistence persistence(storePath, StorePersistence::backupURL(storePath), files);
    const StoreSnapshot& snapshot = library(captures);
    const QByteArray bytes = StorePersistence::encode(snapshot);
    std::vector<double> saves, plains;
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        persistence.write(snapshot);
        saves.push_back(millisecondsSince(start));
        start = std::chrono::steady_clock::now();
        writeTwiceWithSync(root.path(), bytes);
        plains.push_back(millisecondsSince(start));
    }
    double save = 0, plain = 0;
    for (size_t i = 0; i < saves.size(); ++i) {
        save += saves[i];
        plain += plains[i];
    }
    figures()["save_ms"][captures] = state.counters["save_ms"] = median(saves);
    state.counters["two_writes_ms"] = median(plains);
    figures()["save_ratio"][captures] = state.counters["ratio"] = save / plain;
    bench::reportLoad(state);
}

// The slowest of queries a user might type: words of the captures, a pair of them, letters,
// an address and one that matches nothing, each already lower-cased as the list prepares it.
void SearchWorst(benchmark::State& state)
{
    const int captures = int(state.range(0));
    SearchIndex index;
    index.rebuild(library(captures).selections);
    const QStringList queries{QStringLiteral("t"),           QStringLiteral("the"),
                              QStringLiteral("weather mo"),  QStringLiteral("naïve résumé"),
                              QStringLiteral("“quoted” of"), QStringLiteral("articles/4242?"),
                              QStringLiteral("zzqx"),        QStringLiteral("source window the")};
    std::map<QString, std::vector<double>> times;
    for (auto _ : state) {
        for (const QString& query : queries) {
            const auto start = std::chrono::steady_clock::now();
            benchmark::DoNotOptimize(index.matching(query).size());
            times[query].push_back(millisecondsSince(start));
        }
    }
    double worst = 0;
    QString worstQuery;
    for (const auto& [query, values] : times) {
        if (median(values) > worst) {
            worst = median(values);
            worstQuery = query;
        }
    }
    figures()["search_worst_ms"][captures] = state.counters["worst_ms"] = worst;
    bench::reportLoad(state);
    state.SetLabel("worst: \"" + worstQuery.toStdString() + "\"");
}

// A broad search typed letter by letter over everyday captures, as the library list asks it: "t",
// then "th" among the captures "t" matched, then "the" among those; each query's median time and
// the processor time of all threads it took.
void SearchTypedOn(benchmark::State& state)
{
    const int captures = int(state.range(0));
    SearchIndex index;
    {
        const StoreSnapshot everyday = LibrarySamples::everyday(captures);
        index.rebuild(everyday.selections);
    }
    const QStringList typed{QStringLiteral("t"), QStringLiteral("th"), QStringLiteral("the")};
    std::vector<std::vector<double>> times(size_t(typed.size())), processor(size_t(typed.size()));
    const auto processMilliseconds = [] {
        timespec now{};
        clock_gettime(CLOCK_PROCESS_CPUTIME_ID, &now);
        return double(now.tv_sec) * 1e3 + double(now.tv_nsec) / 1e6;
    };
    for (auto _ : state) {
        QList<qsizetype> hits;
        for (qsizetype q = 0; q < typed.size(); ++q) {
            const auto start = std::chrono::steady_clock::now();
            const double cpu = processMilliseconds();
            hits = q == 0 ? index.matching(typed[q]) : index.matching(typed[q], &hits);
            times[size_t(q)].push_back(millisecondsSince(start));
            processor[size_t(q)].push_back(processMilliseconds() - cpu);
        }
        benchmark::DoNotOptimize(hits.size());
    }
    for (qsizetype q = 0; q < typed.size(); ++q) {
        const std::string name = typed[q].toStdString();
        state.counters[name + "_ms"] = median(times[size_t(q)]);
        state.counters[name + "_max_ms"] = *std::max_element(times[size_t(q)].begin(), times[size_t(q)].end());
        state.counters[name + "_cpu_ms"] = median(processor[size_t(q)]);
    }
    bench::reportLoad(state);
}

// The order "Newest first" as the library list takes it: the captures' positions, no copies of them.
void SortNewestFirst(benchmark::State& state)
{
    const int captures = int(state.range(0));
    const auto& selections = library(captures).selections;
    std::vector<double> times;
    for (auto _ : state) {
        const auto start = std::chrono::steady_clock::now();
        auto order = SortModes::order(SortMode::newestFirst, selections);
        times.push_back(millisecondsSince(start));
        benchmark::DoNotOptimize(order.data());
        state.PauseTiming();
        order = {};
        state.ResumeTiming();
    }
    figures()["sort_newest_ms"][captures] = state.counters["sort_ms"] = median(times);
    bench::reportLoad(state);
}

// The sort the library list runs for "Newest first", from the times its index keeps, over captures
// whose times are out of order (the realistic library is kept newest first, which the sort above
// finds in one pass): the growth of the sort itself, without the reading of the records.
void SortKeysNewestFirst(benchmark::State& state)
{
    const int captures = int(state.range(0));
    std::vector<TimeKey> shuffled;
    shuffled.reserve(size_t(captures));
    std::mt19937 random(7);
    for (const Selection& s : library(captures).selections) {
        const uint32_t i = uint32_t(shuffled.size());
        shuffled.push_back({s.createdAt.toMSecsSinceEpoch(), i, i});
    }
    std::shuffle(shuffled.begin(), shuffled.end(), random);
    std::vector<double> times;
    for (auto _ : state) {
        state.PauseTiming();
        std::vector<TimeKey> keys = shuffled;
        state.ResumeTiming();
        const auto start = std::chrono::steady_clock::now();
        TimeKey::sort(keys, true);
        times.push_back(millisecondsSince(start));
        benchmark::DoNotOptimize(keys.data());
    }
    figures()["sort_keys_ms"][captures] = state.counters["sort_ms"] = median(times);
    bench::reportLoad(state);
}

void printGrowth()
{
    std::printf("\n%-18s", "figure");
    std::vector<int> sizes;
    for (const auto& [figure, values] : figures())
        for (const auto& [captures, ms] : values)
            if (std::find(sizes.begin(), sizes.end(), captures) == sizes.end())
                sizes.push_back(captures);
    std::sort(sizes.begin(), sizes.end());
    for (int captures : sizes)
        std::printf("%12d", captures);
    std::printf("   growth per 10x\n");
    for (const auto& [figure, values] : figures()) {
        std::printf("%-18s", figure.c_str());
        for (int captures : sizes) {
            const auto it = values.find(captures);
            if (it == values.end())
                std::printf("%12s", "-");
            else
                std::printf("%12.3f", it->second);
        }
        std::printf("  ");
        for (size_t i = 1; i < sizes.size(); ++i) {
            const auto a = values.find(sizes[i - 1]);
            const auto b = values.find(sizes[i]);
            if (a != values.end() && b != values.end() && a->second > 0)
                std::printf(" %.1fx", b->second / a->second);
        }
        std::printf("\n");
    }
}

} // namespace
} // namespace vellicord

int main(int argc, char** argv)
{
    using namespace vellicord;
    QCoreApplication app(argc, argv);
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    int maxCaptures = 1000000;
    for (int i = 1; i < argc; ++i) {
        if (std::strncmp(argv[i], "--max_captures=", 15) == 0)
            maxCaptures = std::atoi(argv[i] + 15);
    }
    for (int captures = 1000; captures <= maxCaptures; captures *= 10) {
        const int runs = captures >= 1000000 ? 3 : captures >= 100000 ? 5 : 20;
        // 20 loads and more, so that the slowest of them says something.
        const int loads = captures >= 1000000 ? 5 : 20;
        benchmark::RegisterBenchmark("Load", Load)->Arg(captures)->Iterations(loads)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("LoadRead", LoadRead)
            ->Arg(captures)
            ->Iterations(loads)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("Save", Save)->Arg(captures)->Iterations(runs)->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("SearchWorst", SearchWorst)
            ->Arg(captures)
            ->Iterations(runs)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("SearchTypedOn", SearchTypedOn)
            ->Arg(captures)
            ->Iterations(20)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("SortNewestFirst", SortNewestFirst)
            ->Arg(captures)
            ->Iterations(runs)
            ->Unit(benchmark::kMillisecond);
        benchmark::RegisterBenchmark("SortKeysNewestFirst", SortKeysNewestFirst)
            ->Arg(captures)
            ->Iterations(runs)
            ->Unit(benchmark::kMillisecond);
    }
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    printGrowth();
    return 0;
}
