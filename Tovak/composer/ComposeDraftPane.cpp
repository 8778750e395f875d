#include "Tovak/composer/ComposeDraftPane.h"

#include "Tovak/composer/ComposeEntryRow.h"
#include "Tovak/composer/EntryTrimSheet.h"
#include "Tovak/composer/ImportSheet.h"
#include "Tovak/composer/SaveTemplateSheet.h"
#include "Tovak/kit/CappedLabel.h"
#include "Tovak/kit/Controls.h"
#include "Tovak/kit/FirstFitLayout.h"
#include "Tovak/kit/SymbolView.h"
#include "Tovak/kit/Symbols.h"
#include "Tovak/kit/TextBinding.h"
#include "Tovak/kit/TextStyles.h"
#include "Tovak/kit/Theme.h"
#include "core/composition/ContextComposer.h"
#include "core/composition/Dedupe.h"
#include "core/composition/TextImport.h"
#include "core/foundation/Text.h"
#include "core/foundation/UuidText.h"
#include "core/library/DraftEntryEdits.h"
#include "core/library/PromptTemplates.h"
#include "core/library/Store.h"

#include <QAbstractTextDocumentLayout>
#include <QDrag>
#include <QDropEvent>
#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPointer>
#include <QResizeEvent>
#include <QScrollArea>
#include <QSet>
#include <QStackedWidget>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>

namespace vellicord {

namespace {

// A thin line between the header, the sources and the footer.
class Divider final : public QWidget {
public:
    explicit Divider(QWidget* parent)
        : QWidget(parent)
    {
        setFixedHeight(1);
        setSizePolicy(QSizePolicy::Expanding, QSizePolicy::Fixed);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), Theme::colors(palette()).separator);
    }
};

// The task: as tall as its lines, between two and five, then scrolling. Its lines are counted
// again when it gets a new width, which wraps them anew.
class TaskEditor final : public QPlainTextEdit {
public:
    explicit TaskEditor(QWidget* parent)
        : QPlainTextEdit(parent)
    {
        // A pasted address or identifier longer than the field wraps too, rather than scrolling
        // sideways out of sight.
        setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        connect(document()->documentLayout(), &QAbstractTextDocumentLayout::documentSizeChanged, this,
                &TaskEditor::fit);
        fit();
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QPlainTextEdit::resizeEvent(event);
        fit();
    }

private:
    void fit()
    {
        const int lines = std::clamp(document()->lineCount(), 2, 5);
        const QMargins margins = contentsMargins();
        setFixedHeight(lines * fontMetrics().lineSpacing() + int(std::ceil(2 * document()->documentMargin()))
                       + 2 * frameWidth() + margins.top() + margins.bottom());
    }
};

} // namespace

ComposeDraftPane::ComposeDraftPane(ViewServices services, const QUuid& draftID, QWidget* parent)
    : QWidget(parent)
    , services_(std::move(services))
    , draftID_(draftID)
    , runDrag_([](QDrag& drag) { return drag.exec(Qt::MoveAction | Qt::CopyAction, Qt::MoveAction); })
{
    if (!services_.runModal)
        services_.runModal = [](QDialog& sheet) { sheet.open(); };
    setObjectName(QStringLiteral("ComposeDraftPane"));
    pages_ = new QStackedWidget(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pages_);

    content_ = new QWidget(pages_);
    auto* column = new QVBoxLayout(content_);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);
    column->addWidget(buildHeader());
    column->addWidget(new Divider(content_));
    body_ = new QStackedWidget(content_);
    body_->addWidget(buildEmptyState());
    scroll_ = new QScrollArea(body_);
    scroll_->setObjectName(QStringLiteral("Sources"));
    scroll_->setAccessibleName(QStringLiteral("Sources"));
    scroll_->setFrameShape(QFrame::NoFrame);
    scroll_->setWidgetResizable(true);
    scroll_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    list_ = new QWidget(scroll_);
    listLayout_ = new QVBoxLayout(list_);
    listLayout_->setContentsMargins(12, 2, 12, 2);
    listLayout_->setSpacing(0);
    listLayout_->addStretch(1);
    scroll_->setWidget(list_);
    body_->addWidget(scroll_);
    column->addWidget(body_, 1);
    column->addWidget(new Divider(content_));
    column->addWidget(buildFooter());
    pages_->addWidget(content_);

    notFound_ = new QLabel(QStringLiteral("Prompt not found"), pages_);
    notFound_->setTextFormat(Qt::PlainText);
    notFound_->setAlignment(Qt::AlignCenter);
    pages_->addWidget(notFound_);

    Store& store = services_.store;
    connect(&store, &Store::draftsChanged, this, &ComposeDraftPane::scheduleRefresh);
    connect(&store, &Store::selectionsChanged, this, [this](const Store::SelectionsChange& change) {
        // Captures changed in place keep their text; only captures coming and going show here.
        if (!change.added.isEmpty() || !change.removed.isEmpty()) {
            entriesStale_ = true;
            scheduleRefresh();
        }
    });
    applyColors();
    showNotice();
    refresh();
}

