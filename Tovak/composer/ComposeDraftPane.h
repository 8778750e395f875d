#pragma once

#include "Tovak/kit/ViewServices.h"
#include "core/library/ContextDraft.h"
#include "core/library/PromptTemplate.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QUuid>
#include <QWidget>

#include <chrono>
#include <functional>
#include <optional>

class QDrag;
class QDropEvent;
class QLabel;
class QLineEdit;
class QMenu;
class QPlainTextEdit;
class QScrollArea;
class QStackedWidget;
class QToolButton;
class QVBoxLayout;

namespace vellicord {

class CappedLabel;
class ComposeEntryRow;
class ComposerSheet;
class EntryTrimSheet;
class ImportSheet;
class SaveTemplateSheet;
class SymbolView;
class TextBinding;

// The left pane of the composer: one prompt's name and task, how many of its sources are included
// and how many places they come from, the sources as rows (or what to do when there are none), and
// a footer with the composer's notice. Every change goes to the Store as a whole changed copy of
// the draft, looked up anew by its id at that moment; a draft that is gone shows "Prompt not
// found". The pane follows the Store by rows: all the Store's changes of one turn of the event
// loop are shown at once, rows are kept per entry and moved rather than made again. Its sheets
// (trim a source, import text, save the task as a template) belong to it and close when the draft
// goes. Main thread.
class ComposeDraftPane final : public QWidget {
    Q_OBJECT
public:
    ComposeDraftPane(ViewServices services, const QUuid& draftID, QWidget* parent = nullptr);
    ~ComposeDraftPane() override;

    QUuid draftID() const { return draftID_; }
    Pasteboard& pasteboard() const { return services_.pasteboard; }

    // The composer's one-line notice, shown in the footer. A new text goes away 4 seconds after it
    // was set, unless the notice has changed since; setting the same text again changes nothing.
    const std::optional<QString>& notice() const { return notice_; }
    void setNotice(const std::optional<QString>& notice);
    static constexpr std::chrono::milliseconds noticeDuration{4000};

    // The edits of the draft's sources. Each looks the draft up anew and stores it changed (also
    // when the entry is gone or the move goes past an end); without the draft nothing happens.
    void toggleInclude(const QUuid& entryID);
    void togglePin(const QUuid& entryID);
    void toggleVerbatim(const QUuid& entryID);
    void move(const QUuid& entryID, int offset);
    // A drop with no dragged entry, or onto the dragged entry itself, stores nothing.
    void moveEntry(const std::optional<QUuid>& dragged, const QUuid& target);
    void remove(const QUuid& entryID);
    QString note(const QUuid& entryID) const;
    void setNote(const QUuid& entryID, const QString& text);
    void addToDraft(const QUuid& selectionID);
    // The entry as the library holds it now.
    std::optional<ContextDraftEntry> storedEntry(const QUuid& entryID) const;

    // Trimming one source: the text it enters the prompt with, then which entry it is; then the
    // trim sheet opens (trimRequested()). Nothing while another sheet is up.
    void beginTrim(const QUuid& entryID);
    const std::optional<QUuid>& editingEntryID() const { return editingEntryID_; }
    const QString& editingText() const { return editingText_; }
    // The trim sheet's text becomes the entry's own text, or a blank one clears it; the draft is
    // stored in every case, and the notice says which it was.
    void applyTrim(const QUuid& entryID);

    // The pasted text as captures from "Pasted text", one per chunk, added to the draft in the
    // text's order as one change. Nothing happens (and the sheet stays) when the text gives no
    // chunk or the draft is gone.
    void addImported();
    const QString& importText() const { return importText_; }
    static constexpr char importAppName[] = "Pasted text";

    // The Template menu's actions: a template's task and layout put into the draft; the draft's
    // task saved under the name typed in the sheet, which then closes.
    void applyTemplate(const PromptTemplate& t);
    void saveTemplate();
    const QString& newTemplateName() const { return newTemplateName_; }

    // The Cleanup menu's actions: the included sources that nearly repeat an earlier one, and the
    // excluded ones, deleted from the draft (the captures stay in the library).
    void removeDuplicates();
    void removeExcludedSources();

    // The menus as they open now (the custom templates read anew each time); each closes and goes
    // on its own, and with the pane.
    QMenu* makeTemplateMenu();
    QMenu* makeCleanupMenu();
    void showImportSheet();
    void showSaveTemplateSheet();
    EntryTrimSheet* trimSheet() const;
    ImportSheet* importSheet() const;
    SaveTemplateSheet* saveTemplateSheet() const;

