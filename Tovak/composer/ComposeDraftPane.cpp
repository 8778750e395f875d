#include "Tovak/composer/ComposeDraftPane.h"

#include "Tovak/composer/ComposeEntryRow.h"
#include "Tovak/composer/EntryTrimSheet.h"
#include "Tovak/composer/ImportSheet.h"
#include "Tovak/composer/SaveTemplateSheet.h"
#include "Tovak/kit/CappedLabel.h"
#include "Tovak/kit/Controls.h"
#include "Tovak/kit/Divider.h"
#include "Tovak/kit/FirstFitLayout.h"
#include "Tovak/kit/IdDrag.h"
#include "Tovak/kit/MenuItemText.h"
#include "Tovak/kit/SymbolView.h"
#include "Tovak/kit/Symbols.h"
#include "Tovak/kit/TextBinding.h"
#include "Tovak/kit/TextStyles.h"
#include "Tovak/kit/Theme.h"
#include "Tovak/kit/WrappingTextLayout.h"
#include "core/foundation/UuidText.h"
#include "core/library/PromptTemplates.h"

#include <QApplication>
#include <QDrag>
#include <QElapsedTimer>
#include <QEvent>
#include <QFontMetrics>
#include <QHBoxLayout>
#include <QLayoutItem>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPointer>
#include <QResizeEvent>
#include <QScrollArea>
#include <QSet>
#include <QStackedWidget>
#include <QTextBlock>
#include <QTextLayout>
#include <QThread>
#include <QToolButton>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <initializer_list>

namespace vellicord {

namespace {

// The task: as tall as its lines, between two and five, then scrolling. The scroll bar is shown or
// hidden outright, by the lines at the whole width: left to come and go by itself, it came over
// lines still wrapped for the whole width and cut their last letters. Shown, it narrows the
// viewport, and the editor wraps its lines anew for it.
class TaskEditor final : public QPlainTextEdit {
public:
    static constexpr int fewestLines = 2;
    static constexpr int mostLines = 5;

    explicit TaskEditor(QWidget* parent)
        : QPlainTextEdit(parent)
    {
        WrappingTextLayout::install(*this);
        // A pasted address or identifier longer than the field wraps too, rather than scrolling
        // sideways out of sight.
        setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
        connect(document(), &QTextDocument::contentsChanged, this, &TaskEditor::fit);
        fit();
    }

protected:
    void resizeEvent(QResizeEvent* event) override
    {
        QPlainTextEdit::resizeEvent(event);
        fit();
    }
    void changeEvent(QEvent* event) override
    {
        QPlainTextEdit::changeEvent(event);
        if (event->type() == QEvent::FontChange)
            fit();
    }

private:
    // The lines the text takes wrapped in a viewport of this width, as the editor wraps them,
    // counted up to the limit: a long task costs no more than its first lines. Of a long paragraph
    // only the start is laid out, as long as those lines could be: lines found there are lines of
    // the paragraph too, but for the last, which the rest of the paragraph at least continues.
    int lines(int viewportWidth, int limit) const
    {
        constexpr qsizetype start = 16 * 1024;
        const qreal width = viewportWidth - 2 * document()->documentMargin();
        const auto count = [&](const QString& text, int most) {
            QTextLayout layout(text, document()->defaultFont());
            layout.setTextOption(document()->defaultTextOption());
            layout.beginLayout();
            int made = 0;
            {
                WrappingTextLayout::Lines lines(layout, text);
                for (; made < most; ++made) {
                    QTextLine line = layout.createLine();
                    if (!line.isValid())
                        break;
                    lines.fill(line, width);
                }
            }
            layout.endLayout();
            return made;
        };
        int total = 0;
        for (QTextBlock block = document()->begin(); block.isValid() && total < limit; block = block.next()) {
            const QString text = block.text();
            int made = count(text.left(start), limit - total);
            if (made < limit - total && text.size() > start)
                made = count(text, limit - total);
            total += made;
        }
        return total;
    }