ComposeDraftPane::~ComposeDraftPane()
{
    // The sheets go first, while the pane they report to is whole.
    for (ComposerSheet* sheet : sheets()) {
        sheet->disconnect(this);
        delete sheet;
    }
}

QToolButton* ComposeDraftPane::menuButton(const QString& title, const QString& symbol, QWidget* parent)
{
    auto* button = new QToolButton(parent);
    button->setText(title);
    button->setAccessibleName(title);
    button->setProperty("symbol", symbol);
    button->setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
    button->setFont(TextStyles::subheadline());
    button->setIconSize(QSize(13, 13));
    return button;
}

QWidget* ComposeDraftPane::buildHeader()
{
    auto* header = new QWidget(content_);
    auto* layout = new QVBoxLayout(header);
    layout->setContentsMargins(14, 12, 14, 10);
    layout->setSpacing(10);

    name_ = new QLineEdit(header);
    name_->setObjectName(QStringLiteral("PromptName"));
    name_->setPlaceholderText(QStringLiteral("Prompt name"));
    name_->setAccessibleName(QStringLiteral("Prompt name"));
    name_->setFont(TextStyles::title3Semibold());
    nameBinding_ = new TextBinding(*name_, [this](const QString& text) {
        change([&](ContextDraft draft) {
            draft.name = text;
            return draft;
        });
    });
    layout->addWidget(name_);

    task_ = new TaskEditor(header);
    task_->setObjectName(QStringLiteral("Task"));
    task_->setPlaceholderText(QStringLiteral("Task or instructions for the model"));
    task_->setAccessibleName(QStringLiteral("Task or instructions for the model"));
    task_->setTabChangesFocus(true);
    taskBinding_ = new TextBinding(*task_, [this](const QString& text) {
        change([&](ContextDraft draft) {
            draft.task = text;
            return draft;
        });
    });
    layout->addWidget(task_);

    auto* actions = new QWidget(header);
    auto* fit = new FirstFitLayout(
        {{.orientation = Qt::Horizontal, .spacing = 8, .stretchAfter = 0}, {.orientation = Qt::Vertical, .spacing = 6}},
        actions);
    fit->setContentsMargins(0, 0, 0, 0);
    headerActions_ = new QWidget(actions);
    auto* actionsLayout = new QHBoxLayout(headerActions_);
    actionsLayout->setContentsMargins(0, 0, 0, 0);
    actionsLayout->setSpacing(8);
    templateButton_ = menuButton(QStringLiteral("Template"), QStringLiteral("wand.and.stars"), headerActions_);
    templateButton_->setToolTip(QStringLiteral("Apply a ready-made task template"));
    // Opened with popup() rather than the button's own menu, which would run an event loop inside
    // the pane's button.
    connect(templateButton_, &QToolButton::clicked, this,
            [this] { makeTemplateMenu()->popup(templateButton_->mapToGlobal(QPoint(0, templateButton_->height()))); });
    actionsLayout->addWidget(templateButton_);
    importButton_ = menuButton(QStringLiteral("Import text…"), QStringLiteral("doc.badge.plus"), headerActions_);
    connect(importButton_, &QToolButton::clicked, this, &ComposeDraftPane::showImportSheet);
    actionsLayout->addWidget(importButton_);
    fit->addWidget(headerActions_);
    sourceCountLabel_ = new QLabel(actions);
    sourceCountLabel_->setObjectName(QStringLiteral("SourceCount"));
    sourceCountLabel_->setTextFormat(Qt::PlainText);
    sourceCountLabel_->setFont(TextStyles::caption());
    fit->addWidget(sourceCountLabel_);
    layout->addWidget(actions);
    return header;
}

