#include "core/library/Store.h"

#include "core/composition/ContextComposer.h"
#include "core/library/LibrarySamples.h"
#include "core/library/StorePersistence.h"
#include "support/TemporaryLibrary.h"

#include <QCoreApplication>
#include <QDir>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <functional>

#include <sys/stat.h>

namespace vellicord {
namespace {

using namespace std::chrono_literals;
using Op = FaultyFileSystem::Operation;
using Status = StorePersistenceStatus;

class StoreTest : public ::testing::Test, protected TemporaryLibrary {
protected:
    StoreSnapshot onDisk() { return StorePersistence::decode(readAll(libraryPath)); }
};

TEST_F(StoreTest, StartRepairsTheActiveDraftWithoutWriting)
{
    StoreSnapshot library = LibrarySamples::library(2);
    library.activeDraftID = LibrarySamples::id(424242);
    const QByteArray bytes = LibrarySamples::bytes(library);
    writeAll(libraryPath, bytes);
    writeAll(backupPath, bytes);

    auto store = open();
    EXPECT_EQ(store->activeDraftID(), library.drafts->first().id);
    EXPECT_EQ(store->persistenceStatus(), Status::ready);
    settle();
    EXPECT_EQ(writes, 0);
    store.reset();
    EXPECT_EQ(readAll(libraryPath), bytes);

    // Without drafts the active draft stays unset; a document without "drafts" starts with none.
    StoreSnapshot noDrafts = LibrarySamples::library(1);
    noDrafts.drafts.reset();
    writeAll(libraryPath, LibrarySamples::bytes(noDrafts));
    writeAll(backupPath, LibrarySamples::bytes(noDrafts));
    store = open();
    EXPECT_FALSE(store->activeDraftID());
    EXPECT_TRUE(store->drafts().isEmpty());
}

// A library read ahead on another thread is the library the store would have loaded itself, the
// recovery from the backup included.
TEST_F(StoreTest, PreloadedLibraryIsTheOneLoadedInPlace)
{
    struct Case {
        const char* name;
        std::optional<QByteArray> library, backup;
        Status status;
        qsizetype captures;
    };
    const QByteArray valid = LibrarySamples::bytes(LibrarySamples::library(3));
    const Case cases[] = {
        {"both files alike", valid, valid, Status::ready, 3},
        {"unreadable library", QByteArray("{ not json"), valid, Status::recoveredFromBackup, 3},
        {"missing library", std::nullopt, valid, Status::recoveredFromBackup, 3},
        {"first start", std::nullopt, std::nullopt, Status::ready, 0},
    };
    for (const Case& c : cases) {
        for (const QString& path : {libraryPath, backupPath})
            QFile::remove(path);
        if (c.library)
            writeAll(libraryPath, *c.library);
        if (c.backup)
            writeAll(backupPath, *c.backup);
        Store store(Store::preload(libraryPath, files), services());
        EXPECT_EQ(store.persistenceStatus(), c.status) << c.name;
        EXPECT_EQ(store.selections().size(), c.captures) << c.name;
        if (c.captures > 0) {
            EXPECT_EQ(readAll(libraryPath), valid) << c.name;
        }
    }
}

TEST_F(StoreTest, VersionOneLoadsAndIsSavedAsVersionTwo)
{
    QByteArray bytes = LibrarySamples::bytes(LibrarySamples::library(2));
    bytes.replace("\"version\": 2", "\"version\": 1");
    writeAll(libraryPath, bytes);
    writeAll(backupPath, bytes);
    auto store = open();
    ASSERT_EQ(store->selections().size(), 2);
    store->renameGroup(store->groups().first().id, QStringLiteral("Renamed"));
    settle();
    EXPECT_EQ(onDisk().version, 2);
    EXPECT_EQ(readAll(libraryPath), readAll(backupPath));
}

TEST_F(StoreTest, EveryOperationIsRefusedWhenTheLibraryMayNotChange)
{
    QByteArray bytes = LibrarySamples::bytes(LibrarySamples::library(2));
    bytes.replace("\"version\": 2", "\"version\": 3");
    writeAll(libraryPath, bytes);
    auto store = open();
    ASSERT_EQ(store->persistenceStatus(), Status::incompatibleVersion);
    EXPECT_FALSE(store->canModifyLibrary());

    const Selection s = LibrarySamples::selection(7);
    store->add(s);
    store->remove(s.id);
    EXPECT_TRUE(store->addImportedTextChunks({QStringLiteral("a")}, QStringLiteral("App")).isEmpty());
    EXPECT_FALSE(store->addGroup(QStringLiteral("G"), QStringLiteral("#000000")));
    EXPECT_FALSE(store->createGroup(QStringLiteral("G"), QStringLiteral("#000000"), {s.id}));
    store->addToGroup(LibrarySamples::id(1), {s.id});
    store->deleteGroup(LibrarySamples::id(1));
    store->renameGroup(LibrarySamples::id(1), QStringLiteral("x"));
    store->removeFromGroups({LibrarySamples::id(1)}, {s.id});
    EXPECT_FALSE(store->newDraft());
    EXPECT_FALSE(store->addSelectionToActiveDraft(s.id));
    const ContextDraft unsaved = store->ensureActiveDraft();
    EXPECT_FALSE(store->findDraft(unsaved.id));
    store->updateDraft(unsaved);
    store->activateDraft(unsaved.id);
    store->deleteDraft(unsaved.id);
    EXPECT_FALSE(store->saveNow());
    settle();

    EXPECT_TRUE(store->selections().isEmpty());
    EXPECT_TRUE(store->groups().isEmpty());
    EXPECT_TRUE(store->drafts().isEmpty());
    EXPECT_EQ(writes + int(queue.pending()), 0);
    store.reset();
    EXPECT_EQ(readAll(libraryPath), bytes);
    EXPECT_FALSE(QFile::exists(backupPath));
}

TEST_F(StoreTest, DebouncedSaveWritesTheLastStateOnce)
{
    auto store = open();
    for (int i = 0; i < 10; ++i) {
        store->add(LibrarySamples::selection(i));
        settle(100ms);
    }
    EXPECT_EQ(writes, 0) << "nothing is written while changes keep coming";
    settle(300ms);
    EXPECT_EQ(writes, 1);
    EXPECT_EQ(onDisk().selections.size(), 10);
    EXPECT_EQ(onDisk().selections.first().id, LibrarySamples::id(9)) << "newest first";
    settle(10s);
    EXPECT_EQ(writes, 1);
}

TEST_F(StoreTest, SaveNowCancelsThePendingSave)
{
    auto store = open();
    store->add(LibrarySamples::selection(1));
    EXPECT_TRUE(store->saveNow());
    EXPECT_EQ(onDisk().selections.size(), 1);
    settle();
    EXPECT_EQ(writes, 0) << "the pending save never runs";
    EXPECT_EQ(time.pendingCount(), 0);
}

TEST_F(StoreTest, AChangeAfterTheSnapshotDoesNotLeakIntoTheWrite)
{
    auto store = open();
    store->add(LibrarySamples::selection(1));
    time.advance(500ms); // the snapshot is taken now; its write waits on the queue
    store->add(LibrarySamples::selection(2));
    queue.runDue();
    EXPECT_EQ(onDisk().selections.size(), 1);
    settle();
    EXPECT_EQ(onDisk().selections.size(), 2);
}

TEST_F(StoreTest, DestroyingTheStoreWritesThePendingSave)
{
    auto store = open();
    store->add(LibrarySamples::selection(1));
    store.reset();
    EXPECT_EQ(onDisk().selections.size(), 1);
}

// A quit saves the library; when nothing changed since library and backup last took it whole,
// neither file is touched (same inode, same modification time), also after operations that
// change nothing yet ask for a save, and the store says the files hold the library.
TEST(StoreSaving, QuittingAnUnchangedLibraryWritesNothing)
{
    using Stamp = std::pair<ino_t, timespec>;
    const auto stamp = [](const QString& path) {
        struct stat info {};
        ::stat(QFile::encodeName(path).constData(), &info);
        return Stamp{info.st_ino, info.st_mtim};
    };
    const auto same = [](const Stamp& a, const Stamp& b) {
        return a.first == b.first && a.second.tv_sec == b.second.tv_sec && a.second.tv_nsec == b.second.tv_nsec;
    };
    struct Case {
        const char* name;
        std::function<void(TemporaryLibrary&)> beforeOpening;
        std::function<void(Store&, TemporaryLibrary&)> change;
        bool savedBeforeQuit;
        bool quitWrites;
    };
    const QUuid first = LibrarySamples::id(0);
    const Case cases[] = {
        {"nothing done", {}, {}, false, false},
        {"ids of no capture deleted",
         {},
         [](Store& s, TemporaryLibrary& l) {
             s.remove(LibrarySamples::id(99));
             l.settle();
         },
         false,
         false},
        {"the active draft chosen again",
         {},
         [](Store& s, TemporaryLibrary& l) {
             s.activateDraft(*s.activeDraftID());
             l.settle();
         },
         false,
         false},
        {"captures already in the group added to it",
         {},
         [&](Store& s, TemporaryLibrary& l) {
             s.addToGroup(s.groups().first().id, {first});
             l.settle();
         },
         false,
         false},
        {"the collect switch turned",
         {},
         [](Store& s, TemporaryLibrary&) { s.setCollectIntoActiveDraft(true); },
         false,
         false},
        {"a capture added and saved",
         {},
         [](Store& s, TemporaryLibrary& l) {
             s.add(LibrarySamples::selection(50));
             l.settle();
         },
         true,
         false},
        {"a capture added, quit before its save",
         {},
         [](Store& s, TemporaryLibrary&) { s.add(LibrarySamples::selection(50)); },
         false,
         true},
        {"a capture removed and saved, then ids of no capture deleted",
         {},
         [&](Store& s, TemporaryLibrary& l) {
             s.remove(first);
             l.settle();
             s.remove(first);
             l.settle();
         },
         true,
         false},
        {"a save that failed: the quit tries again",
         {},
         [](Store& s, TemporaryLibrary& l) {
             l.files.fail(FaultyFileSystem::Operation::rename, l.libraryPath);
             s.add(LibrarySamples::selection(50));
             l.settle();
             l.files.clearFailures();
         },
         false,
         true},
        {"a first start: the files come with the quit",
         [](TemporaryLibrary& l) {
             QFile::remove(l.libraryPath);
             QFile::remove(l.backupPath);
         },
         {},
         false,
         true},
        {"a backup that could not be refreshed at start",
         [](TemporaryLibrary& l) {
             TemporaryLibrary::writeAll(l.backupPath, "{}");
             l.files.fail(FaultyFileSystem::Operation::rename, l.backupPath);
         },
         [](Store&, TemporaryLibrary& l) { l.files.clearFailures(); }, false, true},
    };
    for (const Case& c : cases) {
        TemporaryLibrary library;
        StoreSnapshot start = LibrarySamples::library(3);
        start.selections[0].groupIDs = {start.groups.first().id};
        const QByteArray bytes = LibrarySamples::bytes(start);
        TemporaryLibrary::writeAll(library.libraryPath, bytes);
        TemporaryLibrary::writeAll(library.backupPath, bytes);
        if (c.beforeOpening)
            c.beforeOpening(library);
        auto store = library.open();
        const Stamp libraryOpened = stamp(library.libraryPath), backupOpened = stamp(library.backupPath);
        if (c.change)
            c.change(*store, library);
        const Stamp libraryBefore = stamp(library.libraryPath), backupBefore = stamp(library.backupPath);
        EXPECT_EQ(!same(libraryBefore, libraryOpened), c.savedBeforeQuit) << c.name;
        EXPECT_EQ(!same(backupBefore, backupOpened), c.savedBeforeQuit) << c.name;
        // What tells a quitting program it may leave without freeing the library.
        EXPECT_EQ(store->isSaved(), !c.quitWrites) << c.name;
        EXPECT_TRUE(store->saveNow()) << c.name;
        EXPECT_TRUE(store->isSaved()) << c.name;
        store.reset();
        EXPECT_EQ(!same(stamp(library.libraryPath), libraryBefore), c.quitWrites) << c.name;
        EXPECT_EQ(!same(stamp(library.backupPath), backupBefore), c.quitWrites) << c.name;
        EXPECT_EQ(TemporaryLibrary::readAll(library.libraryPath), TemporaryLibrary::readAll(library.backupPath))
            << c.name;
    }
}

TEST_F(StoreTest, FailedSavesSetTheStatusAndTheNextGoodSaveClearsIt)
{
    auto store = open();
    QSignalSpy statusChanges(store.get(), &Store::persistenceStatusChanged);
    const struct {
        const char* name;
        Op operation;
        QString path;
        int code;
        Status status;
    } cases[] = {
        {"library write, disk full", Op::write, libraryPath, ENOSPC, Status::saveFailed},
        {"library flush", Op::syncFile, libraryPath, EIO, Status::saveFailed},
        {"library rename", Op::rename, libraryPath, EIO, Status::saveFailed},
        {"library rename, read-only", Op::rename, libraryPath, EROFS, Status::saveFailed},
        {"library folder flush", Op::syncFolder, libraryPath, EIO, Status::saveFailed},
        {"backup write, disk full", Op::write, backupPath, ENOSPC, Status::backupUnavailable},
        {"backup flush", Op::syncFile, backupPath, EIO, Status::backupUnavailable},
        {"backup rename", Op::rename, backupPath, EIO, Status::backupUnavailable},
        {"backup folder flush", Op::syncFolder, backupPath, EIO, Status::backupUnavailable},
    };
    int n = 0;
    for (const auto& c : cases) {
        statusChanges.clear();
        files.fail(c.operation, c.path, c.code);
        store->add(LibrarySamples::selection(++n));
        settle();
        EXPECT_EQ(store->persistenceStatus().name(), c.status.name()) << c.name;
        EXPECT_EQ(statusChanges.size(), 1) << c.name;
        EXPECT_TRUE(store->canModifyLibrary()) << c.name;
        EXPECT_FALSE(store->saveNow()) << c.name << ": the save at quit fails the same way";
        files.clearFailures();
        store->add(LibrarySamples::selection(++n));
        settle();
        EXPECT_EQ(store->persistenceStatus(), Status::ready) << c.name;
        EXPECT_EQ(readAll(libraryPath), readAll(backupPath)) << c.name;
        EXPECT_EQ(onDisk().selections.size(), n) << c.name;
    }
}

TEST_F(StoreTest, AfterARecoveryAClearedFailureShowsTheRecoveryAgain)
{
    // The library was damaged at launch and restored from its backup; the banner saying so must
    // come back once a passing write failure is over, not give way to "ready".
    const QByteArray backup = LibrarySamples::bytes(LibrarySamples::library(2));
    writeAll(libraryPath, backup.left(40));
    writeAll(backupPath, backup);
    auto store = open();
    ASSERT_EQ(store->persistenceStatus(), Status::recoveredFromBackup);
    const struct {
        const char* name;
        Op operation;
        QString path;
        Status status;
    } cases[] = {
        {"library write", Op::write, libraryPath, Status::saveFailed},
        {"library rename", Op::rename, libraryPath, Status::saveFailed},
        {"backup write", Op::write, backupPath, Status::backupUnavailable},
    };
    int n = 100;
    for (const auto& c : cases) {
        files.fail(c.operation, c.path);
        store->add(LibrarySamples::selection(++n));
        settle();
        EXPECT_EQ(store->persistenceStatus(), c.status) << c.name;
        files.clearFailures();
        store->add(LibrarySamples::selection(++n));
        settle();
        EXPECT_EQ(store->persistenceStatus(), Status::recoveredFromBackup) << c.name;
        EXPECT_EQ(readAll(libraryPath), readAll(backupPath)) << c.name;
    }
}

TEST_F(StoreTest, UpdatingADraftWhenNoneIsActiveMakesItActive)
{
    struct Case {
        const char* name;
        std::function<void(Store&)> before; // leaves the draft to update as the last one, or none
        bool updateTheLastDraft;
        bool becomesActive;
    };
    const Case cases[] = {
        {"empty library, a new draft", [](Store&) {}, false, true},
        {"the last draft deleted, then updated", [](Store& store) { store.deleteDraft(store.ensureActiveDraft().id); },
         false, true},
        {"another draft active, a new draft", [](Store& store) { store.ensureActiveDraft(); }, false, false},
        {"the active draft itself", [](Store& store) { store.ensureActiveDraft(); }, true, true},
    };
    for (const Case& c : cases) {
        QFile::remove(libraryPath);
        QFile::remove(backupPath);
        auto store = open();
        c.before(*store);
        const std::optional<QUuid> activeBefore = store->activeDraftID();
        ContextDraft draft;
        if (c.updateTheLastDraft) {
            draft = store->drafts().last();
        } else {
            draft.id = LibrarySamples::id(777);
            draft.name = QStringLiteral("Edited");
            draft.templateName = QStringLiteral("Plain");
            draft.modelProfileID = QStringLiteral("claude");
        }
        draft.task = QStringLiteral("Summarise");
        store->updateDraft(draft);
        EXPECT_EQ(store->activeDraftID(), c.becomesActive ? std::optional(draft.id) : activeBefore) << c.name;
        settle();
        EXPECT_EQ(onDisk().activeDraftID, store->activeDraftID()) << c.name;
    }
}

TEST_F(StoreTest, CollectIntoActiveDraftIsKeptInTheDefaults)
{
    defaults.setBool(QString::fromLatin1(Store::collectIntoActiveDraftKey), true);
    auto store = open();
    EXPECT_TRUE(store->collectIntoActiveDraft());
    defaults.values.clear();
    store->setCollectIntoActiveDraft(true);
    EXPECT_EQ(defaults.values.value(QString::fromLatin1(Store::collectIntoActiveDraftKey)), QVariant(true))
        << "written also when unchanged";
    settle();
    EXPECT_EQ(writes, 0) << "not part of the library file";
}

TEST_F(StoreTest, CapturesAndGroups)
{
    auto store = open();
    QSignalSpy selectionsChanged(store.get(), &Store::selectionsChanged);
    const Selection first = LibrarySamples::selection(1);
    store->add(first);
    Selection again = LibrarySamples::selection(1);
    again.text = QStringLiteral("changed");
    store->add(again);
    EXPECT_EQ(store->selections().size(), 1);
    EXPECT_EQ(store->findByID(first.id)->text, first.text) << "an existing id keeps the old capture";
    EXPECT_EQ(selectionsChanged.count(), 1);

    // Imported chunks: blanks skipped, untrimmed, newest (last chunk) first in the library.
    const QList<Selection> imported = store->addImportedTextChunks(
        {QStringLiteral("one"), QStringLiteral("   "), QStringLiteral("  two")}, QStringLiteral("Pasted"));
    ASSERT_EQ(imported.size(), 2);
    EXPECT_EQ(imported[0].text, QStringLiteral("one"));
    EXPECT_EQ(imported[1].markdown, QStringLiteral("  two"));
    EXPECT_EQ(store->selections()[0].id, imported[1].id);
    EXPECT_EQ(store->selections()[1].id, imported[0].id);
    EXPECT_EQ(store->findByID(imported[0].id)->appName, QStringLiteral("Pasted"));
    EXPECT_TRUE(store->addImportedTextChunks({QStringLiteral(" \n")}, QStringLiteral("P")).isEmpty());

    // Groups: empty names allowed; membership added once; rename trims; blank rename ignored.
    const auto group = store->createGroup(QString(), QStringLiteral("#4F8EF7"), {first.id, imported[0].id});
    ASSERT_TRUE(group);
    store->addToGroup(group->id, {first.id});
    EXPECT_EQ(store->findByID(first.id)->groupIDs, QList<QUuid>{group->id});
    EXPECT_EQ(store->selections(group->id).size(), 2);
    store->renameGroup(group->id, QStringLiteral("  Reading \n"));
    EXPECT_EQ(store->findGroup(group->id)->name, QStringLiteral("Reading"));
    store->renameGroup(group->id, QStringLiteral("   "));
    EXPECT_EQ(store->findGroup(group->id)->name, QStringLiteral("Reading"));
    const auto other = store->addGroup(QStringLiteral("Other"), QStringLiteral("#000000"));
    store->addToGroup(other->id, {first.id});
    store->removeFromGroups({group->id}, {first.id});
    EXPECT_EQ(store->findByID(first.id)->groupIDs, QList<QUuid>{other->id});
    // Named by the Store's own list: the id must not be read again once the group is gone.
    store->deleteGroup(store->groups().first().id);
    EXPECT_EQ(store->findByID(first.id)->groupIDs, QList<QUuid>{other->id});
    EXPECT_TRUE(store->findByID(imported[0].id)->groupIDs.isEmpty());
    store->deleteGroup(other->id);
    EXPECT_TRUE(store->findByID(first.id)->groupIDs.isEmpty());
    EXPECT_EQ(store->selections().size(), 3) << "deleting a group keeps its captures";
    EXPECT_TRUE(store->groups().isEmpty());
}

// Views follow the list by rows: each change names the captures it added, removed or changed.
TEST_F(StoreTest, EachChangeNamesItsCaptures)
{
    auto store = open();
    QList<Store::SelectionsChange> changes;
    QObject::connect(store.get(), &Store::selectionsChanged,
                     [&](const Store::SelectionsChange& change) { changes.append(change); });
    using Ids = QSet<QUuid>;
    using Change = Store::SelectionsChange;
    const QUuid a = LibrarySamples::id(1), b = LibrarySamples::id(2), missing = LibrarySamples::id(9);
    QUuid group;
    QList<QUuid> imported;
    struct Step {
        const char* name;
        std::function<void()> act;
        std::function<QList<Change>()> expected; // read after the step, for the ids it made
    };
    const Step steps[] = {
        {"add", [&] { store->add(LibrarySamples::selection(1)); }, [&] { return QList<Change>{{.added = {a}}}; }},
        {"an id already there", [&] { store->add(LibrarySamples::selection(1)); }, [] { return QList<Change>{}; }},
        {"add another", [&] { store->add(LibrarySamples::selection(2)); },
         [&] { return QList<Change>{{.added = {b}}}; }},
        {"import: in list order, newest first",
         [&] {
             for (const Selection& s :
                  store->addImportedTextChunks({QStringLiteral("x"), QStringLiteral("y")}, QStringLiteral("P")))
                 imported.prepend(s.id);
         },
         [&] { return QList<Change>{{.added = imported}}; }},
        {"into a new group, unknown ids and members already there left out",
         [&] {
             group = store->createGroup(QStringLiteral("G"), QStringLiteral("#000000"), {a, missing})->id;
             store->addToGroup(group, {a, b});
         },
         [&] {
             return QList<Change>{{.updated = {a}, .memberships = {{group, 1}}},
                                  {.updated = {b}, .memberships = {{group, 1}}}};
         }},
        {"out of the group", [&] { store->removeFromGroups({group}, {a}); },
         [&] {
             return QList<Change>{{.updated = {a}, .memberships = {{group, -1}}}};
         }},
        {"group deleted", [&] { store->deleteGroup(group); },
         [&] {
             return QList<Change>{{.updated = {b}, .memberships = {{group, -1}}}};
         }},
        {"removed, unknown ids left out",
         [&] {
             store->remove(Ids{a, missing});
         },
         [&] { return QList<Change>{{.removed = {a}}}; }},
        {"a capture added and removed with its groups",
         [&] {
             Selection member = LibrarySamples::selection(4);
             member.groupIDs = {group, LibrarySamples::id(77)};
             store->add(member);
             store->remove(member.id);
         },
         [&] {
             const QHash<QUuid, qsizetype> joined{{group, 1}, {LibrarySamples::id(77), 1}};
             const QHash<QUuid, qsizetype> left{{group, -1}, {LibrarySamples::id(77), -1}};
             return QList<Change>{{.added = {LibrarySamples::id(4)}, .memberships = joined},
                                  {.removed = {LibrarySamples::id(4)}, .memberships = left}};
         }},
    };
    for (const Step& step : steps) {
        changes.clear();
        step.act();
        const QList<Change> expected = step.expected();
        ASSERT_EQ(changes.size(), expected.size()) << step.name;
        for (qsizetype i = 0; i < expected.size(); ++i) {
            EXPECT_EQ(changes[i].added, expected[i].added) << step.name;
            EXPECT_EQ(changes[i].removed, expected[i].removed) << step.name;
            EXPECT_EQ(changes[i].updated, expected[i].updated) << step.name;
            EXPECT_EQ(changes[i].memberships, expected[i].memberships) << step.name;
        }
    }
    EXPECT_EQ(store->selections().first().id, imported.first());
}

TEST_F(StoreTest, DeletingCapturesCascadesIntoDraftsWithOneSignalEach)
{
    auto store = open();
    for (int i = 1; i <= 3; ++i)
        store->add(LibrarySamples::selection(i));
    const auto a = store->newDraft(QStringLiteral("A"));
    store->addSelectionsToActiveDraft({LibrarySamples::id(1), LibrarySamples::id(2)});
    const auto b = store->newDraft(QStringLiteral("B"));
    store->addSelectionsToActiveDraft({LibrarySamples::id(1), LibrarySamples::id(3)});
    const QDateTime updatedA = store->findDraft(a->id)->updatedAt;
    settle(1s);

    QSignalSpy selectionsChanged(store.get(), &Store::selectionsChanged);
    QSignalSpy draftsChanged(store.get(), &Store::draftsChanged);
    store->remove(QSet<QUuid>{LibrarySamples::id(1), LibrarySamples::id(2)});
    EXPECT_EQ(selectionsChanged.count(), 1);
    EXPECT_EQ(draftsChanged.count(), 1);
    EXPECT_EQ(store->selections().size(), 1);
    EXPECT_TRUE(store->findDraft(a->id)->entries.isEmpty());
    ASSERT_EQ(store->findDraft(b->id)->entries.size(), 1);
    EXPECT_EQ(store->findDraft(a->id)->updatedAt, updatedA) << "the draft's time is left alone";
    EXPECT_EQ(store->findByID(LibrarySamples::id(3))->id, LibrarySamples::id(3)) << "the index follows the removal";

    const int before = writes;
    store->remove(LibrarySamples::id(99));
    settle();
    EXPECT_EQ(writes, before + 1) << "ids of nothing still schedule a save";
}

TEST_F(StoreTest, Drafts)
{
    auto store = open();
    EXPECT_FALSE(store->activeDraft());
    const ContextDraft first = store->ensureActiveDraft();
    EXPECT_EQ(first.name, QStringLiteral("Prompt 1"));
    EXPECT_EQ(first.templateName, QStringLiteral("Sections"));
    EXPECT_EQ(first.modelProfileID, QStringLiteral("gpt-4o"));
    EXPECT_TRUE(first.task.isEmpty());
    EXPECT_EQ(store->activeDraftID(), first.id);
    settle();
    const int before = writes;
    EXPECT_EQ(store->ensureActiveDraft().id, first.id);
    settle();
    EXPECT_EQ(writes, before) << "an existing active draft schedules nothing";

    const auto second = store->newDraft();
    const auto third = store->newDraft();
    EXPECT_EQ(second->name, QStringLiteral("Prompt 2"));
    EXPECT_EQ(third->name, QStringLiteral("Prompt 3"));
    EXPECT_EQ(store->newDraft(QString())->name, QString());
    EXPECT_EQ(store->drafts().size(), 4);

    // Replace in place with a fresh time, or append an unknown draft.
    ContextDraft edited = *second;
    edited.task = QStringLiteral("Do it");
    edited.updatedAt = QDateTime::fromSecsSinceEpoch(0, Qt::UTC);
    time.advance(5s);
    store->updateDraft(edited);
    EXPECT_EQ(store->drafts()[1].task, QStringLiteral("Do it"));
    EXPECT_EQ(store->drafts()[1].updatedAt, time.now());
    ContextDraft stranger = edited;
    stranger.id = LibrarySamples::id(5555);
    store->updateDraft(stranger);
    EXPECT_EQ(store->drafts().last().id, stranger.id);

    // Deleting the active draft makes the first remaining one active; the last leaves none.
    store->activateDraft(third->id);
    store->deleteDraft(third->id);
    EXPECT_EQ(store->activeDraftID(), first.id);
    // Named by the Store's own list, as a view may do: the id is not read again after the removal.
    store->deleteDraft(store->drafts().first().id);
    EXPECT_EQ(store->activeDraftID(), store->drafts().first().id);
    for (const ContextDraft& d : QList<ContextDraft>(store->drafts()))
        store->deleteDraft(d.id);
    EXPECT_FALSE(store->activeDraftID());
}

TEST_F(StoreTest, AddingCapturesToTheActiveDraft)
{
    auto store = open();
    for (int i = 1; i <= 3; ++i)
        store->add(LibrarySamples::selection(i));
    EXPECT_TRUE(store->addSelectionToActiveDraft(LibrarySamples::id(2)));
    ASSERT_EQ(store->drafts().size(), 1) << "an empty library gets Prompt 1 first";
    const QDateTime updated = store->activeDraft()->updatedAt;
    time.advance(1s);
    EXPECT_FALSE(store->addSelectionToActiveDraft(LibrarySamples::id(2)));
    EXPECT_EQ(store->activeDraft()->updatedAt, updated);

    EXPECT_EQ(store->addSelectionsToActiveDraft({LibrarySamples::id(1), LibrarySamples::id(2), LibrarySamples::id(3)}),
              2);
    const QList<ContextDraftEntry> entries = store->activeDraft()->entries;
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[1].selectionID, LibrarySamples::id(3)) << "library order: newest first";
    EXPECT_EQ(entries[2].selectionID, LibrarySamples::id(1));
    for (const ContextDraftEntry& e : entries)
        EXPECT_TRUE(e.include && !e.pin && !e.verbatim && !e.note && !e.customText);
    EXPECT_EQ(store->addSelectionsToActiveDraft({}), 0);
}

// What a drop or a menu names may have gone by the time the change runs: only captures that
// exist go into a prompt or a group, and only into a group that exists.
TEST_F(StoreTest, OnlyWhatExistsGoesIntoPromptsAndGroups)
{
    const QUuid a = LibrarySamples::id(1), b = LibrarySamples::id(2), gone = LibrarySamples::id(99);
    struct Case {
        const char* name;
        QSet<QUuid> ids;
        bool groupDeleted;
        qsizetype added; // entries added to the prompt
        bool draftMade;
        qsizetype members; // captures in the group afterwards
    };
    const Case cases[] = {
        {"known ids", {a, b}, false, 2, true, 2},
        {"unknown ids only: no prompt is made", {gone}, false, 0, false, 0},
        {"a mix: the known ones only", {a, gone}, false, 1, true, 1},
        {"nothing", {}, false, 0, false, 0},
        {"a group deleted in between", {a, b}, true, 2, true, 0},
    };
    for (const Case& c : cases) {
        TemporaryLibrary library;
        auto store = library.open();
        store->add(LibrarySamples::selection(1));
        store->add(LibrarySamples::selection(2));
        const SelectionGroup group = *store->addGroup(QStringLiteral("G"), QStringLiteral("#4F8EF7"));
        if (c.groupDeleted)
            store->deleteGroup(group.id);

        EXPECT_EQ(store->addSelectionsToActiveDraft(c.ids), c.added) << c.name;
        EXPECT_EQ(store->activeDraft().has_value(), c.draftMade) << c.name;
        if (store->activeDraft()) {
            EXPECT_EQ(store->activeDraft()->entries.size(), c.added) << c.name;
            EXPECT_EQ(store->activeDraft()->includedCount(), c.added) << c.name;
        }
        store->addToGroup(group.id, c.ids);
        EXPECT_EQ(store->selections(group.id).size(), c.members) << c.name;
        for (const Selection& s : store->selections())
            EXPECT_EQ(s.groupIDs.isEmpty(), c.members == 0 || !c.ids.contains(s.id)) << c.name;
    }
}

// Composing reads only the captures a draft names; the prompt must be the one the whole library
// gives, whatever the entries point at.
TEST_F(StoreTest, ADraftsCapturesComposeAsTheWholeLibraryDoes)
{
    auto store = open();
    for (int i = 0; i < 600; ++i) // more than one chunk of captures
        store->add(LibrarySamples::selection(i));
    const auto entry = [](int capture, bool include = true) {
        return ContextDraftEntry{LibrarySamples::id(100000 + capture),
                                 LibrarySamples::id(capture),
                                 include,
                                 false,
                                 false,
                                 std::nullopt,
                                 std::nullopt};
    };
    const struct {
        const char* name;
        QList<ContextDraftEntry> entries;
        qsizetype named;
    } cases[] = {
        {"none", {}, 0},
        {"captures from both ends of the library", {entry(599), entry(0), entry(300)}, 3},
        {"an id of no capture is left out", {entry(5), entry(9999), entry(6)}, 2},
        {"left-out entries are named too, excluded when composed", {entry(7, false), entry(8)}, 2},
    };
    for (const auto& c : cases) {
        ContextDraft draft = store->ensureActiveDraft();
        draft.task = QStringLiteral("Summarise.");
        draft.entries = c.entries;
        const QList<Selection> named = store->draftSelections(draft);
        EXPECT_EQ(named.size(), c.named) << c.name;
        const auto prompt = [&](const QList<Selection>& selections) {
            return ContextComposer::compose(draft, selections, std::nullopt, std::nullopt, std::nullopt, true).text;
        };
        EXPECT_EQ(prompt(named), prompt(store->selections().toList())) << c.name;
    }
}

TEST_F(StoreTest, RepeatedEntryIdsAreRepaired)
{
    auto store = open();
    ContextDraft draft = store->ensureActiveDraft();
    const ContextDraftEntry entry{LibrarySamples::id(1), LibrarySamples::id(2), true, false, false, {}, {}};
    draft.entries = {entry, entry, entry};
    store->updateDraft(draft);
    const QList<ContextDraftEntry> entries = store->activeDraft()->entries;
    EXPECT_EQ(entries[0].id, entry.id);
    EXPECT_NE(entries[1].id, entry.id);
    EXPECT_NE(entries[2].id, entries[1].id);
    EXPECT_TRUE(store->saveNow()) << "the library still saves";
    EXPECT_EQ(onDisk().drafts->first().entries.size(), 3);
}

TEST_F(StoreTest, SourceQueries)
{
    auto store = open();
    Selection a = LibrarySamples::selection(1);
    Selection b = LibrarySamples::selection(2);
    b.sourceURL = a.sourceURL;
    b.appName = QStringLiteral("Other");
    store->add(a);
    store->add(b);
    store->add(LibrarySamples::selection(3));
    EXPECT_EQ(store->count(a.sourceIdentity()), 2);
    EXPECT_EQ(store->sourceAggregates().size(), 2);
    EXPECT_EQ(store->sourceIdentities().size(), 2);
}

} // namespace
} // namespace vellicord
