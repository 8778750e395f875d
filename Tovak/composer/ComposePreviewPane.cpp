#include "Tovak/composer/ComposePreviewPane.h"

#include "Tovak/composer/TokenBudgetMeter.h"
#include "Tovak/kit/Controls.h"
#include "Tovak/kit/Divider.h"
#include "Tovak/kit/SymbolLabel.h"
#include "Tovak/kit/Symbols.h"
#include "Tovak/kit/TextBinding.h"
#include "Tovak/kit/TextStyles.h"
#include "Tovak/kit/Theme.h"
#include "Tovak/kit/ToggleSwitch.h"
#include "core/capture/Clipboard.h"
#include "core/composition/ContextComposer.h"
#include "core/foundation/Text.h"
#include "core/library/AppLog.h"
#include "core/library/ComposerTemplate.h"
#include "core/library/ModelProfile.h"
#include "core/library/Store.h"
#include "platform/FileSystem.h"
#include "platform/Scheduler.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPainter>
#include <QPainterPath>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace vellicord {

namespace {

constexpr int inset = 14;

// The text sits on the text background in a rounded box outlined by a hairline. The editor is
// inset far enough that its square corners stay inside the rounded outline.
class PreviewFrame final : public QWidget {
public:
    explicit PreviewFrame(QWidget* parent)
        : QWidget(parent)
    {
        auto* layout = new QVBoxLayout(this);
        layout->setContentsMargins(3, 3, 3, 3);
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        QPainterPath box;
        box.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), 6, 6);
        painter.fillPath(box, palette().color(QPalette::Base));
        painter.setPen(QPen(Theme::colors(palette()).separator, 1));
        painter.drawPath(box);
    }
};

QWidget* padded(QWidget* content, QWidget* parent, QMargins margins = {inset, 0, inset, 0})
{
    auto* frame = new QWidget(parent);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(margins);
    layout->addWidget(content);
    return frame;
}

QLabel* plainLabel(const QString& text, const QFont& font, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    return label;
}

} // namespace

const QString ComposePreviewPane::generatedCaption
    = QStringLiteral("Edit any text here. Edits are saved only in this prompt.");
const QString ComposePreviewPane::editedCaption = QStringLiteral(
    "Edited preview · saved only in this prompt. Task, source, template, and preamble changes apply after reset.");
const QString ComposePreviewPane::exportFailedText = QStringLiteral("Prompt could not be exported.");
const QString ComposePreviewPane::copyFailedText = QStringLiteral("The messages could not be copied to the clipboard.");

ComposePreviewPane::ComposePreviewPane(ViewServices services, const QUuid& draftID, bool usePreamble, QWidget* parent)
    : QWidget(parent)
    , services_(std::move(services))
    , draftID_(draftID)
    , usePreamble_(usePreamble)
{
    setObjectName(QStringLiteral("ComposePreviewPane"));
    pages_ = new QStackedWidget(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pages_);
    content_ = buildContent();
    pages_->addWidget(content_);
    nothing_ = plainLabel(QStringLiteral("Nothing to preview"), font(), pages_);
    nothing_->setAlignment(Qt::AlignCenter);
    pages_->addWidget(nothing_);

    // Copying is the pane's main action, reached from anywhere in its window while the pane is
    // on screen, as the button's own shortcut would be.
    auto* copy = new QAction(QStringLiteral("Copy Prompt"), this);
    copy->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    copy->setShortcutContext(Qt::WindowShortcut);
    connect(copy, &QAction::triggered, this, &ComposePreviewPane::copyPrompt);
    addAction(copy);

    Store& store = services_.store;
    connect(&store, &Store::draftsChanged, this, &ComposePreviewPane::scheduleRefresh);
    connect(&store, &Store::persistenceStatusChanged, this, &ComposePreviewPane::scheduleRefresh);
    connect(&store, &Store::selectionsChanged, this, [this](const Store::SelectionsChange& change) {
        // Captures changed in place changed their groups only, which no prompt shows.
        if (!change.added.isEmpty() || !change.removed.isEmpty())
            scheduleRefresh();
    });
    applyColors();
    refresh();
    chooseForm();
}

ComposePreviewPane::~ComposePreviewPane() = default;