    void fit()
    {
        const int lineCount = lines(contentsRect().width(), mostLines + 1);
        setVerticalScrollBarPolicy(lineCount > mostLines ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
        const int shown = std::clamp(lineCount, fewestLines, mostLines);
        const QMargins margins = contentsMargins();
        setFixedHeight(shown * fontMetrics().lineSpacing() + int(std::ceil(2 * document()->documentMargin()))
                       + 2 * frameWidth() + margins.top() + margins.bottom());
    }
};

// "3 included · 1 source"
QString sourceCountText(qsizetype included, qsizetype sources)
{
    return QStringLiteral("%1 included · %2 source%3")
        .arg(included)
        .arg(sources)
        .arg(sources == 1 ? QString() : QStringLiteral("s"));
}

QString emptyStateText(const QString& hotkeyDisplay)
{
    return QStringLiteral("No sources yet. Select text anywhere and press ") + hotkeyDisplay
        + QStringLiteral(" with “Collect into Prompt” on (system tray) to add it here — or import pasted text below.");
}

} // namespace

ComposeDraftPane::ComposeDraftPane(ViewServices services, DraftSession& session, QWidget* parent)
    : QWidget(parent)
    , services_(std::move(services))
    , session_(session)
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
    // The keyboard goes to the rows' controls, which scroll into sight; the area shows no focus.
    scroll_->setFocusPolicy(Qt::NoFocus);
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
    // When the header grows or shrinks (the task wraps to another line), the sources are moved on
    // the screen as they are drawn instead of painted again: for hundreds of sources that took a
    // keystroke several milliseconds. Only an area that paints all of itself can be moved so.
    body_->setAutoFillBackground(true);
    for (QWidget* moved : std::initializer_list<QWidget*>{body_, scroll_, scroll_->viewport()})
        moved->setAttribute(Qt::WA_StaticContents);
    column->addWidget(new Divider(content_));
    column->addWidget(buildFooter());
    pages_->addWidget(content_);

    notFound_ = new QLabel(QStringLiteral("Prompt not found"), pages_);
    notFound_->setTextFormat(Qt::PlainText);
    notFound_->setAlignment(Qt::AlignCenter);
    pages_->addWidget(notFound_);

    connect(&session_, &DraftSession::changed, this, &ComposeDraftPane::sessionChanged);
    leavingTimer_.setInterval(0);
    connect(&leavingTimer_, &QTimer::timeout, this, &ComposeDraftPane::deleteLeavingRows);
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
        session_.change([&](ContextDraft& draft) { draft.name = text; });
    });
    layout->addWidget(name_);

    task_ = new TaskEditor(header);
    task_->setObjectName(QStringLiteral("Task"));
    task_->setPlaceholderText(QStringLiteral("Task or instructions for the model"));
    task_->setAccessibleName(QStringLiteral("Task or instructions for the model"));
    task_->setTabChangesFocus(true);
    taskBinding_ = new TextBinding(*task_, [this](const QString& text) {
        session_.change([&](ContextDraft& draft) { draft.task = text; });
    });
    layout->addWidget(task_);

    auto* actions = new QWidget(header);
    auto* fit = new FirstFitLayout(
        {{.orientation = Qt::Horizontal, .spacing = 8, .stretchAfter = 0}, {.orientation = Qt::Vertical, .spacing = 6}},
        actions);
    fit->setContentsMargins(0, 0, 0, 0);
    auto* headerActions = new QWidget(actions);
    auto* actionsLayout = new QHBoxLayout(headerActions);
    actionsLayout->setContentsMargins(0, 0, 0, 0);
    actionsLayout->setSpacing(8);
    templateButton_ = menuButton(QStringLiteral("Template"), QStringLiteral("wand.and.stars"), headerActions);
    templateButton_->setToolTip(QStringLiteral("Apply a ready-made task template"));
    // Opened with popup() rather than the button's own menu, which would run an event loop inside
    // the pane's button.
    connect(templateButton_, &QToolButton::clicked, this,
            [this] { makeTemplateMenu()->popup(templateButton_->mapToGlobal(QPoint(0, templateButton_->height()))); });
    actionsLayout->addWidget(templateButton_);
    importButton_ = menuButton(QStringLiteral("Import text…"), QStringLiteral("doc.badge.plus"), headerActions);
    connect(importButton_, &QToolButton::clicked, this, &ComposeDraftPane::showImportSheet);
    actionsLayout->addWidget(importButton_);
    fit->addWidget(headerActions);
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
    cleanupButton_ = menuButton(QStringLiteral("Cleanup"), QStringLiteral("ellipsis.circle"), footer);
    connect(cleanupButton_, &QToolButton::clicked, this, [this] {
        QMenu* menu = makeCleanupMenu();
        menu->popup(cleanupButton_->mapToGlobal(QPoint(0, -menu->sizeHint().height())));
    });
    cleanupButton_->setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    layout->addWidget(cleanupButton_);
    return footer;
}