QWidget* ComposeDraftPane::buildEmptyState()
{
    emptyState_ = new QWidget(body_);
    emptyState_->setObjectName(QStringLiteral("EmptyState"));
    auto* layout = new QVBoxLayout(emptyState_);
    layout->setContentsMargins(24, 24, 24, 24);
    layout->setSpacing(10);
    layout->addStretch(1);
    layout->addWidget(new SymbolView(QStringLiteral("text.badge.plus"), 26, &ThemeColors::tertiaryLabel, emptyState_),
                      0, Qt::AlignHCenter);
    emptyText_ = new QLabel(emptyState_);
    emptyText_->setTextFormat(Qt::PlainText);
    emptyText_->setFont(TextStyles::callout());
    emptyText_->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    emptyText_->setWordWrap(true);
    layout->addWidget(emptyText_);
    layout->addStretch(1);
    return emptyState_;
}

QWidget* ComposeDraftPane::buildFooter()
{
    auto* footer = new QWidget(content_);
    auto* layout = new QHBoxLayout(footer);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(8);
    auto* label = new QHBoxLayout;
    label->setSpacing(5);
    noticeSymbol_ = new SymbolView(QStringLiteral("scissors"), QFontMetrics(TextStyles::caption()).height(),
                                   &ThemeColors::tertiaryLabel, footer);
    label->addWidget(noticeSymbol_, 0, Qt::AlignTop);
    noticeText_ = new CappedLabel(2, Qt::AlignLeft | Qt::AlignTop, footer);
    noticeText_->setObjectName(QStringLiteral("Notice"));
    noticeText_->setFont(TextStyles::caption());
    label->addWidget(noticeText_, 1);
    layout->addLayout(label, 1);
    layout->addSpacing(4);
    footerActions_ = new QWidget(footer);
    auto* actions = new QHBoxLayout(footerActions_);
    actions->setContentsMargins(0, 0, 0, 0);
    actions->setSpacing(8);
    cleanupButton_ = menuButton(QStringLiteral("Cleanup"), QStringLiteral("ellipsis.circle"), footerActions_);
    connect(cleanupButton_, &QToolButton::clicked, this, [this] {
        QMenu* menu = makeCleanupMenu();
        menu->popup(cleanupButton_->mapToGlobal(QPoint(0, -menu->sizeHint().height())));
    });
    actions->addWidget(cleanupButton_);
    footerActions_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    layout->addWidget(footerActions_);
    return footer;
}

void ComposeDraftPane::applyColors()
{
    const ThemeColors colors = Theme::colors(palette());
    Controls::tint(*notFound_, colors.secondaryLabel);
    Controls::tint(*sourceCountLabel_, colors.secondaryLabel);
    Controls::tint(*emptyText_, colors.secondaryLabel);
    Controls::tint(*noticeText_, notice_ && !notice_->isEmpty() ? colors.secondaryLabel : colors.tertiaryLabel);
    for (QToolButton* button : {templateButton_, importButton_, cleanupButton_})
        button->setIcon(Symbols::icon(button->property("symbol").toString(), palette().color(QPalette::ButtonText)));
    QPalette background = scroll_->viewport()->palette();
    background.setColor(QPalette::Window, palette().color(QPalette::Base));
    list_->setPalette(background);
    list_->setAutoFillBackground(true);
}

void ComposeDraftPane::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange && notFound_)
        applyColors();
    QWidget::changeEvent(event);
}

QString ComposeDraftPane::sourceCountText(qsizetype included, qsizetype sources)
{
    return QStringLiteral("%1 included · %2 source%3")
        .arg(included)
        .arg(sources)
        .arg(sources == 1 ? QString() : QStringLiteral("s"));
}

