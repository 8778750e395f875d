#pragma once

#include "core/library/ContextDraft.h"

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

} // namespace DraftEntryEdits
} // namespace vellicord