    // Dragging a source into place. The drag starts from the event loop, not inside the grip's
    // mouse handling, and the pane owns it; the dragged row lives until the drag has ended, and
    // the drag state is cleared then, however the drag ended.
    void startDrag(const QUuid& entryID);
    const std::optional<QUuid>& draggedEntryID() const { return draggedEntryID_; }
    // True for a drag of one of this draft's entries started here, and for nothing else: text or
    // captures dragged from anywhere else are refused, so that no source application takes them
    // for moved.
    bool carriesEntryDrag(const QDropEvent& event) const;
    // How a drag runs: QDrag::exec, unless a test steps through one itself.
    using DragRunner = std::function<Qt::DropAction(QDrag&)>;
    void setDragRunner(DragRunner runner);

    // What the pane shows.
    QLineEdit* nameField() const { return name_; }
    QPlainTextEdit* taskField() const { return task_; }
    QLabel* sourceCountLabel() const { return sourceCountLabel_; }
    const QList<ComposeEntryRow*>& rows() const { return order_; }
    ComposeEntryRow* row(const QUuid& entryID) const { return rows_.value(entryID); }
    bool showsDraft() const;
    bool showsEmptyState() const;
    QString footerText() const;
    // The Template menu and the Import button beside the source count, and the Cleanup menu at
    // the end of the footer.
    QWidget* headerActions() const { return headerActions_; }
    QWidget* footerActions() const { return footerActions_; }
    QToolButton* templateButton() const { return templateButton_; }
    QToolButton* importButton() const { return importButton_; }
    QToolButton* cleanupButton() const { return cleanupButton_; }

    // "3 included · 1 source"
    static QString sourceCountText(qsizetype included, qsizetype sources);
    static QString emptyStateText(const QString& hotkeyDisplay);

Q_SIGNALS:
    void noticeChanged();
    void trimRequested();

protected:
    void changeEvent(QEvent* event) override;

private:
    QWidget* buildHeader();
    QWidget* buildEmptyState();
    QWidget* buildFooter();
    QToolButton* menuButton(const QString& title, const QString& symbol, QWidget* parent);
    void applyColors();

    // Puts up a sheet the pane owns, modal to its window, without waiting for it.
    void present(ComposerSheet& sheet);
    QList<ComposerSheet*> sheets() const;
    bool sheetUp() const;
    void closeSheets();

    void scheduleRefresh();
    void refresh();
    void showEntries(const ContextDraft& draft);
    bool showChangedEntries(const ContextDraft& draft);
    void arrange(const QList<ComposeEntryRow*>& order);
    void retire(ComposeEntryRow* row);
    void showNotice();
    void runDrag(const QUuid& entryID);

    // Looks the draft up, changes a copy and stores it.
    void change(const std::function<ContextDraft(ContextDraft)>& edit);

    ViewServices services_;
    const QUuid draftID_;
    std::optional<QString> notice_;
    std::optional<QUuid> editingEntryID_;
    QString editingText_;
    QString importText_;
    QString newTemplateName_;
    QPointer<EntryTrimSheet> trimSheet_;
    QPointer<ImportSheet> importSheet_;
    QPointer<SaveTemplateSheet> templateSheet_;
    std::optional<QUuid> draggedEntryID_;
    ComposeEntryRow* draggedRow_ = nullptr;
    QList<ComposeEntryRow*> retired_; // rows whose entries went while they were being dragged
    DragRunner runDrag_;

    std::optional<ContextDraft> shown_;
    bool refreshPending_ = false;
    bool entriesStale_ = true;
    QHash<QUuid, ComposeEntryRow*> rows_;
    QList<ComposeEntryRow*> order_;

    QStackedWidget* pages_ = nullptr;
    QWidget* content_ = nullptr;
    QLabel* notFound_ = nullptr;
    QLineEdit* name_ = nullptr;
    QPlainTextEdit* task_ = nullptr;
    TextBinding* nameBinding_ = nullptr;
    TextBinding* taskBinding_ = nullptr;
    QWidget* headerActions_ = nullptr;
    QToolButton* templateButton_ = nullptr;
    QToolButton* importButton_ = nullptr;
    QLabel* sourceCountLabel_ = nullptr;
    qsizetype sourceCount_ = 0; // distinct sources of the rows
    QStackedWidget* body_ = nullptr;
    QWidget* emptyState_ = nullptr;
    QLabel* emptyText_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QWidget* list_ = nullptr;
    QVBoxLayout* listLayout_ = nullptr;
    SymbolView* noticeSymbol_ = nullptr;
    CappedLabel* noticeText_ = nullptr;
    QWidget* footerActions_ = nullptr;
    QToolButton* cleanupButton_ = nullptr;
};

} // namespace vellicord