QString ComposeDraftPane::emptyStateText(const QString& hotkeyDisplay)
{
    return QStringLiteral("No sources yet. Select text anywhere and press ") + hotkeyDisplay
        + QStringLiteral(" with “Collect into Prompt” on (system tray) to add it here — or import pasted text below.");
}

bool ComposeDraftPane::showsDraft() const
{
    return pages_->currentWidget() == content_;
}

bool ComposeDraftPane::showsEmptyState() const
{
    return showsDraft() && body_->currentWidget() == emptyState_;
}

QString ComposeDraftPane::footerText() const
{
    return noticeText_->fullText();
}

void ComposeDraftPane::scheduleRefresh()
{
    if (refreshPending_)
        return;
    refreshPending_ = true;
    QMetaObject::invokeMethod(this, &ComposeDraftPane::refresh, Qt::QueuedConnection);
}

void ComposeDraftPane::refresh()
{
    refreshPending_ = false;
    const std::optional<ContextDraft> draft = services_.store.findDraft(draftID_);
    if (!draft) {
        pages_->setCurrentWidget(notFound_);
        shown_.reset();
        entriesStale_ = true;
        closeSheets();
        return;
    }
    pages_->setCurrentWidget(content_);
    // A source that left the prompt (with its capture, say) takes its trim sheet along.
    if (trimSheet_ && trimSheet_->isVisible() && editingEntryID_
        && std::none_of(draft->entries.cbegin(), draft->entries.cend(),
                        [&](const ContextDraftEntry& entry) { return entry.id == *editingEntryID_; }))
        trimSheet_->reject();
    if (draft->entries.isEmpty())
        emptyText_->setText(emptyStateText(services_.shortcutDisplay ? services_.shortcutDisplay() : QString()));
    nameBinding_->show(draft->name);
    taskBinding_->show(draft->task);
    if (entriesStale_ || !shown_ || shown_->modelProfileID != draft->modelProfileID || !showChangedEntries(*draft))
        showEntries(*draft);
    entriesStale_ = false;
    shown_ = draft;
}

// A keystroke in a note, a switch flipped: the same entries in the same places, some of them
// changed. Only their rows are shown again. False when entries came, went or moved.
bool ComposeDraftPane::showChangedEntries(const ContextDraft& draft)
{
    const QList<ContextDraftEntry>& before = shown_->entries;
    const QList<ContextDraftEntry>& now = draft.entries;
    if (before.size() != now.size())
        return false;
    for (qsizetype i = 0; i < now.size(); ++i) {
        if (before[i].id != now[i].id || before[i].selectionID != now[i].selectionID)
            return false;
    }
    for (qsizetype i = 0; i < now.size(); ++i) {
        if (before[i] == now[i])
            continue;
        if (ComposeEntryRow* row = rows_.value(now[i].id))
            row->setEntry(now[i], row->selection(), draft.modelProfile(), i, now.size());
    }
    sourceCountLabel_->setText(sourceCountText(draft.includedCount(), sourceCount_));
    return true;
}

void ComposeDraftPane::showEntries(const ContextDraft& draft)
{
    const ModelProfile& profile = draft.modelProfile();
    QList<ComposeEntryRow*> order;
    order.reserve(draft.entries.size());
    QSet<QUuid> kept;
    QSet<QString> sources;
    const qsizetype count = draft.entries.size();
    for (qsizetype index = 0; index < count; ++index) {
        const ContextDraftEntry& entry = draft.entries[index];
        if (kept.contains(entry.id))
            continue;
        // An entry whose capture left the library keeps its place and its counts, without a row.
        const std::optional<Selection> selection = services_.store.findByID(entry.selectionID);
        if (!selection)
            continue;
        ComposeEntryRow* row = rows_.value(entry.id);
        if (!row) {
            row = new ComposeEntryRow(*this, entry.id, list_);
            rows_.insert(entry.id, row);
        }
        row->setEntry(entry, *selection, profile, index, count);
        order.append(row);
        kept.insert(entry.id);
        sources.insert(row->sourceKey());
    }
    for (auto it = rows_.begin(); it != rows_.end();) {
        if (kept.contains(it.key())) {
            ++it;
            continue;
        }
        retire(it.value());
        it = rows_.erase(it);
    }
    arrange(order);
    sourceCount_ = sources.size();
    sourceCountLabel_->setText(sourceCountText(draft.includedCount(), sources.size()));
    body_->setCurrentWidget(draft.entries.isEmpty() ? emptyState_ : static_cast<QWidget*>(scroll_));
}

