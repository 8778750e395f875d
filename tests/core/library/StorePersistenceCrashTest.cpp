#include "core/library/StorePersistence.h"
#include "platform/posix/PosixFileSystem.h"

#include "core/library/LibrarySamples.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <random>

#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

namespace vellicord {
namespace {

using namespace LibrarySamples;

// The child: loads the library, then adds one capture after another, saving after each and
// reporting the number of captures of every save that returned (so is on the disk) to the parent.
[[noreturn]] void saveUntilKilled(const QString& storePath, int report)
{
    PosixFileSystem files;
    StorePersistence persistence(storePath, StorePersistence::backupURL(storePath), files);
    StoreSnapshot snapshot = persistence.load().snapshot.value_or(StoreSnapshot{});
    if (!snapshot.drafts)
        snapshot.drafts = QList<ContextDraft>{};
    for (;;) {
        snapshot.selections.prepend(selection(int(snapshot.selections.size())));
        try {
            persistence.write(snapshot);
        } catch (...) {
            _exit(2);
        }
        const int32_t count = int32_t(snapshot.selections.size());
        if (::write(report, &count, sizeof count) != sizeof count)
            _exit(3);
    }
}

int32_t lastReported(int pipe)
{
    int32_t last = 0;
    int32_t count = 0;
    while (::read(pipe, &count, sizeof count) == sizeof count)
        last = count;
    return last;
}

TEST(StorePersistenceCrash, killedSavesNeverLoseADurableCapture)
{
    // A killed process loses nothing the kernel already holds, so flushing to the disk only adds
    // time here: a memory-backed folder, where there is one, keeps the rounds short.
    const bool memoryBacked = QFileInfo(QStringLiteral("/dev/shm")).isWritable();
    QTemporaryDir root(memoryBacked ? QStringLiteral("/dev/shm/vellicord-crash-XXXXXX") : QString());
    ASSERT_TRUE(root.isValid());
    const QString storePath = root.path() + QStringLiteral("/Vellicord.json");
    std::mt19937 random(20261207);
    std::uniform_int_distribution<int> delay(0, 3000);
    int32_t durable = 0;
    int savesSeen = 0;
    int savesCutShort = 0; // rounds whose kill left a temporary file behind
    const auto temporaryFiles
        = [&] { return QDir(root.path()).entryList({QStringLiteral(".*.tmp-*")}, QDir::Files | QDir::Hidden).size(); };

    const int rounds = 200;
    for (int round = 0; round < rounds; ++round) {
        int report[2];
        ASSERT_EQ(::pipe(report), 0);
        const pid_t child = ::fork();
        ASSERT_GE(child, 0);
        if (child == 0) {
            ::close(report[0]);
            saveUntilKilled(storePath, report[1]);
        }
        ::close(report[1]);
        // Every other round lets the child save once before the random wait, so that the kills
        // fall in the middle of saves and not only into the start of the process.
        int32_t reported = 0;
        if (round % 2 == 1 && ::read(report[0], &reported, sizeof reported) != sizeof reported)
            reported = 0;
        ::usleep(useconds_t(delay(random)));
        ::kill(child, SIGKILL);
        int status = 0;
        ::waitpid(child, &status, 0);
        ASSERT_TRUE(WIFSIGNALED(status)) << "round " << round << ": the child stopped by itself, status " << status;
        reported = std::max(reported, lastReported(report[0]));
        ::close(report[0]);
        if (reported > 0)
            ++savesSeen;
        durable = std::max(durable, reported);

        if (temporaryFiles() > 0)
            ++savesCutShort;
        PosixFileSystem files;
        StorePersistence persistence(storePath, StorePersistence::backupURL(storePath), files);
        const StoreLoadResult loaded = persistence.load();
        ASSERT_EQ(temporaryFiles(), 0) << "round " << round << ": loading left a temporary file of a cut-off save";
        ASSERT_TRUE(loaded.status == StorePersistenceStatus::ready
                    || loaded.status == StorePersistenceStatus::recoveredFromBackup)
            << "round " << round << ": " << loaded.status.name();
        const qsizetype count = loaded.snapshot ? loaded.snapshot->selections.size() : 0;
        ASSERT_GE(count, durable) << "round " << round << ": a saved capture was lost";
        // The captures are whole and in order: newest first, numbered down to 0.
        for (qsizetype i = 0; i < count; ++i)
            ASSERT_EQ(loaded.snapshot->selections[i], selection(int(count - 1 - i))) << "round " << round;
        durable = int32_t(count);
    }
    // The kills must have hit saves, not only start-ups, for the test to mean something.
    EXPECT_GE(savesSeen, rounds / 2);
    EXPECT_GE(savesCutShort, rounds / 10);
}

} // namespace
} // namespace vellicord
