#pragma once

#include "core/library/ContextDraft.h"
#include "core/library/Selection.h"
#include "core/library/SelectionGroup.h"
#include "core/library/SelectionList.h"
#include "core/library/SourceAggregate.h"
#include "core/library/StoreLoadResult.h"
#include "core/library/StorePersistenceStatus.h"
#include "core/library/StoreSnapshot.h"
#include "platform/Clock.h"
#include "platform/Defaults.h"
#include "platform/FileSystem.h"
#include "platform/Scheduler.h"
#include "platform/SerialQueue.h"

#include <QHash>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QUuid>

#include <chrono>
#include <future>
#include <memory>
#include <optional>
#include <vector>

namespace vellicord {

class StorePersistence;

// The one library of the running application: captures, groups, prompt drafts, the active draft
// and the state of the library file. Lives on the main thread; every change goes through one of
// its operations, which ends by scheduling a save. Each operation emits each change signal at most
// once, however many records it touched.
//
// When the library may not be changed (the file is unreadable or of another format version), every
// operation changes nothing and returns its empty result.
class Store : public QObject {
    Q_OBJECT

public:
    // What the store needs from outside; all must outlive it.
    struct Services {
        FileSystem& fileSystem;
        Defaults& defaults;
        SerialQueue& saveQueue; // the library file is written only here ("com.vellicord.store.save")
        Scheduler& scheduler; // the save's debounce, on the main thread
        Clock& clock;
    };

    // What one operation did to the captures, so that a view can follow the list by rows.
    struct SelectionsChange {
        QList<QUuid> added; // now at the front of the list, in list order
        QSet<QUuid> removed;
        QSet<QUuid> updated; // changed in place: their groups
        // Per group, how many captures joined it (positive) or left it (negative), the added and
        // removed captures included: what a count of members follows without reading captures.
        QHash<QUuid, qsizetype> memberships;
    };

    static constexpr std::chrono::milliseconds saveDelay{400};
    static constexpr char collectIntoActiveDraftKey[] = "Vellicord.collectIntoActiveDraft";

    // The library file being read, checked and decoded ahead of the store that takes it.
    struct Preload {
        std::shared_ptr<StorePersistence> persistence;
        std::future<StoreLoadResult> loaded;
    };

    // Starts loading the library (the given file, or Vellicord/Vellicord.json in the data folder)
    // on a thread of its own, so that the application can build its windows meanwhile. Only once
    // the single-instance lock is held and nothing else writes the library.
    static Preload preload(std::optional<QString> storeURL, FileSystem& fileSystem);

    // Loads the library synchronously: the given file, or Vellicord/Vellicord.json in the data folder.
    Store(std::optional<QString> storeURL, Services services, QObject* parent = nullptr);
    // Takes the library a preload read, waiting for it; the file system is the preload's.
    Store(Preload preload, Services services, QObject* parent = nullptr);
    // Writes a pending save first and waits for the writes already queued.
    ~Store() override;

    // Vellicord/Vellicord.json in the data folder; creates the folder (a failure shows later).
    static QString defaultStoreURL(FileSystem& fileSystem);
    // Vellicord.json has Vellicord.backup.json beside it.
    static QString backupURL(const QString& storeURL);
    // The library file this store loads and saves.
    QString storeURL() const;

    // Cheap to copy: a copy shares the records, and later changes of the store do not reach it.
    const SelectionList& selections() const { return selections_; }
    const QList<SelectionGroup>& groups() const { return groups_; }
    const QList<ContextDraft>& drafts() const { return drafts_; }
    std::optional<QUuid> activeDraftID() const { return activeDraftID_; }
    bool collectIntoActiveDraft() const { return collectIntoActiveDraft_; }
    // Also stores the value in the defaults, every time; not part of the library file.
    void setCollectIntoActiveDraft(bool collect);
    StorePersistenceStatus persistenceStatus() const { return persistenceStatus_; }
    bool canModifyLibrary() const { return persistenceStatus_.allowsLibraryChanges(); }

    // Writes the library now, on the save queue, and waits: true when the files hold it. A save that
    // was pending is cancelled; nothing is written when the library may not be changed, nor when
    // it has not changed since the files last took it whole.
    bool saveNow();
    // Whether the library file and its backup hold the library as it is (the last save wrote it,
    // or nothing changed since the load); read once the save queue is idle, as after saveNow().
    bool isSaved() const { return *written_ == revision_; }
    // How many changes the library has had that its file does not hold (its backup may lag
    // behind): one per operation that changed it. Read as isSaved().
    quint64 unsavedChanges() const { return changes_ - *changesInFile_; }

    // Captures.
    void add(const Selection& selection);
    void remove(const QUuid& id);
    void remove(const QSet<QUuid>& ids);
    std::optional<Selection> findByID(const QUuid& id) const;
    // The capture in place, without a copy; valid until the next change of the captures.
    const Selection* find(const QUuid& id) const;
    QList<Selection> addImportedTextChunks(const QStringList& chunks, const QString& appName);

