#include "core/library/Store.h"

#include "core/foundation/Text.h"
#include "core/library/AppLog.h"
#include "core/library/StoreAggregation.h"
#include "core/library/StorePersistence.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QPointer>

#include <algorithm>

namespace vellicord {

namespace {

// Runs the work on the main thread's event loop, after what is already queued there.
void onMainThread(std::function<void()> work)
{
    QMetaObject::invokeMethod(QCoreApplication::instance(), std::move(work), Qt::QueuedConnection);
}

} // namespace

QString Store::defaultStoreURL(FileSystem& fileSystem)
{
    const QString url = StorePersistence::defaultStoreURL(fileSystem);
    try {
        fileSystem.createDirectories(QFileInfo(url).absolutePath());
    } catch (const FileSystemError&) {
        // Loading and the first save report what goes wrong with the folder.
    }
    return url;
}

QString Store::backupURL(const QString& storeURL)
{
    return StorePersistence::backupURL(storeURL);
}

QString Store::storeURL() const
{
    return persistence_->storeURL();
}

Store::Preload Store::preload(std::optional<QString> storeURL, FileSystem& fileSystem)
{
    const QString url = storeURL ? *storeURL : defaultStoreURL(fileSystem);
    auto persistence = std::make_shared<StorePersistence>(url, backupURL(url), fileSystem);
    std::future<StoreLoadResult> loaded = std::async(std::launch::async, [persistence] { return persistence->load(); });
    return Preload{std::move(persistence), std::move(loaded)};
}

namespace {

// The same load, run where the store is made.
Store::Preload loadHere(std::optional<QString> storeURL, FileSystem& fileSystem)
{
    const QString url = storeURL ? *storeURL : Store::defaultStoreURL(fileSystem);
    auto persistence = std::make_shared<StorePersistence>(url, Store::backupURL(url), fileSystem);
    std::future<StoreLoadResult> loaded
        = std::async(std::launch::deferred, [persistence] { return persistence->load(); });
    return Store::Preload{std::move(persistence), std::move(loaded)};
}

} // namespace

Store::Store(std::optional<QString> storeURL, Services services, QObject* parent)
    : Store(loadHere(std::move(storeURL), services.fileSystem), services, parent)
{
}

Store::Store(Preload preload, Services services, QObject* parent)
    : QObject(parent)
    , services_(services)
    , persistence_(std::move(preload.persistence))
{
    const StoreLoadResult loaded = preload.loaded.get();
    recoveredDuringLaunch_ = loaded.status == StorePersistenceStatus::recoveredFromBackup;
    persistenceStatus_ = loaded.status;
    if (loaded.snapshot) {
        selections_ = loaded.snapshot->selections;
        groups_ = loaded.snapshot->groups;
        drafts_ = loaded.snapshot->drafts.value_or(QList<ContextDraft>());
        activeDraftID_ = loaded.snapshot->activeDraftID;
    }
    collectIntoActiveDraft_ = services_.defaults.boolValue(QString::fromLatin1(collectIntoActiveDraftKey));

    // An active draft that no longer exists gives way to the first draft. The file keeps the old
    // id until the next save: loading never writes.
    if (activeDraftID_ && !findDraft(*activeDraftID_))
        activeDraftID_.reset();
    if (!activeDraftID_ && !drafts_.isEmpty())
        activeDraftID_ = drafts_.first().id;
    reindexSelections();

    // After a load that found library and backup alike (or made them so), the files hold the
    // library as loaded. A backup that could not be refreshed is not alike, and a first start has
    // no files yet: the first save request writes both.
    const bool level = loaded.status == StorePersistenceStatus::ready
        || loaded.status == StorePersistenceStatus::recoveredFromBackup;
    if (loaded.snapshot && level)
        *written_ = revision_;
    // A library its file lost after the load, and that could not be written again, is a change the
    // file does not hold.
    if (loaded.status == StorePersistenceStatus::saveFailed)
        changes_ = 1;
    // Every change of what the library file holds is announced by one of these; counting them tells
    // a save request whether there is anything to write.
    const auto changed = [this] { ++revision_; };
    connect(this, &Store::selectionsChanged, this, changed);
    connect(this, &Store::groupsChanged, this, changed);
    connect(this, &Store::draftsChanged, this, changed);
    connect(this, &Store::activeDraftIDChanged, this, changed);
}

Store::~Store()
{
    if (pendingSave_ && !pendingSave_->isCancelled())
        saveNow();
    // Writes already queued use their own snapshot and the shared persistence; wait for them so
    // the files are complete when the store is gone.
    services_.saveQueue.sync([] {});
}

void Store::setCollectIntoActiveDraft(bool collect)
{
    services_.defaults.setBool(QString::fromLatin1(collectIntoActiveDraftKey), collect);
    if (collectIntoActiveDraft_ == collect)
        return;
    collectIntoActiveDraft_ = collect;
    Q_EMIT collectIntoActiveDraftChanged();
}

StoreSnapshot Store::snapshot() const
{
    // The lists are implicitly shared: this copies four references, not the library.
    return StoreSnapshot{StoreSnapshot::currentVersion, selections_, groups_, drafts_, activeDraftID_};
}

void Store::scheduleSave()
{
    if (!canModifyLibrary())
        return;
    if (revision_ != countedRevision_) {
        ++changes_;
        countedRevision_ = revision_;
    }
    if (pendingSave_)
        pendingSave_->cancel();
    QPointer<Store> self(this);
    pendingSave_ = services_.scheduler.after(saveDelay, [self] {
        if (!self)
            return;
        self->pendingSave_.reset();
        self->writeSnapshot();
    });
}

void Store::writeSnapshot()
{
    if (!canModifyLibrary())
        return;
    services_.saveQueue.async([persistence = persistence_, snapshot = this->snapshot(), revision = revision_,
                               written = written_, changes = changes_, changesInFile = changesInFile_,
                               self = QPointer<Store>(this)]() mutable {
        persist(persistence, std::move(snapshot), revision, written, changes, changesInFile, self);
    });
}

bool Store::saveNow()
{
    if (!canModifyLibrary())
        return false;
    if (pendingSave_) {
        pendingSave_->cancel();
        pendingSave_.reset();
    }
    StoreSnapshot snapshot = this->snapshot();
    bool written = false;
    services_.saveQueue.sync([&, self = QPointer<Store>(this)] {
        written = persist(persistence_, std::move(snapshot), revision_, written_, changes_, changesInFile_, self);
    });
    return written;
}

bool Store::persist(const std::shared_ptr<StorePersistence>& persistence, StoreSnapshot snapshot, quint64 revision,
                    const std::shared_ptr<std::optional<quint64>>& written, quint64 changes,
                    const std::shared_ptr<quint64>& changesInFile, QPointer<Store> store)
{
    // Both files already hold this library: writing it again would cost a whole encode, check and
    // two synced writes (a quit of a large library) for nothing.
    if (*written == revision)
        return true;
    try {
        persistence->write(std::move(snapshot));
        *written = revision;
        *changesInFile = changes;
    } catch (const std::exception& error) {
        // The files may now hold neither this library nor the one written before.
        written->reset();
        logApp(QStringLiteral("Store save failed: ") + StorePersistence::describe(error));
        const StorePersistenceStatus status = StorePersistence::failureStatus(error);
        // Only the backup failed: the library file holds this library.
        if (status == StorePersistenceStatus::backupUnavailable)
            *changesInFile = changes;
        onMainThread([store, status] {
            if (store)
                store->setPersistenceStatus(status);
        });
        return false;
    }
    onMainThread([store] {
        if (store)
            store->clearTransientPersistenceStatus();
    });
    return true;
}

void Store::setPersistenceStatus(StorePersistenceStatus status)
{
    if (persistenceStatus_ == status)
        return;
    persistenceStatus_ = status;
    Q_EMIT persistenceStatusChanged();
}

void Store::clearTransientPersistenceStatus()
{
    if (persistenceStatus_.isTransient())
        setPersistenceStatus(recoveredDuringLaunch_ ? StorePersistenceStatus::recoveredFromBackup
                                                    : StorePersistenceStatus::ready);
}

void Store::reindexSelections()
{
    sequences_.clear();
    const qsizetype n = selections_.size();
    sequences_.reserve(n);
    // The ids are gathered on several threads first: the look-ups then walk them one after the
    // other instead of every record of a large library.
    std::vector<QUuid> ids(static_cast<size_t>(n));
    selections_.forEachInParallel([&](qsizetype i, const Selection& s) { ids[size_t(i)] = s.id; });
    for (qsizetype i = 0; i < n; ++i) {
        // Of two captures with one id (no file that loads holds them), the first is the one found.
        // One look-up for both: this runs at start for every capture.
        const qsizetype before = sequences_.size();
        quint64& sequence = sequences_[ids[size_t(i)]];
        if (sequences_.size() > before)
            sequence = quint64(n - 1 - i);
    }
    nextSequence_ = quint64(n);
}

quint64 Store::sequenceAt(qsizetype chunk) const
{
    return sequences_.value(selections_.chunk(chunk).first().id);
}

std::vector<qsizetype> Store::indicesOf(const QSet<QUuid>& ids) const
{
    std::vector<qsizetype> indices;
    indices.reserve(size_t(ids.size()));
    if (ids.size() > selections_.size() / 64) {
        // Many ids: one walk of the library, front to back, costs less than finding each of them
        // all over memory. Of two captures with one id, only the first is the one found, as by id.
        QSet<QUuid> seen;
        seen.reserve(ids.size());
        qsizetype index = 0;
        for (const Selection& s : selections_) {
            if (ids.contains(s.id) && !seen.contains(s.id)) {
                seen.insert(s.id);
                indices.push_back(index);
            }
            ++index;
        }
        return indices;
    }
    for (const QUuid& id : ids) {
        if (const qsizetype index = selectionIndex(id); index >= 0)
            indices.push_back(index);
    }
    std::sort(indices.begin(), indices.end());
    return indices;
}

qsizetype Store::selectionIndex(const QUuid& id) const
{
    const auto it = sequences_.constFind(id);
    if (it == sequences_.cend())
        return -1;
    const quint64 sequence = it.value();
    // The chunk that holds it is the last one whose first capture is not older.
    qsizetype low = 0, high = selections_.chunkCount();
    while (high - low > 1) {
        const qsizetype middle = (low + high) / 2;
        if (sequenceAt(middle) >= sequence)
            low = middle;
        else
            high = middle;
    }
    const QList<Selection>& chunk = selections_.chunk(low);
    for (qsizetype offset = 0; offset < chunk.size(); ++offset) {
        if (chunk[offset].id == id)
            return selections_.chunkStart(low) + offset;
    }
    return -1;
}

void Store::add(const Selection& selection)
{
    if (!canModifyLibrary() || sequences_.contains(selection.id))
        return;
    selections_.prepend(selection);
    sequences_.insert(selection.id, nextSequence_++);
    SelectionsChange change{.added = {selection.id}};
    for (const QUuid& group : selection.groupIDs)
        ++change.memberships[group];
    Q_EMIT selectionsChanged(change);
    scheduleSave();
}

void Store::remove(const QUuid& id)
{
    remove(QSet<QUuid>{id});
}

void Store::remove(const QSet<QUuid>& ids)
{
    if (!canModifyLibrary())
        return;
    const std::vector<qsizetype> indices = indicesOf(ids);
    if (!indices.empty()) {
        SelectionsChange change;
        change.removed.reserve(qsizetype(indices.size()));
        for (const qsizetype index : indices) {
            const Selection& s = selections_.at(index);
            change.removed.insert(s.id);
            for (const QUuid& group : s.groupIDs)
                --change.memberships[group];
        }
        selections_.removeAt(indices);
        for (const QUuid& id : std::as_const(change.removed))
            sequences_.remove(id);
        Q_EMIT selectionsChanged(change);
    }
    bool draftsChanged = false;
    for (ContextDraft& draft : drafts_) {
        const bool uses = std::any_of(draft.entries.cbegin(), draft.entries.cend(),
                                      [&](const ContextDraftEntry& e) { return ids.contains(e.selectionID); });
        if (uses) {
            draft.entries.removeIf([&](const ContextDraftEntry& e) { return ids.contains(e.selectionID); });
            draftsChanged = true;
        }
    }
    if (draftsChanged)
        Q_EMIT this->draftsChanged();
    scheduleSave();
}

std::optional<Selection> Store::findByID(const QUuid& id) const
{
    if (const Selection* selection = find(id))
        return *selection;
    return std::nullopt;
}

const Selection* Store::find(const QUuid& id) const
{
    const qsizetype index = selectionIndex(id);
    return index < 0 ? nullptr : &selections_.at(index);
}

QList<Selection> Store::addImportedTextChunks(const QStringList& chunks, const QString& appName)
{
    if (!canModifyLibrary())
        return {};
    QList<Selection> made;
    for (const QString& chunk : chunks) {
        if (Text::isBlank(chunk))
            continue;
        Selection s(QUuid::createUuid(), chunk, std::nullopt, appName, std::nullopt, std::nullopt, std::nullopt,
                    std::nullopt, {}, services_.clock.now());
        selections_.prepend(s);
        sequences_.insert(s.id, nextSequence_++);
        made.append(s);
    }
    if (!made.isEmpty()) {
        SelectionsChange change;
        for (auto it = made.crbegin(); it != made.crend(); ++it)
            change.added.append(it->id);
        Q_EMIT selectionsChanged(change);
        scheduleSave();
    }
    return made;
}

std::optional<SelectionGroup> Store::addGroup(const QString& name, const QString& colorHex)
{
    if (!canModifyLibrary())
        return std::nullopt;
    const SelectionGroup group{QUuid::createUuid(), name, colorHex, services_.clock.now()};
    groups_.append(group);
    Q_EMIT groupsChanged();
    scheduleSave();
    return group;
}

std::optional<SelectionGroup> Store::createGroup(const QString& name, const QString& colorHex,
                                                 const QSet<QUuid>& selectionIDs)
{
    const auto group = addGroup(name, colorHex);
    if (group && !selectionIDs.isEmpty())
        addToGroup(group->id, selectionIDs);
    return group;
}

void Store::addToGroup(const QUuid& groupID, const QSet<QUuid>& selectionIDs)
{
    // A drop or a menu names its group before the change runs; a group deleted in between would
    // leave its id on captures with nothing to show it.
    if (!canModifyLibrary() || !findGroup(groupID))
        return;
    const std::vector<qsizetype> indices = indicesOf(selectionIDs);
    QSet<QUuid> updated;
    updated.reserve(qsizetype(indices.size()));
    for (qsizetype index : indices) {
        // Read before written: a capture already in the group leaves its chunk shared.
        if (selections_.at(index).groupIDs.contains(groupID))
            continue;
        Selection& selection = selections_[index];
        selection.groupIDs.append(groupID);
        updated.insert(selection.id);
    }
    if (!updated.isEmpty())
        Q_EMIT selectionsChanged({.updated = updated, .memberships = {{groupID, updated.size()}}});
    scheduleSave();
}

// By value: a caller may name the group by an element of groups_, which the removal overwrites.
void Store::deleteGroup(QUuid groupID)
{
    if (!canModifyLibrary())
        return;
    if (groups_.removeIf([&](const SelectionGroup& g) { return g.id == groupID; }) > 0)
        Q_EMIT groupsChanged();
    // Read first, then changed: only the chunks that hold members are copied while a save holds them.
    std::vector<qsizetype> members;
    qsizetype index = 0;
    for (const Selection& s : selections_) {
        if (s.groupIDs.contains(groupID))
            members.push_back(index);
        ++index;
    }
    SelectionsChange change;
    qsizetype left = 0;
    for (const qsizetype member : members) {
        Selection& s = selections_[member];
        left += s.groupIDs.removeAll(groupID);
        change.updated.insert(s.id);
    }
    if (!change.updated.isEmpty()) {
        change.memberships.insert(groupID, -left);
        Q_EMIT selectionsChanged(change);
    }
    scheduleSave();
}

void Store::renameGroup(const QUuid& groupID, const QString& name)
{
    if (!canModifyLibrary())
        return;
    const QString trimmed = Text::trimmed(name);
    if (trimmed.isEmpty())
        return;
    for (SelectionGroup& group : groups_) {
        if (group.id == groupID) {
            group.name = trimmed;
            Q_EMIT groupsChanged();
            scheduleSave();
            return;
        }
    }
}

void Store::removeFromGroups(const QSet<QUuid>& groupIDs, const QSet<QUuid>& selectionIDs)
{
    if (!canModifyLibrary())
        return;
    SelectionsChange change;
    for (const qsizetype index : indicesOf(selectionIDs)) {
        const Selection& s = selections_.at(index);
        if (std::none_of(s.groupIDs.cbegin(), s.groupIDs.cend(), [&](const QUuid& g) { return groupIDs.contains(g); }))
            continue;
        change.updated.insert(s.id);
        // The capture is changed only now: a read leaves a chunk a save holds shared.
        selections_[index].groupIDs.removeIf([&](const QUuid& g) {
            if (!groupIDs.contains(g))
                return false;
            --change.memberships[g];
            return true;
        });
    }
    if (!change.updated.isEmpty())
        Q_EMIT selectionsChanged(change);
    scheduleSave();
}

std::optional<SelectionGroup> Store::findGroup(const QUuid& groupID) const
{
    for (const SelectionGroup& group : groups_) {
        if (group.id == groupID)
            return group;
    }
    return std::nullopt;
}

QList<Selection> Store::selections(const QUuid& groupID) const
{
    QList<Selection> members;
    for (const Selection& s : selections_) {
        if (s.groupIDs.contains(groupID))
            members.append(s);
    }
    return members;
}

QList<SourceAggregate> Store::sourceAggregates() const
{
    return StoreAggregation::sources(selections_);
}

QList<SourceIdentity> Store::sourceIdentities() const
{
    QList<SourceIdentity> identities;
    for (const SourceAggregate& aggregate : sourceAggregates())
        identities.append(aggregate.identity);
    return identities;
}

qsizetype Store::count(const SourceIdentity& identity) const
{
    return std::count_if(selections_.cbegin(), selections_.cend(), [&](const Selection& s) {
        return Text::equal(SourceIdentity::from(s).identifier, identity.identifier);
    });
}

QList<Selection> Store::draftSelections(const ContextDraft& draft) const
{
    QList<Selection> named;
    named.reserve(draft.entries.size());
    for (const ContextDraftEntry& entry : draft.entries) {
        if (const Selection* selection = find(entry.selectionID))
            named.append(*selection);
    }
    return named;
}

std::optional<ContextDraft> Store::activeDraft() const
{
    if (activeDraftID_)
        return findDraft(*activeDraftID_);
    if (drafts_.isEmpty())
        return std::nullopt;
    return drafts_.first();
}

std::optional<ContextDraft> Store::findDraft(const QUuid& id) const
{
    for (const ContextDraft& draft : drafts_) {
        if (draft.id == id)
            return draft;
    }
    return std::nullopt;
}

ContextDraft Store::makeDraft(const QString& name) const
{
    const QDateTime createdAt = services_.clock.now();
    return ContextDraft{
        QUuid::createUuid(),   name, QString(),   QStringLiteral("Sections"), QStringLiteral("gpt-4o"), createdAt,
        services_.clock.now(), {},   std::nullopt};
}

void Store::setActiveDraftID(std::optional<QUuid> id)
{
    if (activeDraftID_ == id)
        return;
    activeDraftID_ = id;
    Q_EMIT activeDraftIDChanged();
}

ContextDraft Store::ensureActiveDraft()
{
    if (const auto active = activeDraft())
        return *active;
    const ContextDraft draft = drafts_.isEmpty() ? makeDraft(QStringLiteral("Prompt 1")) : drafts_.first();
    if (!canModifyLibrary())
        return draft;
    if (!findDraft(draft.id)) {
        drafts_.append(draft);
        Q_EMIT draftsChanged();
    }
    setActiveDraftID(draft.id);
    scheduleSave();
    return draft;
}

void Store::updateDraft(const ContextDraft& draft)
{
    if (!canModifyLibrary())
        return;
    ContextDraft copy = draft;
    copy.updatedAt = services_.clock.now();

    // Two entries with one id would make every later save fail its verification; the repeats
    // get ids of their own.
    QSet<QUuid> seen;
    for (ContextDraftEntry& entry : copy.entries) {
        if (seen.contains(entry.id)) {
            const QUuid fresh = QUuid::createUuid();
            logApp(QStringLiteral("Draft entry id repeated; gave the repeat a new id"),
                   entry.id.toString(QUuid::WithoutBraces), fresh.toString(QUuid::WithoutBraces));
            entry.id = fresh;
        }
        seen.insert(entry.id);
    }

    const auto existing
        = std::find_if(drafts_.begin(), drafts_.end(), [&](const ContextDraft& d) { return d.id == copy.id; });
    if (existing != drafts_.end())
        *existing = copy;
    else
        drafts_.append(copy);
    Q_EMIT draftsChanged();
    if (!activeDraftID_)
        setActiveDraftID(copy.id);
    scheduleSave();
}

std::optional<ContextDraft> Store::newDraft(const std::optional<QString>& name)
{
    if (!canModifyLibrary())
        return std::nullopt;
    const ContextDraft draft = makeDraft(name ? *name : QStringLiteral("Prompt %1").arg(drafts_.size() + 1));
    drafts_.append(draft);
    Q_EMIT draftsChanged();
    setActiveDraftID(draft.id);
    scheduleSave();
    return draft;
}

void Store::activateDraft(const QUuid& id)
{
    if (!canModifyLibrary() || !findDraft(id))
        return;
    setActiveDraftID(id);
    scheduleSave();
}

// By value, as deleteGroup.
void Store::deleteDraft(QUuid id)
{
    if (!canModifyLibrary())
        return;
    if (drafts_.removeIf([&](const ContextDraft& d) { return d.id == id; }) > 0)
        Q_EMIT draftsChanged();
    if (activeDraftID_ == id)
        setActiveDraftID(drafts_.isEmpty() ? std::nullopt : std::optional<QUuid>(drafts_.first().id));
    scheduleSave();
}

bool Store::addSelectionToActiveDraft(const QUuid& selectionID)
{
    return addSelectionsToActiveDraft(QSet<QUuid>{selectionID}) > 0;
}

qsizetype Store::addSelectionsToActiveDraft(const QSet<QUuid>& selectionIDs)
{
    if (!canModifyLibrary())
        return 0;
    // Ids of no capture (a drag from a library since changed, another window's drag) would give
    // entries that compose to nothing yet count in the prompt's badge: they are left out. New
    // entries follow the library's order, so that adding a set of captures gives the same draft
    // every time.
    const std::vector<qsizetype> known = indicesOf(selectionIDs);
    if (known.empty())
        return 0;
    ContextDraft draft = ensureActiveDraft();

    QSet<QUuid> present;
    for (const ContextDraftEntry& entry : draft.entries)
        present.insert(entry.selectionID);
    qsizetype added = 0;
    for (const qsizetype index : known) {
        const QUuid id = selections_.at(index).id;
        if (present.contains(id))
            continue;
        draft.entries.append({QUuid::createUuid(), id, true, false, false, std::nullopt, std::nullopt});
        present.insert(id);
        ++added;
    }
    if (added > 0)
        updateDraft(draft);
    return added;
}

} // namespace vellicord