QWidget* ComposePreviewPane::buildContent()
{
    auto* content = new QWidget(this);
    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(10);
    header_ = plainLabel(QStringLiteral("Preview"), TextStyles::headline(), content);
    column->addWidget(padded(header_, content, {inset, inset, inset, 0}));
    column->addWidget(padded(buildCaptionRow(content), content));
    controls_ = buildControls(content);
    column->addWidget(padded(controls_, content, {inset, 2, inset, 0}));
    meter_ = new TokenBudgetMeter(content);
    connect(meter_->reduceButton(), &QPushButton::clicked, this, &ComposePreviewPane::reduceToFit);
    connect(meter_->splitButton(), &QPushButton::clicked, this, &ComposePreviewPane::copySplit);
    column->addWidget(padded(meter_, content));
    column->addWidget(new Divider(content));
    column->addWidget(padded(buildPreview(content), content), 1);
    column->addWidget(new Divider(content));
    column->addWidget(padded(buildActions(content), content, {inset, inset - 10, inset, inset}));
    return content;
}

QWidget* ComposePreviewPane::buildCaptionRow(QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    caption_ = plainLabel(QString(), TextStyles::caption(), row);
    caption_->setObjectName(QStringLiteral("PreviewCaption"));
    caption_->setWordWrap(true);
    secondaryLabels_.append(caption_);
    layout->addWidget(caption_, 1, Qt::AlignTop);
    reset_ = Controls::button(QStringLiteral("Reset…"), Controls::Size::small, row);
    reset_->setToolTip(QStringLiteral("Replace your preview edits with generated text"));
    connect(reset_, &QPushButton::clicked, this, &ComposePreviewPane::confirmReset);
    layout->addWidget(reset_, 0, Qt::AlignTop);
    return row;
}

QComboBox* ComposePreviewPane::makeTemplatePicker(QWidget* parent)
{
    auto* picker = new QComboBox(parent);
    picker->setAccessibleName(QStringLiteral("Template"));
    for (ComposerTemplate layout : ComposerTemplates::allCases()) {
        const QString raw = ComposerTemplates::rawValue(layout);
        picker->addItem(raw, raw);
    }
    connect(picker, &QComboBox::activated, this, [this, picker](int index) {
        const QString raw = picker->itemData(index).toString();
        change([&](ContextDraft& draft) { draft.templateName = raw; });
    });
    return picker;
}

QComboBox* ComposePreviewPane::makeModelPicker(QWidget* parent)
{
    auto* picker = new QComboBox(parent);
    picker->setAccessibleName(QStringLiteral("Model"));
    for (const ModelProfile& profile : ModelProfile::all())
        picker->addItem(profile.name, profile.id);
    connect(picker, &QComboBox::activated, this, [this, picker](int index) {
        const QString id = picker->itemData(index).toString();
        change([&](ContextDraft& draft) { draft.modelProfileID = id; });
    });
    return picker;
}

ComposePreviewPane::Form ComposePreviewPane::buildWideForm(QWidget* parent)
{
    Form form;
    form.container = new QWidget(parent);
    form.container->setObjectName(QStringLiteral("WideControls"));
    auto* row = new QHBoxLayout(form.container);
    row->setContentsMargins(0, 0, 0, 0);
    row->setSpacing(12);
    const auto field = [&](const QString& title, int width, QWidget* control) {
        auto* box = new QWidget(form.container);
        box->setFixedWidth(width);
        auto* stack = new QVBoxLayout(box);
        stack->setContentsMargins(0, 0, 0, 0);
        stack->setSpacing(3);
        QLabel* label = plainLabel(title, TextStyles::caption(), box);
        secondaryLabels_.append(label);
        stack->addWidget(label);
        control->setParent(box);
        stack->addWidget(control);
        row->addWidget(box, 0, Qt::AlignBottom);
        return box;
    };
    form.templatePicker = makeTemplatePicker(form.container);
    form.templateField = field(QStringLiteral("Template"), 130, form.templatePicker);
    form.modelPicker = makeModelPicker(form.container);
    field(QStringLiteral("Model"), 170, form.modelPicker);
    auto* preamble = new QCheckBox(QStringLiteral("Preamble"), form.container);
    preamble->setToolTip(QStringLiteral("Prepend the grounding instruction"));
    form.preamble = preamble;
    row->addWidget(preamble, 0, Qt::AlignBottom);
    row->addStretch(1);
    return form;
}