    // Groups.
    std::optional<SelectionGroup> addGroup(const QString& name, const QString& colorHex);
    std::optional<SelectionGroup> createGroup(const QString& name, const QString& colorHex,
                                              const QSet<QUuid>& selectionIDs);
    // Ids of no capture are skipped; a group that does not exist is not filled.
    void addToGroup(const QUuid& groupID, const QSet<QUuid>& selectionIDs);
    void deleteGroup(QUuid groupID);
    void renameGroup(const QUuid& groupID, const QString& name);
    void removeFromGroups(const QSet<QUuid>& groupIDs, const QSet<QUuid>& selectionIDs);
    std::optional<SelectionGroup> findGroup(const QUuid& groupID) const;
    QList<Selection> selections(const QUuid& groupID) const;

    // Sources.
    QList<SourceAggregate> sourceAggregates() const;
    QList<SourceIdentity> sourceIdentities() const;
    qsizetype count(const SourceIdentity& identity) const;

    // Drafts.
    // The captures the draft's entries name, in entry order, as find() finds them (an id of no
    // capture is left out): what composing the draft reads, without a pass over the library.
    QList<Selection> draftSelections(const ContextDraft& draft) const;
    std::optional<ContextDraft> activeDraft() const;
    std::optional<ContextDraft> findDraft(const QUuid& id) const;
    ContextDraft ensureActiveDraft();
    void updateDraft(const ContextDraft& draft);
    std::optional<ContextDraft> newDraft(const std::optional<QString>& name = std::nullopt);
    void activateDraft(const QUuid& id);
    void deleteDraft(QUuid id);
    // One entry per capture the active draft (made when there is none) does not hold yet; ids of
    // no capture are skipped, and when none is left nothing changes. The number of entries added.
    bool addSelectionToActiveDraft(const QUuid& selectionID);
    qsizetype addSelectionsToActiveDraft(const QSet<QUuid>& selectionIDs);

Q_SIGNALS:
    void selectionsChanged(const vellicord::Store::SelectionsChange& change);
    void groupsChanged();
    void draftsChanged();
    void activeDraftIDChanged();
    void collectIntoActiveDraftChanged();
    void persistenceStatusChanged();

private:
    StoreSnapshot snapshot() const;
    void scheduleSave();
    void writeSnapshot();
    // Runs on the save queue; reports to the main thread. True when the files hold the snapshot.
    static bool persist(const std::shared_ptr<StorePersistence>& persistence, StoreSnapshot snapshot, quint64 revision,
                        const std::shared_ptr<std::optional<quint64>>& written, quint64 changes,
                        const std::shared_ptr<quint64>& changesInFile, QPointer<Store> store);
    void setPersistenceStatus(StorePersistenceStatus status);
    void clearTransientPersistenceStatus();

    qsizetype selectionIndex(const QUuid& id) const;
    // The list indices of the captures these ids name, ascending; ids of no capture are skipped.
    std::vector<qsizetype> indicesOf(const QSet<QUuid>& ids) const;
    quint64 sequenceAt(qsizetype chunk) const;
    void reindexSelections();
    ContextDraft makeDraft(const QString& name) const;
    void setActiveDraftID(std::optional<QUuid> id);

    Services services_;
    std::shared_ptr<StorePersistence> persistence_;
    bool recoveredDuringLaunch_ = false;

    SelectionList selections_;
    QList<SelectionGroup> groups_;
    QList<ContextDraft> drafts_;
    std::optional<QUuid> activeDraftID_;
    bool collectIntoActiveDraft_ = false;
    StorePersistenceStatus persistenceStatus_ = StorePersistenceStatus::ready;

    // Each capture's place in the library order, never renumbered: the list runs from the highest
    // sequence to the lowest, so a capture is found by a binary search over the chunks, and
    // neither a capture put at the front nor one removed moves the others' sequences.
    QHash<QUuid, quint64> sequences_;
    quint64 nextSequence_ = 0;
    std::optional<Scheduler::Item> pendingSave_;
    // How many changes the library has had, and the count that library file and backup both hold
    // (none when they may differ from each other or from the library); the latter is read and
    // written on the save queue once the store is made.
    quint64 revision_ = 0;
    std::shared_ptr<std::optional<quint64>> written_ = std::make_shared<std::optional<quint64>>();
    // The operations that changed the library, counted as they schedule a save (at the revision last
    // counted), and how many of them the library file holds; the latter as written_.
    quint64 changes_ = 0;
    quint64 countedRevision_ = 0;
    std::shared_ptr<quint64> changesInFile_ = std::make_shared<quint64>(0);
};

} // namespace vellicord

Q_DECLARE_METATYPE(vellicord::Store::SelectionsChange)