// Puts the rows in the layout in the given order, moving only those between the first and the
// last that changed place: a drag step or a move by the menu touches the rows between the two
// places, not the whole list.
void ComposeDraftPane::arrange(const QList<ComposeEntryRow*>& order)
{
    const QList<ComposeEntryRow*> before = std::exchange(order_, order);
    const qsizetype common = std::min(before.size(), order.size());
    qsizetype head = 0;
    while (head < common && before[head] == order[head])
        ++head;
    qsizetype tail = 0;
    while (tail < common - head && before[before.size() - 1 - tail] == order[order.size() - 1 - tail])
        ++tail;
    for (qsizetype i = before.size() - tail - 1; i >= head; --i)
        delete listLayout_->takeAt(int(i));
    for (qsizetype i = head; i < order.size() - tail; ++i) {
        listLayout_->insertWidget(int(i), order[i]);
        order[i]->show();
    }
}

void ComposeDraftPane::retire(ComposeEntryRow* row)
{
    row->hide();
    // The row a drag started from stays until the drag has ended.
    if (row == draggedRow_)
        retired_.append(row);
    else
        row->deleteLater();
}

void ComposeDraftPane::setNotice(const std::optional<QString>& notice)
{
    if (notice_ == notice)
        return;
    notice_ = notice;
    showNotice();
    Q_EMIT noticeChanged();
    if (!notice)
        return;
    // Not cancelled when the notice changes: at its time it clears only the text it was set for.
    // The pane may be gone by then.
    services_.scheduler.after(noticeDuration, [pane = QPointer<ComposeDraftPane>(this), text = *notice] {
        if (pane && pane->notice_ == text)
            pane->setNotice(std::nullopt);
    });
}

void ComposeDraftPane::showNotice()
{
    const bool shows = notice_ && !notice_->isEmpty();
    noticeSymbol_->setSymbol(shows ? QStringLiteral("info.circle") : QStringLiteral("scissors"),
                             shows ? &ThemeColors::secondaryLabel : &ThemeColors::tertiaryLabel);
    noticeText_->setFullText(shows ? *notice_ : QStringLiteral("Trimmed text changes only this prompt."));
    const ThemeColors colors = Theme::colors(palette());
    Controls::tint(*noticeText_, shows ? colors.secondaryLabel : colors.tertiaryLabel);
}

void ComposeDraftPane::change(const std::function<ContextDraft(ContextDraft)>& edit)
{
    Store& store = services_.store;
    if (const std::optional<ContextDraft> draft = store.findDraft(draftID_))
        store.updateDraft(edit(*draft));
}

void ComposeDraftPane::toggleInclude(const QUuid& entryID)
{
    change([&](ContextDraft draft) { return DraftEntryEdits::toggleInclude(std::move(draft), entryID); });
}

void ComposeDraftPane::togglePin(const QUuid& entryID)
{
    change([&](ContextDraft draft) { return DraftEntryEdits::togglePin(std::move(draft), entryID); });
}

void ComposeDraftPane::toggleVerbatim(const QUuid& entryID)
{
    change([&](ContextDraft draft) { return DraftEntryEdits::toggleVerbatim(std::move(draft), entryID); });
}

void ComposeDraftPane::move(const QUuid& entryID, int offset)
{
    change([&](ContextDraft draft) { return DraftEntryEdits::move(std::move(draft), entryID, offset); });
}

void ComposeDraftPane::moveEntry(const std::optional<QUuid>& dragged, const QUuid& target)
{
    if (!DraftEntryEdits::dropMoves(dragged, target))
        return;
    change([&](ContextDraft draft) { return DraftEntryEdits::moveEntry(std::move(draft), *dragged, target); });
}

void ComposeDraftPane::remove(const QUuid& entryID)
{
    change([&](ContextDraft draft) { return DraftEntryEdits::remove(std::move(draft), entryID); });
}

