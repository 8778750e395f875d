#pragma once

#include "core/library/ContextDraft.h"

#include <QList>
#include <QSet>
#include <QString>
#include <QUuid>

#include <optional>

namespace vellicord {

// The changes a prompt's source list takes from its composer, each a function from the draft as
// stored to the draft to store. Entries are found by id, never by position; an id that names no
// entry (or a move past either end) gives the draft back unchanged, and the composer stores it all
// the same. A flag is flipped from the value in the draft given, however old the caller's copy of
// the entry is.
namespace DraftEntryEdits {

ContextDraft toggleInclude(ContextDraft draft, const QUuid& entryID);
ContextDraft togglePin(ContextDraft draft, const QUuid& entryID);
ContextDraft toggleVerbatim(ContextDraft draft, const QUuid& entryID);
// Swaps the entry with the one `offset` places away (-1 up, +1 down).
ContextDraft move(ContextDraft draft, const QUuid& entryID, int offset);
// Whether a drop moves anything at all: not without a dragged entry, not onto itself. When it does
// not, the composer leaves the library alone.
bool dropMoves(const std::optional<QUuid>& dragged, const QUuid& target);
// Takes the dragged entry out and puts it where the target stood before: below the target when it
// came from above, above it when it came from below.
ContextDraft moveEntry(ContextDraft draft, const QUuid& dragged, const QUuid& target);
ContextDraft remove(ContextDraft draft, const QUuid& entryID);
// The note as its field shows it: empty when there is no draft entry or no note.
QString note(const ContextDraft& draft, const QUuid& entryID);
// A note that is blank after trimming white space and line ends becomes no note; any other text
// is kept exactly as typed.
ContextDraft setNote(ContextDraft draft, const QUuid& entryID, const QString& text);
// Appends an included, unpinned, formatted entry for the capture, unless one names it already.
ContextDraft addToDraft(ContextDraft draft, const QUuid& selectionID);
// The same for each capture in turn, in their order.
ContextDraft addToDraft(ContextDraft draft, const QList<QUuid>& selectionIDs);

// What a text edited in the trim sheet does to its entry. A blank text clears the trim; a text
// equal to the body the sheet opened with (canonically, as the library compares texts) changes
// nothing; any other text, also one for an entry whose capture is gone, becomes the entry's text.
enum class TrimCase { clear, unchanged, set };
TrimCase trimCase(const QString& edited, const std::optional<QString>& currentBody);
// Stores the edited text as typed (not trimmed) or clears it, on the first entry of the id.
ContextDraft applyTrim(ContextDraft draft, const QUuid& entryID, const QString& edited, TrimCase trim);

// Deletes the entries (not switches them off); the others keep their order.
ContextDraft removeEntries(ContextDraft draft, const QSet<QUuid>& entryIDs);
ContextDraft removeExcluded(ContextDraft draft);

} // namespace DraftEntryEdits
} // namespace vellicord