ComposePreviewPane::Form ComposePreviewPane::buildNarrowForm(QWidget* parent)
{
    Form form;
    form.container = new QWidget(parent);
    form.container->setObjectName(QStringLiteral("NarrowControls"));
    form.container->setFont(TextStyles::callout());
    auto* grid = new QGridLayout(form.container);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(10);
    grid->setVerticalSpacing(8);
    const QString titles[] = {QStringLiteral("Template"), QStringLiteral("Model"), QStringLiteral("Preamble")};
    for (int row = 0; row < 3; ++row) {
        QLabel* label = plainLabel(titles[row], TextStyles::callout(), form.container);
        secondaryLabels_.append(label);
        grid->addWidget(label, row, 0, Qt::AlignLeft | Qt::AlignVCenter);
    }
    form.templatePicker = makeTemplatePicker(form.container);
    form.templateField = form.templatePicker;
    grid->addWidget(form.templatePicker, 0, 1);
    form.modelPicker = makeModelPicker(form.container);
    grid->addWidget(form.modelPicker, 1, 1);
    auto* preamble = new ToggleSwitch(form.container);
    preamble->setAccessibleName(QStringLiteral("Include grounding instruction"));
    preamble->setToolTip(QStringLiteral("Prepend the grounding instruction"));
    form.preamble = preamble;
    grid->addWidget(preamble, 2, 1, Qt::AlignLeft | Qt::AlignVCenter);
    grid->setColumnStretch(1, 1);
    return form;
}

QWidget* ComposePreviewPane::buildControls(QWidget* parent)
{
    auto* controls = new QWidget(parent);
    auto* layout = new QVBoxLayout(controls);
    layout->setContentsMargins(0, 0, 0, 0);
    wide_ = buildWideForm(controls);
    narrow_ = buildNarrowForm(controls);
    layout->addWidget(wide_.container);
    layout->addWidget(narrow_.container);
    for (QAbstractButton* toggle : {wide_.preamble, narrow_.preamble})
        connect(toggle, &QAbstractButton::clicked, this, [this](bool checked) { setUsePreamble(checked); });
    return controls;
}

QWidget* ComposePreviewPane::buildPreview(QWidget* parent)
{
    auto* frame = new PreviewFrame(parent);
    editor_ = new QPlainTextEdit(frame);
    editor_->setObjectName(QStringLiteral("PromptPreview"));
    editor_->setFrameShape(QFrame::NoFrame);
    editor_->setFont(TextStyles::monospaced(12));
    editor_->document()->setDocumentMargin(5);
    editor_->setTabChangesFocus(true);
    frame->layout()->addWidget(editor_);
    binding_ = new TextBinding(
        *editor_, [this](const QString& text) { change([&](ContextDraft& draft) { draft.previewText = text; }); });
    return frame;
}

QWidget* ComposePreviewPane::buildActions(QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(10);
    copy_ = Controls::prominentButton(QStringLiteral("Copy Prompt"), row);
    copy_->setObjectName(QStringLiteral("CopyPrompt"));
    copy_->setToolTip(QStringLiteral("Copy the prompt (Ctrl+Shift+C)"));
    connect(copy_, &QPushButton::clicked, this, &ComposePreviewPane::copyPrompt);
    layout->addWidget(copy_);
    export_ = Controls::button(QStringLiteral("Export"), Controls::Size::regular, row);
    export_->setObjectName(QStringLiteral("ExportPrompt"));
    connect(export_, &QPushButton::clicked, this, &ComposePreviewPane::exportPrompt);
    layout->addWidget(export_);
    exportWarning_
        = new SymbolLabel(QStringLiteral("exclamationmark.triangle"), QString(), TextStyles::caption(), QColor(), row);
    exportWarning_->setObjectName(QStringLiteral("ExportWarning"));
    exportWarning_->hide();
    // The warning takes the rest of the row while it shows: a wrapping label asks for little
    // width and would otherwise break its one short line.
    layout->addWidget(exportWarning_, 1);
    layout->addStretch(0);
    showCopyButton();
    return row;
}

