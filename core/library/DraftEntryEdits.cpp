#include "core/library/DraftEntryEdits.h"

#include "core/foundation/Text.h"

#include <QSet>

#include <algorithm>

namespace vellicord::DraftEntryEdits {

namespace {

qsizetype indexOf(const ContextDraft& draft, const QUuid& entryID)
{
    const auto found = std::find_if(draft.entries.cbegin(), draft.entries.cend(),
                                    [&](const ContextDraftEntry& entry) { return entry.id == entryID; });
    return found == draft.entries.cend() ? -1 : found - draft.entries.cbegin();
}

template<typename Change> ContextDraft changeEntry(ContextDraft draft, const QUuid& entryID, Change change)
{
    const qsizetype index = indexOf(draft, entryID);
    if (index >= 0)
        change(draft.entries[index]);
    return draft;
}

} // namespace

ContextDraft toggleInclude(ContextDraft draft, const QUuid& entryID)
{
    return changeEntry(std::move(draft), entryID, [](ContextDraftEntry& entry) { entry.include = !entry.include; });
}

ContextDraft togglePin(ContextDraft draft, const QUuid& entryID)
{
    return changeEntry(std::move(draft), entryID, [](ContextDraftEntry& entry) { entry.pin = !entry.pin; });
}

ContextDraft toggleVerbatim(ContextDraft draft, const QUuid& entryID)
{
    return changeEntry(std::move(draft), entryID, [](ContextDraftEntry& entry) { entry.verbatim = !entry.verbatim; });
}

ContextDraft move(ContextDraft draft, const QUuid& entryID, int offset)
{
    const qsizetype from = indexOf(draft, entryID);
    const qsizetype to = from + offset;
    if (from >= 0 && to >= 0 && to < draft.entries.size())
        draft.entries.swapItemsAt(from, to);
    return draft;
}

bool dropMoves(const std::optional<QUuid>& dragged, const QUuid& target)
{
    return dragged && *dragged != target;
}

ContextDraft moveEntry(ContextDraft draft, const QUuid& dragged, const QUuid& target)
{
    const qsizetype from = indexOf(draft, dragged);
    const qsizetype to = indexOf(draft, target);
    if (from >= 0 && to >= 0 && from != to)
        draft.entries.move(from, to);
    return draft;
}

ContextDraft remove(ContextDraft draft, const QUuid& entryID)
{
    draft.entries.removeIf([&](const ContextDraftEntry& entry) { return entry.id == entryID; });
    return draft;
}

QString note(const ContextDraft& draft, const QUuid& entryID)
{
    const qsizetype index = indexOf(draft, entryID);
    return index >= 0 ? draft.entries[index].note.value_or(QString()) : QString();
}

ContextDraft setNote(ContextDraft draft, const QUuid& entryID, const QString& text)
{
    return changeEntry(std::move(draft), entryID, [&](ContextDraftEntry& entry) {
        entry.note = Text::isBlank(text) ? std::nullopt : std::optional<QString>(text);
    });
}

ContextDraft addToDraft(ContextDraft draft, const QUuid& selectionID)
{
    const bool present = std::any_of(draft.entries.cbegin(), draft.entries.cend(),
                                     [&](const ContextDraftEntry& entry) { return entry.selectionID == selectionID; });
    if (!present)
        draft.entries.append({QUuid::createUuid(), selectionID, true, false, false, std::nullopt, std::nullopt});
    return draft;
}

ContextDraft addToDraft(ContextDraft draft, const QList<QUuid>& selectionIDs)
{
    // One pass over the entries for the whole list: an import adds thousands.
    QSet<QUuid> present;
    present.reserve(draft.entries.size() + selectionIDs.size());
    for (const ContextDraftEntry& entry : draft.entries)
        present.insert(entry.selectionID);
    draft.entries.reserve(draft.entries.size() + selectionIDs.size());
    for (const QUuid& selectionID : selectionIDs) {
        if (present.contains(selectionID))
            continue;
        present.insert(selectionID);
        draft.entries.append({QUuid::createUuid(), selectionID, true, false, false, std::nullopt, std::nullopt});
    }
    return draft;
}

TrimCase trimCase(const QString& edited, const std::optional<QString>& currentBody)
{
    if (Text::isBlank(edited))
        return TrimCase::clear;
    if (currentBody && Text::equal(edited, *currentBody))
        return TrimCase::unchanged;
    return TrimCase::set;
}

ContextDraft applyTrim(ContextDraft draft, const QUuid& entryID, const QString& edited, TrimCase trim)
{
    if (trim == TrimCase::unchanged)
        return draft;
    return changeEntry(std::move(draft), entryID, [&](ContextDraftEntry& entry) {
        entry.customText = trim == TrimCase::set ? std::optional<QString>(edited) : std::nullopt;
    });
}

ContextDraft removeEntries(ContextDraft draft, const QSet<QUuid>& entryIDs)
{
    draft.entries.removeIf([&](const ContextDraftEntry& entry) { return entryIDs.contains(entry.id); });
    return draft;
}

ContextDraft removeExcluded(ContextDraft draft)
{
    draft.entries.removeIf([](const ContextDraftEntry& entry) { return !entry.include; });
    return draft;
}

} // namespace vellicord::DraftEntryEdits