QString ComposeDraftPane::note(const QUuid& entryID) const
{
    const std::optional<ContextDraft> draft = services_.store.findDraft(draftID_);
    return draft ? DraftEntryEdits::note(*draft, entryID) : QString();
}

void ComposeDraftPane::setNote(const QUuid& entryID, const QString& text)
{
    change([&](ContextDraft draft) { return DraftEntryEdits::setNote(std::move(draft), entryID, text); });
}

void ComposeDraftPane::addToDraft(const QUuid& selectionID)
{
    change([&](ContextDraft draft) { return DraftEntryEdits::addToDraft(std::move(draft), selectionID); });
}

std::optional<ContextDraftEntry> ComposeDraftPane::storedEntry(const QUuid& entryID) const
{
    const std::optional<ContextDraft> draft = services_.store.findDraft(draftID_);
    if (!draft)
        return std::nullopt;
    for (const ContextDraftEntry& entry : draft->entries) {
        if (entry.id == entryID)
            return entry;
    }
    return std::nullopt;
}

void ComposeDraftPane::beginTrim(const QUuid& entryID)
{
    if (sheetUp())
        return;
    const std::optional<ContextDraftEntry> entry = storedEntry(entryID);
    if (!entry)
        return;
    const std::optional<Selection> selection = services_.store.findByID(entry->selectionID);
    if (!selection)
        return;
    // The text first, then the entry: naming the entry is what opens the sheet.
    editingText_ = ContextComposer::entryBody(*entry, *selection);
    editingEntryID_ = entryID;
    Q_EMIT trimRequested();

    const std::optional<ContextDraft> draft = services_.store.findDraft(draftID_);
    auto* sheet = new EntryTrimSheet(draft ? draft->modelProfile() : ModelProfile::gpt4o(), editingText_, this);
    trimSheet_ = sheet;
    connect(sheet, &EntryTrimSheet::textEdited, this, [this](const QString& text) { editingText_ = text; });
    connect(sheet, &ComposerSheet::mainClicked, this, [this, sheet] {
        if (editingEntryID_)
            applyTrim(*editingEntryID_);
        editingEntryID_.reset();
        sheet->accept();
    });
    // However it closes, the next trim may be of another entry; the text stays as it was.
    connect(sheet, &QDialog::finished, this, [this] { editingEntryID_.reset(); });
    present(*sheet);
}

void ComposeDraftPane::applyTrim(const QUuid& entryID)
{
    Store& store = services_.store;
    std::optional<QString> body;
    if (const std::optional<ContextDraftEntry> entry = storedEntry(entryID)) {
        if (const std::optional<Selection> selection = store.findByID(entry->selectionID))
            body = ContextComposer::entryBody(*entry, *selection);
    }
    // The editor holds every line break as a line feed: a body with carriage returns comes back
    // from an untouched sheet as the body it showed, and that is no change.
    QString edited = editingText_;
    if (body && Text::equal(edited, TextBinding::paragraphsAsLineFeeds(*body)))
        edited = *body;
    const DraftEntryEdits::TrimCase trim = DraftEntryEdits::trimCase(edited, body);
    change([&](ContextDraft draft) { return DraftEntryEdits::applyTrim(std::move(draft), entryID, edited, trim); });
    switch (trim) {
    case DraftEntryEdits::TrimCase::clear:
        setNotice(QStringLiteral("Trim cleared — using the captured source again."));
        break;
    case DraftEntryEdits::TrimCase::unchanged: setNotice(QStringLiteral("No change made.")); break;
    case DraftEntryEdits::TrimCase::set: setNotice(QStringLiteral("Trim applied.")); break;
    }
}

void ComposeDraftPane::showImportSheet()
{
    if (sheetUp())
        return;
    auto* sheet = new ImportSheet(importText_, this);
    importSheet_ = sheet;
    connect(sheet, &ImportSheet::textEdited, this, [this](const QString& text) { importText_ = text; });
    connect(sheet, &ComposerSheet::mainClicked, this, &ComposeDraftPane::addImported);
    present(*sheet);
}

