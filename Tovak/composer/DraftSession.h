#pragma once

#include "core/composition/ComposedContext.h"
#include "core/composition/CompositionCache.h"
#include "core/composition/ContextComposer.h"
#include "core/library/ContextDraft.h"
#include "core/library/PromptTemplate.h"
#include "core/library/Selection.h"

#include <QFlags>
#include <QList>
#include <QObject>
#include <QString>
#include <QUuid>

#include <chrono>
#include <functional>
#include <optional>

namespace vellicord {

class Defaults;
class FileSystem;
class Pasteboard;
class Scheduler;
class Store;
struct ViewServices;

// One prompt as its composer works on it: the draft as shown now, the composer's own state (the
// notice, the preamble switch, the Copied state, the export warning, the source being dragged)
// and every action of the composer. The draft pane, the preview pane and the source rows show
// what it holds and call its actions; none of them talks to another or to the Store.
//
// Every edit looks the draft up anew in the Store by its id, changes that copy and stores it (also
// when the change touched nothing); a draft that is gone takes no edit. The draft shown follows
// the Store once per turn of the event loop, however many changes that turn made, and `changed()`
// says what moved. Main thread only; no widgets.
class DraftSession final : public QObject {
    Q_OBJECT
public:
    enum class Change : unsigned {
        draft = 1 << 0, // the shown draft (or that it is gone)
        captures = 1 << 1, // captures came or went: entries may have gained or lost their capture
        library = 1 << 2, // whether the library can be changed
        notice = 1 << 3,
        preamble = 1 << 4,
        copied = 1 << 5,
        exportError = 1 << 6,
    };
    Q_DECLARE_FLAGS(Changes, Change)

    DraftSession(const ViewServices& services, const QUuid& draftID, bool usePreamble = true,
                 QObject* parent = nullptr);
    ~DraftSession() override;

    QUuid draftID() const { return draftID_; }
    // None once the draft is gone.
    const std::optional<ContextDraft>& draft() const { return draft_; }
    // The entry as the library holds it now.
    std::optional<ContextDraftEntry> storedEntry(const QUuid& entryID) const;
    // The library's capture an entry names, in place: valid until the captures next change.
    const Selection* capture(const QUuid& selectionID) const;
    bool canModifyLibrary() const;
    // The shown draft's model, "gpt-4o" without a draft.
    const ModelProfile& profile() const;
    // The prompt the shown draft composes to (its edited preview, when it has one); composed when
    // first asked for after a change, never kept across one. What a change left as it was (the
    // other sources, the rest of the preview) is not prepared or counted again.
    const ComposedContext& composed();

    // The one way to change the draft: the library's copy, edited and stored. Nothing without it.
    void change(const std::function<void(ContextDraft&)>& edit);

    // The edits of one source. A switch flips what is stored, however old the caller's copy is.
    void toggleInclude(const QUuid& entryID);
    void togglePin(const QUuid& entryID);
    void toggleVerbatim(const QUuid& entryID);
    void move(const QUuid& entryID, int offset);
    // A drop with no dragged entry, or onto the dragged entry itself, stores nothing.
    void moveEntry(const std::optional<QUuid>& dragged, const QUuid& target);
    void remove(const QUuid& entryID);
    // A blank note is stored as none; any other text exactly as typed.
    void setNote(const QUuid& entryID, const QString& text);
    // The capture of the source as it was captured (never the prompt's trimmed text or its note).
    enum class CopyAs { markdown, plain };
    void copySource(const QUuid& entryID, CopyAs format);

    // The text a source enters the prompt with now: what the trim sheet opens with. None when the
    // entry or its capture is gone.
    std::optional<QString> entryBody(const QUuid& entryID) const;
    // The trim sheet's text becomes the entry's own, or a blank one clears it; the draft is stored
    // in every case, and the notice says which it was.
    void applyTrim(const QUuid& entryID, const QString& edited);

