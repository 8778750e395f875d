// The library file's figures: encode and decode speed of the whole document, the cost of a
// whole save against writing the same bytes twice with fsync, and the load at start.
#include "core/library/StorePersistence.h"
#include "platform/posix/PosixFileSystem.h"

#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <chrono>
#include <memory>
#include <cstdio>
#include <fcntl.h>
#include <random>
#include <unistd.h>

namespace vellicord {
namespace {

// A library that looks like a real one: paragraphs of prose (a few non-ASCII letters and
// quotes), their Markdown, a page address and title, some captures in a group, a few drafts.
StoreSnapshot realisticLibrary(int captures)
{
    static const QString words[] = {
        QStringLiteral("the"),       QStringLiteral("library"),  QStringLiteral("captures"), QStringLiteral("passage"),
        QStringLiteral("weather"),   QStringLiteral("model"),    QStringLiteral("prompt"),   QStringLiteral("naïve"),
        QStringLiteral("résumé"),    QStringLiteral("“quoted”"), QStringLiteral("of"),       QStringLiteral("and"),
        QStringLiteral("application"), QStringLiteral("context"), QStringLiteral("window"),  QStringLiteral("source"),
    };
    std::mt19937 random(42);
    std::uniform_int_distribution<int> word(0, 15);
    std::uniform_int_distribution<int> length(30, 110);
    StoreSnapshot snapshot;
    for (int g = 0; g < 20; ++g)
        snapshot.groups.append({QUuid::createUuid(), QStringLiteral("Group %1").arg(g), QStringLiteral("#3366FF"),
                                QDateTime::fromSecsSinceEpoch(1772353800 + g, Qt::UTC)});
    snapshot.selections.reserve(captures);
    for (int n = 0; n < captures; ++n) {
        QString text;
        const int count = length(random);
        for (int w = 0; w < count; ++w) {
            text += words[word(random)];
            text += w % 17 == 16 ? QStringLiteral(".\n") : QStringLiteral(" ");
        }
        QList<QUuid> groups;
        if (n % 5 == 0)
            groups.append(snapshot.groups[n % 20].id);
        snapshot.selections.append(Selection(QUuid::createUuid(), text, QStringLiteral("**Note** ") + text,
                                             QStringLiteral("Firefox"), QStringLiteral("org.mozilla.firefox"),
                                             QStringLiteral("https://example.org/articles/%1?ref=library").arg(n),
                                             QStringLiteral("Article number %1 — a title").arg(n), std::nullopt, groups,
                                             QDateTime::fromSecsSinceEpoch(1772353800 + n, Qt::UTC)));
    }
    QList<ContextDraft> drafts;
    for (int d = 0; d < 5; ++d) {
        ContextDraft draft;
        draft.id = QUuid::createUuid();
        draft.name = QStringLiteral("Draft %1").arg(d);
        draft.task = QStringLiteral("Summarise the captures.");
        draft.templateName = QStringLiteral("Sections");
        draft.modelProfileID = QStringLiteral("gpt-4o");
        draft.createdAt = draft.updatedAt = QDateTime::fromSecsSinceEpoch(1772353800, Qt::UTC);
        for (int e = 0; e < 20 && e < captures; ++e)
            draft.entries.append({QUuid::createUuid(), snapshot.selections[e].id, true, false, false, std::nullopt,
                                  std::nullopt});
        drafts.append(draft);
    }
    snapshot.drafts = drafts;
    snapshot.activeDraftID = drafts.first().id;
    return snapshot;
}

const StoreSnapshot& library(int captures)
{
    static const StoreSnapshot small = realisticLibrary(10000);
    static const StoreSnapshot large = realisticLibrary(100000);
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

// A folder on the disk (not a memory-backed temporary folder, where fsync costs nothing).
QString diskFolder()
{
    const QString cache = qEnvironmentVariableIsEmpty("XDG_CACHE_HOME") ? QDir::homePath() + QStringLiteral("/.cache")
                                                                         : qEnvironmentVariable("XDG_CACHE_HOME");
    QDir().mkpath(cache);
    return cache + QStringLiteral("/vellicord-bench-XXXXXX");
}

double millisecondsSince(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

// The baseline: the same bytes written to two files, each with fsync.
void writeTwiceWithSync(const QString& folder, const QByteArray& bytes)
{
    for (const char* name : {"/plain.json", "/plain.backup.json"}) {
        const int fd = ::open(QFile::encodeName(folder + QLatin1String(name)).constData(),
                              O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
        size_t done = 0;
        while (done < size_t(bytes.size())) {
            const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size()) - done);
            if (n <= 0)
                break;
            done += size_t(n);
        }
        ::fsync(fd);
        ::close(fd);
    }
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