void ComposeDraftPane::addImported()
{
    Store& store = services_.store;
    // Captures made for a prompt that is gone would land in the library unasked for.
    if (!store.findDraft(draftID_))
        return;
    const QList<Selection> made = store.addImportedTextChunks(
        TextImport::chunks(importText_, TextImport::composerChunkLength), QString::fromLatin1(importAppName));
    if (made.isEmpty())
        return;
    QList<QUuid> ids;
    ids.reserve(made.size());
    for (const Selection& capture : made)
        ids.append(capture.id);
    // One change for all the chunks: one refresh of every view of the draft, not one per chunk.
    change([&](ContextDraft draft) { return DraftEntryEdits::addToDraft(std::move(draft), ids); });
    setNotice(QStringLiteral("Imported %1 chunk%2 into the prompt.")
                  .arg(made.size())
                  .arg(made.size() == 1 ? QString() : QStringLiteral("s")));
    importText_.clear();
    if (importSheet_)
        importSheet_->accept();
}

void ComposeDraftPane::applyTemplate(const PromptTemplate& t)
{
    change([&](ContextDraft draft) { return PromptTemplates::apply(t, draft); });
    setNotice(QStringLiteral("Applied template “") + t.name + QStringLiteral("”."));
}

void ComposeDraftPane::showSaveTemplateSheet()
{
    if (sheetUp())
        return;
    auto* sheet = new SaveTemplateSheet(newTemplateName_, this);
    templateSheet_ = sheet;
    connect(sheet, &SaveTemplateSheet::nameEdited, this, [this](const QString& name) { newTemplateName_ = name; });
    connect(sheet, &ComposerSheet::mainClicked, this, &ComposeDraftPane::saveTemplate);
    present(*sheet);
}

void ComposeDraftPane::saveTemplate()
{
    const std::optional<ContextDraft> draft = services_.store.findDraft(draftID_);
    if (!draft)
        return;
    const PromptTemplate saved = PromptTemplates::fromDraft(newTemplateName_, *draft);
    PromptTemplates::saveCustom(saved, services_.defaults);
    if (templateSheet_)
        templateSheet_->accept();
    setNotice(QStringLiteral("Saved template “") + saved.name + QStringLiteral("”."));
}

QMenu* ComposeDraftPane::makeTemplateMenu()
{
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    // A menu reads "&" as the mark of a mnemonic; a template's name is shown as it is.
    const auto addTemplate = [&](const PromptTemplate& t) {
        QAction* item = menu->addAction(QString(t.name).replace(u'&', QStringLiteral("&&")), this,
                                        [this, t] { applyTemplate(t); });
        item->setData(t.id);
    };
    for (const PromptTemplate& t : PromptTemplates::builtins())
        addTemplate(t);
    const QList<PromptTemplate> custom = PromptTemplates::loadCustom(services_.defaults);
    if (!custom.isEmpty()) {
        menu->addSeparator();
        for (const PromptTemplate& t : custom)
            addTemplate(t);
    }
    menu->addSeparator();
    menu->addAction(QStringLiteral("Save this task as a template…"), this, &ComposeDraftPane::showSaveTemplateSheet);
    return menu;
}

QMenu* ComposeDraftPane::makeCleanupMenu()
{
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const QColor ink = palette().color(QPalette::Text);
    QAction* duplicates
        = menu->addAction(Symbols::icon(QStringLiteral("scissors.badge.ellipsis"), ink),
                          QStringLiteral("Remove Duplicates"), this, &ComposeDraftPane::removeDuplicates);
    QAction* excluded
        = menu->addAction(Symbols::icon(QStringLiteral("trash"), ink), QStringLiteral("Remove Excluded Sources"), this,
                          &ComposeDraftPane::removeExcludedSources);
    // As the draft was last shown: what the user sees is what the commands act on.
    const QList<ContextDraftEntry> entries = shown_ ? shown_->entries : QList<ContextDraftEntry>();
    duplicates->setEnabled(entries.size() >= 2);
    excluded->setEnabled(
        std::any_of(entries.cbegin(), entries.cend(), [](const ContextDraftEntry& entry) { return !entry.include; }));
    return menu;
}