    // The pasted text as captures from "Pasted text", one per chunk, added to the draft in the
    // text's order as one change. False (and nothing done) when the text gives no chunk, the
    // library refuses them or the draft is gone.
    bool addImported(const QString& text);
    static constexpr char importAppName[] = "Pasted text";

    // The Template menu: the user's templates as saved now; a template's task and layout put into
    // the draft; the draft's task saved under a name (false, and nothing saved, without a draft).
    QList<PromptTemplate> customTemplates() const;
    void applyTemplate(const PromptTemplate& t);
    bool saveTemplate(const QString& typedName);

    // The Cleanup menu, enabled by the draft as shown: the included sources that nearly repeat an
    // earlier one, and the excluded ones, deleted from the draft (the captures stay).
    bool canRemoveDuplicates() const;
    bool canRemoveExcludedSources() const;
    void removeDuplicates();
    void removeExcludedSources();

    // The composer's one-line notice. A new text goes away 4 seconds after it was set, unless the
    // notice has changed since; setting the same text again changes nothing.
    const std::optional<QString>& notice() const { return notice_; }
    void setNotice(const std::optional<QString>& notice);
    static constexpr std::chrono::milliseconds noticeDuration{4000};

    // Whether a generated prompt begins with the grounding instruction; the composer's choice,
    // never stored in the draft.
    bool usePreamble() const { return usePreamble_; }
    void setUsePreamble(bool use);

    // The budget's remedies, each answering with what the "Token budget" alert says. Reduce to Fit
    // stores the draft only when it keeps fewer sources; Copy Split copies only a plan that fits.
    QString reduceToFit();
    QString copySplit();
    static const QString copyFailedText;

    // The prompt as shown, with the library's last changes in it.
    QString promptText();
    // Copies it; a copy the clipboard took shows Copied.
    void copyPrompt();
    // The Copied state: on for 1.4 s after each copy the clipboard took, counted from the earliest
    // copy whose time has not run out.
    bool showCopied() const { return showCopied_; }
    static constexpr std::chrono::milliseconds copiedDuration{1400};

    // "<name>.md", the name made safe for a file: letters, digits, "-", "_" and inner spaces stay,
    // every other character becomes "-"; "prompt" when nothing is left. None once the draft is gone.
    std::optional<QString> exportFileName() const;
    static QString safeFileName(const QString& name);
    // Writes the text whole or not at all; a failure is logged and shown until an export succeeds.
    void exportPrompt(const QString& path, const QString& text);
    const std::optional<QString>& exportError() const { return exportError_; }
    static const QString exportFailedText;

    // The source being dragged into place by its grip, while the drag runs.
    const std::optional<QUuid>& draggedEntryID() const { return draggedEntryID_; }
    void setDraggedEntryID(const std::optional<QUuid>& entryID) { draggedEntryID_ = entryID; }

Q_SIGNALS:
    void changed(vellicord::DraftSession::Changes what);

private:
    void storeChanged(Changes what);
    void showStored();
    std::optional<QString> preamble() const;
    ContextComposer::CachedCaptures captures();
    void flashCopied();
    void setShowCopied(bool shown);
    void setExportError(const std::optional<QString>& error);

    Store& store_;
    Pasteboard& pasteboard_;
    Scheduler& scheduler_;
    Defaults& defaults_;
    FileSystem& fileSystem_;
    const QUuid draftID_;
    std::optional<ContextDraft> draft_;
    std::optional<ComposedContext> composed_;
    CompositionCache compositionCache_;
    Changes pending_; // what the Store changed since the draft was last shown
    std::optional<QString> notice_;
    bool usePreamble_ = true;
    bool showCopied_ = false;
    std::optional<QString> exportError_;
    std::optional<QUuid> draggedEntryID_;
};

Q_DECLARE_OPERATORS_FOR_FLAGS(DraftSession::Changes)

} // namespace vellicord