void ComposeDraftPane::applyColors()
{
    const ThemeColors colors = Theme::colors(palette());
    Controls::tint(*notFound_, colors.secondaryLabel);
    Controls::tint(*sourceCountLabel_, colors.secondaryLabel);
    Controls::tint(*emptyText_, colors.secondaryLabel);
    const std::optional<QString>& notice = session_.notice();
    Controls::tint(*noticeText_, notice && !notice->isEmpty() ? colors.secondaryLabel : colors.tertiaryLabel);
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

void ComposeDraftPane::sessionChanged(DraftSession::Changes what)
{
    // Captures changed in place keep their text; only captures coming and going show here.
    if (what & DraftSession::Change::captures)
        entriesStale_ = true;
    if (what & (DraftSession::Change::draft | DraftSession::Change::captures))
        refresh();
    if (what & DraftSession::Change::notice)
        showNotice();
}

void ComposeDraftPane::refresh()
{
    const std::optional<ContextDraft>& draft = session_.draft();
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
    showSourceCount(draft);
    return true;
}

void ComposeDraftPane::showSourceCount(const ContextDraft& draft)
{
    sourceCountLabel_->setText(sourceCountText(draft.includedCount(), sourceCount_));
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
        const Selection* selection = session_.capture(entry.selectionID);
        if (!selection)
            continue;
        ComposeEntryRow* row = rows_.value(entry.id);
        if (!row) {
            row = new ComposeEntryRow(session_, entry.id, list_);
            QSizePolicy policy = row->sizePolicy();
            policy.setRetainSizeWhenHidden(true);
            row->setSizePolicy(policy);
            connect(row, &ComposeEntryRow::trimRequested, this, &ComposeDraftPane::beginTrim);
            connect(row, &ComposeEntryRow::dragRequested, this, &ComposeDraftPane::startDrag);
            rows_.insert(entry.id, row);
        }
        row->setEntry(entry, *selection, profile, index, count);
        order.append(row);
        kept.insert(entry.id);
        sources.insert(row->sourceKey());
    }
    QList<ComposeEntryRow*> gone;
    for (auto it = rows_.begin(); it != rows_.end();) {
        if (kept.contains(it.key())) {
            ++it;
            continue;
        }
        gone.append(it.value());
        it = rows_.erase(it);
    }
    placeRows(order, gone);
    sourceCount_ = sources.size();
    showSourceCount(draft);
    body_->setCurrentWidget(draft.entries.isEmpty() ? emptyState_ : static_cast<QWidget*>(scroll_));
}

// Puts the rows in the layout in the given order, moving only those between the first and the
// last that changed place: a drag step or a move by the menu touches the rows between the two
// places, not the whole list. The rows of entries that went leave while out of the layout: a
// widget leaving or joining a layout is looked for among all the layout's items, and removing 1,700
// rows of 3,000 one by one looked at millions of items.
void ComposeDraftPane::placeRows(const QList<ComposeEntryRow*>& order, const QList<ComposeEntryRow*>& gone)
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
    discardRows(gone);
    for (qsizetype i = head; i < order.size() - tail; ++i) {
        // Every row is the list's child already: it only takes its place.
        listLayout_->insertItem(int(i), new QWidgetItemV2(order[i]));
    }
    // New rows are laid out while still hidden (they keep their place in the layout), and shown
    // in their place: a row resized once shown is painted anew wherever it lies, and 1,700 such
    // rows took Qt's painting hundreds of milliseconds to sort out. While they are shown the
    // layout waits: each row shown in the visible list would lay out the whole list again, which
    // for 1,700 rows added to 1,300 took 14 s.
    listLayout_->activate();
    listLayout_->setEnabled(false);
    for (qsizetype i = head; i < order.size() - tail; ++i)
        order[i]->show();
    listLayout_->setEnabled(true);
    listLayout_->activate();
}

// Rows are deleted, not hidden first: hiding each and deleting it at the next turn of the event loop
// told an accessibility client about every row twice. Many rows (a cleanup, a reduction, captures
// deleted in the library) are put out of sight at once and deleted a slice at a time in the turns
// that follow, so that the window answers between slices: deleting 1,700 rows while a screen
// reader listened kept it from answering for over 100 ms. The row a drag started from stays until
// the drag has ended.
void ComposeDraftPane::discardRows(const QList<ComposeEntryRow*>& rows)
{
    constexpr qsizetype deletedAtOnce = 64;
    const bool many = rows.size() > deletedAtOnce;
    for (ComposeEntryRow* row : rows) {
        if (row == draggedRow_) {
            row->hide();
            discarded_.append(row);
        } else if (many && !mayBeBusy(*row)) {
            // Moved clear of the list: far cheaper than hiding, which repaints and tells an
            // accessibility client about the row and each of its parts.
            row->move(-row->width(), -row->height());
            leaving_.append(row);
        } else {
            deleteRow(row);
        }
    }
    if (!leaving_.isEmpty())
        leavingTimer_.start();
}

void ComposeDraftPane::deleteLeavingRows()
{
    constexpr qint64 sliceMs = 8;
    QElapsedTimer slice;
    slice.start();
    while (!leaving_.isEmpty() && !slice.hasExpired(sliceMs))
        deleteRow(leaving_.takeLast());
    if (leaving_.isEmpty())
        leavingTimer_.stop();
}