void ComposeDraftPane::removeDuplicates()
{
    Store& store = services_.store;
    const std::optional<ContextDraft> draft = store.findDraft(draftID_);
    if (!draft)
        return;
    const QList<QUuid> removed
        = Dedupe::duplicateEntries(*draft, [&store](const QUuid& id) { return store.findByID(id); });
    if (removed.isEmpty()) {
        setNotice(QStringLiteral("No near-duplicate sources found."));
        return;
    }
    const QSet<QUuid> ids(removed.cbegin(), removed.cend());
    change([&](ContextDraft d) { return DraftEntryEdits::removeEntries(std::move(d), ids); });
    setNotice(QStringLiteral("Removed %1 duplicate source%2.")
                  .arg(removed.size())
                  .arg(removed.size() == 1 ? QString() : QStringLiteral("s")));
}

void ComposeDraftPane::removeExcludedSources()
{
    change([](ContextDraft draft) { return DraftEntryEdits::removeExcluded(std::move(draft)); });
    setNotice(QStringLiteral("Removed excluded sources."));
}

void ComposeDraftPane::present(ComposerSheet& sheet)
{
    sheet.setAttribute(Qt::WA_DeleteOnClose);
    services_.runModal(sheet);
}

EntryTrimSheet* ComposeDraftPane::trimSheet() const
{
    return trimSheet_;
}

ImportSheet* ComposeDraftPane::importSheet() const
{
    return importSheet_;
}

SaveTemplateSheet* ComposeDraftPane::saveTemplateSheet() const
{
    return templateSheet_;
}

bool ComposeDraftPane::sheetUp() const
{
    // A sheet just closed is deleted at the next turn of the event loop; it is down already.
    const QList<ComposerSheet*> all = sheets();
    return std::any_of(all.cbegin(), all.cend(), [](ComposerSheet* sheet) { return sheet->isVisible(); });
}

QList<ComposerSheet*> ComposeDraftPane::sheets() const
{
    QList<ComposerSheet*> up;
    for (ComposerSheet* sheet : {static_cast<ComposerSheet*>(trimSheet_), static_cast<ComposerSheet*>(importSheet_),
                                 static_cast<ComposerSheet*>(templateSheet_)}) {
        if (sheet)
            up.append(sheet);
    }
    return up;
}

void ComposeDraftPane::closeSheets()
{
    for (ComposerSheet* sheet : sheets()) {
        if (sheet->isVisible())
            sheet->reject();
    }
}

void ComposeDraftPane::setDragRunner(DragRunner runner)
{
    runDrag_ = std::move(runner);
}

void ComposeDraftPane::startDrag(const QUuid& entryID)
{
    QMetaObject::invokeMethod(
        this, [this, entryID] { runDrag(entryID); }, Qt::QueuedConnection);
}

void ComposeDraftPane::runDrag(const QUuid& entryID)
{
    ComposeEntryRow* row = rows_.value(entryID);
    if (draggedEntryID_ || !row)
        return;
    auto* data = new QMimeData;
    data->setText(UuidText::format(entryID));
    auto* drag = new QDrag(this);
    drag->setMimeData(data);
    drag->setPixmap(row->grab());
    drag->setHotSpot(row->grip()->geometry().center());
    draggedEntryID_ = entryID;
    draggedRow_ = row;
    const QPointer<ComposeDraftPane> alive(this);
    const QPointer<QDrag> running(drag);
    runDrag_(*drag);
    if (running)
        running->deleteLater();
    if (!alive)
        return;
    draggedEntryID_.reset();
    draggedRow_ = nullptr;
    for (ComposeEntryRow* retired : std::exchange(retired_, {}))
        retired->deleteLater();
}

bool ComposeDraftPane::carriesEntryDrag(const QDropEvent& event) const
{
    // Nothing of the event is read while no drag of ours runs: reading another application's
    // text would ask that application for it.
    if (!draggedEntryID_ || !shown_)
        return false;
    const QMimeData* data = event.mimeData();
    if (!data || !data->hasText())
        return false;
    const std::optional<QUuid> id = UuidText::parse(data->text());
    if (!id || *id != *draggedEntryID_)
        return false;
    return std::any_of(shown_->entries.cbegin(), shown_->entries.cend(),
                       [&](const ContextDraftEntry& entry) { return entry.id == *id; });
}

} // namespace vellicord
