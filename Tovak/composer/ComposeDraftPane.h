#pragma once

#include "Tovak/composer/DraftSession.h"
#include "Tovak/kit/ViewServices.h"
#include "core/library/ContextDraft.h"

#include <QHash>
#include <QList>
#include <QPointer>
#include <QString>
#include <QTimer>
#include <QUuid>
#include <QWidget>

#include <functional>
#include <optional>

class QDrag;
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
// a footer with the composer's notice. It shows what its session holds and hands every edit to
// it; a draft that is gone shows "Prompt not found". Rows are kept per entry and moved rather than
// made again. Its sheets (trim a source, import text, save the task as a template) and the drag
// of a source by its grip belong to it; the sheets close when the draft goes. Main thread.
class ComposeDraftPane final : public QWidget {
    Q_OBJECT
public:
    // The session outlives the pane.
    ComposeDraftPane(ViewServices services, DraftSession& session, QWidget* parent = nullptr);
    ~ComposeDraftPane() override;

    QLineEdit* nameField() const { return name_; }
    QPlainTextEdit* taskField() const { return task_; }
    QToolButton* importButton() const { return importButton_; }
    // The row of an entry whose capture is in the library.
    ComposeEntryRow* row(const QUuid& entryID) const { return rows_.value(entryID); }

    // The menus as they open now (the custom templates read anew each time); each closes and goes
    // on its own, and with the pane.
    QMenu* makeTemplateMenu();
    QMenu* makeCleanupMenu();

    // The sheets, one at a time: a request while one is up is ignored. Trimming opens with the
    // text the source enters the prompt with; importing and saving with what was last typed.
    void beginTrim(const QUuid& entryID);
    void showImportSheet();
    void showSaveTemplateSheet();
    EntryTrimSheet* trimSheet() const;
    ImportSheet* importSheet() const;
    SaveTemplateSheet* saveTemplateSheet() const;

    // How a drag runs: QDrag::exec, unless a test steps through one itself.
    using DragRunner = std::function<Qt::DropAction(QDrag&)>;
    void setDragRunner(DragRunner runner);

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
    void applyTrim(EntryTrimSheet& sheet);
    void addImported();
    void saveTemplate();

    void sessionChanged(DraftSession::Changes what);
    void refresh();
    void showEntries(const ContextDraft& draft);
    bool showChangedEntries(const ContextDraft& draft);
    void showSourceCount(const ContextDraft& draft);
    void placeRows(const QList<ComposeEntryRow*>& order, const QList<ComposeEntryRow*>& gone);
    void discardRows(const QList<ComposeEntryRow*>& rows);
    void deleteLeavingRows();
    void deleteRow(ComposeEntryRow* row);
    static bool mayBeBusy(const ComposeEntryRow& row);
    void showNotice();
    // The drag starts from the event loop, not inside the grip's mouse handling; the dragged row
    // lives until the drag has ended, and the drag state is cleared then, however it ended.
    void startDrag(const QUuid& entryID);
    void runDrag(const QUuid& entryID);

    ViewServices services_;
    DraftSession& session_;
    std::optional<QUuid> editingEntryID_;
    QString editingText_;
    QString importText_;
    QString newTemplateName_;
    QPointer<EntryTrimSheet> trimSheet_;
    QPointer<ImportSheet> importSheet_;
    QPointer<SaveTemplateSheet> templateSheet_;
    ComposeEntryRow* draggedRow_ = nullptr;
    QList<ComposeEntryRow*> discarded_; // rows whose entries went while they were being dragged
    QList<ComposeEntryRow*> leaving_; // rows out of sight, deleted a slice at each turn of the event loop
    QTimer leavingTimer_;
    DragRunner runDrag_;

    std::optional<ContextDraft> shown_;
    bool entriesStale_ = true;
    QHash<QUuid, ComposeEntryRow*> rows_;
    QList<ComposeEntryRow*> order_;
    qsizetype sourceCount_ = 0; // distinct sources of the rows

    QStackedWidget* pages_ = nullptr;
    QWidget* content_ = nullptr;
    QLabel* notFound_ = nullptr;
    QLineEdit* name_ = nullptr;
    QPlainTextEdit* task_ = nullptr;
    TextBinding* nameBinding_ = nullptr;
    TextBinding* taskBinding_ = nullptr;
    QToolButton* templateButton_ = nullptr;
    QToolButton* importButton_ = nullptr;
    QLabel* sourceCountLabel_ = nullptr;
    QStackedWidget* body_ = nullptr;
    QWidget* emptyState_ = nullptr;
    QLabel* emptyText_ = nullptr;
    QScrollArea* scroll_ = nullptr;
    QWidget* list_ = nullptr;
    QVBoxLayout* listLayout_ = nullptr;
    SymbolView* noticeSymbol_ = nullptr;
    CappedLabel* noticeText_ = nullptr;
    QToolButton* cleanupButton_ = nullptr;
};

} // namespace vellicord