void ComposePreviewPane::applyColors()
{
    const ThemeColors colors = Theme::colors(palette());
    Controls::tint(*nothing_, colors.secondaryLabel);
    for (QLabel* label : std::as_const(secondaryLabels_))
        Controls::tint(*label, colors.secondaryLabel);
    exportWarning_->setColor(colors.orange);
    export_->setIcon(Symbols::icon(QStringLiteral("square.and.arrow.down"), palette().color(QPalette::ButtonText)));
    showCopyButton();
}

void ComposePreviewPane::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange && copy_)
        applyColors();
    QWidget::changeEvent(event);
}

void ComposePreviewPane::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    chooseForm();
}

// The row of captioned fields when it fits the pane's width, else the grid of labelled rows.
void ComposePreviewPane::chooseForm()
{
    const bool wide = width() >= wide_.container->sizeHint().width() + 2 * inset;
    if (wide == !wide_.container->isHidden() && narrow_.container->isHidden() == wide)
        return;
    wide_.container->setVisible(wide);
    narrow_.container->setVisible(!wide);
}

bool ComposePreviewPane::showsWideControls() const
{
    return !wide_.container->isHidden();
}

const ComposePreviewPane::Form& ComposePreviewPane::shownForm() const
{
    return showsWideControls() ? wide_ : narrow_;
}

QWidget* ComposePreviewPane::templateField() const
{
    return shownForm().templateField;
}

QComboBox* ComposePreviewPane::templatePicker() const
{
    return shownForm().templatePicker;
}

QComboBox* ComposePreviewPane::modelPicker() const
{
    return shownForm().modelPicker;
}

QAbstractButton* ComposePreviewPane::preambleToggle() const
{
    return shownForm().preamble;
}

bool ComposePreviewPane::showsDraft() const
{
    return pages_->currentWidget() == content_;
}

QString ComposePreviewPane::shownText() const
{
    return binding_->text();
}

bool ComposePreviewPane::showsExportWarning() const
{
    return !exportWarning_->isHidden();
}

QString ComposePreviewPane::exportWarningText() const
{
    return exportWarning_->text();
}

void ComposePreviewPane::scheduleRefresh()
{
    if (refreshPending_)
        return;
    refreshPending_ = true;
    QMetaObject::invokeMethod(this, &ComposePreviewPane::refresh, Qt::QueuedConnection);
}

std::optional<QString> ComposePreviewPane::preamble() const
{
    return usePreamble_ ? std::optional<QString>(ContextComposer::defaultPreamble()) : std::nullopt;
}