// A row that may be in the middle of something is hidden (which hands the keyboard focus on) and
// deleted once that has ended: a row whose menu is open or running its action, the row holding
// the focus, and every row while an event loop runs inside another.
bool ComposeDraftPane::mayBeBusy(const ComposeEntryRow& row)
{
    return QThread::currentThread()->loopLevel() > 1 || row.findChild<QMenu*>(QString(), Qt::FindDirectChildrenOnly)
        || row.isAncestorOf(QApplication::focusWidget());
}

void ComposeDraftPane::deleteRow(ComposeEntryRow* row)
{
    if (mayBeBusy(*row)) {
        row->hide();
        row->deleteLater();
    } else {
        delete row;
    }
}

void ComposeDraftPane::showNotice()
{
    const std::optional<QString>& notice = session_.notice();
    const bool shows = notice && !notice->isEmpty();
    noticeSymbol_->setSymbol(shows ? QStringLiteral("info.circle") : QStringLiteral("scissors"),
                             shows ? &ThemeColors::secondaryLabel : &ThemeColors::tertiaryLabel);
    noticeText_->setFullText(shows ? *notice : QStringLiteral("Trimmed text changes only this prompt."));
    const ThemeColors colors = Theme::colors(palette());
    Controls::tint(*noticeText_, shows ? colors.secondaryLabel : colors.tertiaryLabel);
}

void ComposeDraftPane::beginTrim(const QUuid& entryID)
{
    if (sheetUp())
        return;
    const std::optional<QString> body = session_.entryBody(entryID);
    if (!body)
        return;
    // The text first, then the entry: naming the entry is what opens the sheet.
    editingText_ = *body;
    editingEntryID_ = entryID;
    auto* sheet = new EntryTrimSheet(session_.profile(), editingText_, this);
    trimSheet_ = sheet;
    connect(sheet, &EntryTrimSheet::textEdited, this, [this](const QString& text) { editingText_ = text; });
    connect(sheet, &ComposerSheet::mainClicked, this, [this, sheet] { applyTrim(*sheet); });
    // However it closes, the next trim may be of another entry; the text stays as it was.
    connect(sheet, &QDialog::finished, this, [this] { editingEntryID_.reset(); });
    present(*sheet);
}

void ComposeDraftPane::applyTrim(EntryTrimSheet& sheet)
{
    if (editingEntryID_)
        session_.applyTrim(*editingEntryID_, editingText_);
    editingEntryID_.reset();
    sheet.accept();
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

// The sheet stays, with its text, when nothing was added.
void ComposeDraftPane::addImported()
{
    if (!session_.addImported(importText_))
        return;
    importText_.clear();
    if (importSheet_)
        importSheet_->accept();
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

// The name typed stays for the next opening.
void ComposeDraftPane::saveTemplate()
{
    if (session_.saveTemplate(newTemplateName_) && templateSheet_)
        templateSheet_->accept();
}

QMenu* ComposeDraftPane::makeTemplateMenu()
{
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    const auto addTemplate = [&](const PromptTemplate& t) {
        QAction* item = menu->addAction(MenuItemText::of(t.name), this, [this, t] { session_.applyTemplate(t); });
        item->setData(t.id);
    };
    for (const PromptTemplate& t : PromptTemplates::builtins())
        addTemplate(t);
    const QList<PromptTemplate> custom = session_.customTemplates();
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
    DraftSession* session = &session_;
    QAction* duplicates = menu->addAction(Symbols::icon(QStringLiteral("scissors.badge.ellipsis"), ink),
                                          QStringLiteral("Remove Duplicates"), this,
                                          [session] { session->removeDuplicates(); });
    QAction* excluded = menu->addAction(Symbols::icon(QStringLiteral("trash"), ink),
                                        QStringLiteral("Remove Excluded Sources"), this,
                                        [session] { session->removeExcludedSources(); });
    duplicates->setEnabled(session_.canRemoveDuplicates());
    excluded->setEnabled(session_.canRemoveExcludedSources());
    return menu;
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
    if (session_.draggedEntryID() || !row)
        return;
    auto* drag = new QDrag(this);
    drag->setMimeData(IdDrag::mimeData(UuidText::format(entryID)));
    drag->setPixmap(row->grab());
    drag->setHotSpot(row->grip()->geometry().center());
    session_.setDraggedEntryID(entryID);
    draggedRow_ = row;
    const QPointer<ComposeDraftPane> alive(this);
    const QPointer<QDrag> running(drag);
    runDrag_(*drag);
    if (running)
        running->deleteLater();
    if (!alive)
        return;
    session_.setDraggedEntryID(std::nullopt);
    draggedRow_ = nullptr;
    for (ComposeEntryRow* discarded : std::exchange(discarded_, {}))
        discarded->deleteLater();
}

} // namespace vellicord