// Composes the prompt anew: the text is never kept from one change of the library to the next.
void ComposePreviewPane::refresh()
{
    refreshPending_ = false;
    const std::optional<ContextDraft> draft = services_.store.findDraft(draftID_);
    if (!draft) {
        composed_.reset();
        pages_->setCurrentWidget(nothing_);
        return;
    }
    const ModelProfile& profile = draft->modelProfile();
    composed_ = ContextComposer::compose(*draft, services_.store.draftSelections(*draft), preamble(), profile,
                                         std::nullopt, true);
    const bool edited = draft->previewText.has_value();
    const bool writable = services_.store.canModifyLibrary();
    pages_->setCurrentWidget(content_);
    caption_->setText(edited ? editedCaption : generatedCaption);
    reset_->setVisible(edited);
    reset_->setEnabled(writable);
    showControls(*draft, edited, writable);
    meter_->setMeasure(composed_->tokens, profile.contextTokens, !edited, writable);
    // The text stays selectable and copyable while the library cannot be changed.
    editor_->setReadOnly(!writable);
    editor_->setTextInteractionFlags(writable ? Qt::TextEditorInteraction
                                              : Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    editor_->setAccessibleName(writable ? QStringLiteral("Prompt preview")
                                        : QStringLiteral("Prompt preview, read only"));
    binding_->show(composed_->text);
}

void ComposePreviewPane::showControls(const ContextDraft& draft, bool edited, bool writable)
{
    controls_->setEnabled(writable);
    const std::optional<ComposerTemplate> layout = ComposerTemplates::fromRawValue(draft.templateName);
    const int templateIndex = layout ? int(ComposerTemplates::allCases().indexOf(*layout)) : -1;
    int modelIndex = -1;
    for (int i = 0; i < ModelProfile::all().size(); ++i) {
        if (ModelProfile::all()[i].id == draft.modelProfileID)
            modelIndex = i;
    }
    for (const Form* form : {&wide_, &narrow_}) {
        // An unknown layout or model shows no choice, though it composes as Sections and gpt-4o.
        form->templatePicker->setCurrentIndex(templateIndex);
        form->modelPicker->setCurrentIndex(modelIndex);
        form->templateField->setEnabled(!edited);
        form->preamble->setEnabled(!edited);
        form->preamble->setChecked(usePreamble_);
    }
}

ComposedContext ComposePreviewPane::composed()
{
    if (refreshPending_ || !composed_)
        refresh();
    return composed_.value_or(ComposedContext{});
}

void ComposePreviewPane::setUsePreamble(bool use)
{
    if (usePreamble_ == use)
        return;
    usePreamble_ = use;
    refresh();
    Q_EMIT usePreambleChanged();
}

void ComposePreviewPane::change(const std::function<void(ContextDraft&)>& edit)
{
    std::optional<ContextDraft> draft = services_.store.findDraft(draftID_);
    if (!draft)
        return;
    edit(*draft);
    services_.store.updateDraft(*draft);
}

void ComposePreviewPane::confirmReset()
{
    if (resetConfirmation_)
        return;
    auto* box = new QMessageBox(this);
    box->setAttribute(Qt::WA_DeleteOnClose);
    box->setWindowTitle(QStringLiteral("Reset Preview"));
    box->setText(QStringLiteral("Replace your preview edits with generated text?"));
    box->setInformativeText(
        QStringLiteral("This removes your preview edits from this prompt. The library passages stay unchanged."));
    QPushButton* reset = box->addButton(QStringLiteral("Reset to Generated Text"), QMessageBox::DestructiveRole);
    box->addButton(QMessageBox::Cancel);
    box->setDefaultButton(QMessageBox::Cancel);
    connect(box, &QMessageBox::buttonClicked, this, [this, reset](QAbstractButton* clicked) {
        if (clicked == reset)
            resetToGenerated();
    });
    resetConfirmation_ = box;
    services_.runModal(*box);
}

void ComposePreviewPane::resetToGenerated()
{
    change([](ContextDraft& draft) { draft.previewText.reset(); });
}

void ComposePreviewPane::setBudgetFeedback(const QString& feedback)
{
    budgetFeedback_ = feedback;
    if (budgetAlert_) {
        budgetAlert_->setInformativeText(feedback);
        return;
    }
    auto* alert = new QMessageBox(this);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowTitle(QStringLiteral("Token budget"));
    alert->setText(QStringLiteral("Token budget"));
    alert->setInformativeText(feedback);
    alert->setStandardButtons(QMessageBox::Ok);
    // However the alert goes (its button, Escape, the window's close button), the feedback goes.
    connect(alert, &QDialog::finished, this, [this] { budgetFeedback_.reset(); });
    budgetAlert_ = alert;
    services_.runModal(*alert);
}

void ComposePreviewPane::showCopyButton()
{
    copy_->setText(showCopied_ ? QStringLiteral("Copied") : QStringLiteral("Copy Prompt"));
    copy_->setIcon(Symbols::icon(showCopied_ ? QStringLiteral("checkmark.circle") : QStringLiteral("doc.on.clipboard"),
                                 Qt::white));
}

void ComposePreviewPane::setShowCopied(bool shown)
{
    if (showCopied_ == shown)
        return;
    showCopied_ = shown;
    showCopyButton();
    Q_EMIT showCopiedChanged();
}

// Each copy has its own wait, never restarted or cancelled: the first to run out ends the state.
void ComposePreviewPane::flashCopied()
{
    setShowCopied(true);
    services_.scheduler.after(copiedDuration, [pane = QPointer<ComposePreviewPane>(this)] {
        if (pane)
            pane->setShowCopied(false);
    });
}

void ComposePreviewPane::copyPrompt()
{
    if (!services_.store.findDraft(draftID_))
        return;
    const QString text = composed().text;
    // Writing the clipboard may run the event loop a moment, in which the pane may go.
    const QPointer<ComposePreviewPane> alive(this);
    const bool copied = Clipboard::writePlain(text, services_.pasteboard);
    if (alive && copied)
        flashCopied();
}

void ComposePreviewPane::reduceToFit()
{
    const std::optional<ContextDraft> draft = services_.store.findDraft(draftID_);
    if (!draft)
        return;
    const ModelProfile& profile = draft->modelProfile();
    const ContextComposer::Reduction reduction = ContextComposer::reduceToFit(
        *draft, services_.store.draftSelections(*draft), profile, profile.contextTokens, preamble());
    if (reduction.entries != draft->entries)
        change([&](ContextDraft& fresh) { fresh.entries = reduction.entries; });
    setBudgetFeedback(reduction.feedback.join(u' '));
}

void ComposePreviewPane::copySplit()
{
    const std::optional<ContextDraft> draft = services_.store.findDraft(draftID_);
    if (!draft)
        return;
    const ModelProfile& profile = draft->modelProfile();
    const SplitCopyPlan plan = ContextComposer::planSplitCopy(*draft, services_.store.draftSelections(*draft),
                                                              preamble(), profile, profile.contextTokens);
    if (!plan.clipboardText) {
        setShowCopied(false);
        setBudgetFeedback(plan.notice);
        return;
    }
    const QPointer<ComposePreviewPane> alive(this);
    const bool copied = Clipboard::writePlain(*plan.clipboardText, services_.pasteboard);
    if (!alive)
        return;
    if (!copied) {
        setShowCopied(false);
        setBudgetFeedback(copyFailedText);
        return;
    }
    setBudgetFeedback(QStringLiteral("Copied %1 messages to the clipboard. ").arg(plan.messages.size()) + plan.notice);
    flashCopied();
}

void ComposePreviewPane::exportPrompt()
{
    const std::optional<ContextDraft> draft = services_.store.findDraft(draftID_);
    if (!draft || !services_.chooseSaveFile)
        return;
    const QString text = composed().text;
    services_.chooseSaveFile(*this,
                             ViewServices::SaveFileRequest{
                                 .title = QStringLiteral("Export Prompt"),
                                 .suggestedName = safeFileName(draft->name) + QStringLiteral(".md"),
                                 .nameFilters = {QStringLiteral("Plain text (*.md *.txt)")},
                                 .defaultSuffix = QStringLiteral("md"),
                             },
                             [this, text](const std::optional<QString>& path) {
                                 if (path)
                                     writeExport(*path, text);
                             });
}

void ComposePreviewPane::writeExport(const QString& path, const QString& text)
{
    try {
        // Whole or not at all: an existing file keeps its old content when any step fails.
        services_.fileSystem.writeAtomically(path, Text::repairingSurrogates(text).toUtf8(), NewFileAccess::everyone);
    } catch (const std::exception& error) {
        logApp(QStringLiteral("Prompt export failed: ") + QString::fromLocal8Bit(error.what()));
        setExportError(exportFailedText);
        return;
    }
    setExportError(std::nullopt);
}

void ComposePreviewPane::setExportError(const std::optional<QString>& error)
{
    if (exportError_ == error)
        return;
    exportError_ = error;
    exportWarning_->setText(error.value_or(QString()));
    exportWarning_->setVisible(error.has_value());
    Q_EMIT exportErrorChanged();
}

QString ComposePreviewPane::safeFileName(const QString& name)
{
    QString stem;
    stem.reserve(name.size());
    Text::forEachGrapheme(name, [&](QStringView character) {
        const char32_t first = character.size() > 1 && character[0].isHighSurrogate() && character[1].isLowSurrogate()
            ? QChar::surrogateToUcs4(character[0], character[1])
            : character[0].unicode();
        const bool kept = QChar::isLetter(first) || QChar::isNumber(first) || character == u"-" || character == u"_"
            || character == u" ";
        if (kept)
            stem += character;
        else
            stem += u'-';
    });
    stem = Text::trimmed(stem);
    return stem.isEmpty() ? QStringLiteral("prompt") : stem;
}

} // namespace vellicord
