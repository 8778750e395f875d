#include "Tovak/composer/ComposePreviewPane.h"

#include "Tovak/composer/TokenBudgetMeter.h"
#include "Tovak/kit/Controls.h"
#include "Tovak/kit/Divider.h"
#include "Tovak/kit/EditorFrame.h"
#include "Tovak/kit/SymbolLabel.h"
#include "Tovak/kit/Symbols.h"
#include "Tovak/kit/TextBinding.h"
#include "Tovak/kit/TextStyles.h"
#include "Tovak/kit/Theme.h"
#include "Tovak/kit/ToggleSwitch.h"
#include "Tovak/kit/WrappingTextLayout.h"
#include "core/library/ComposerTemplate.h"
#include "core/library/ModelProfile.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QEvent>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace vellicord {

namespace {

constexpr int inset = 14;

const QString generatedCaption = QStringLiteral("Edit any text here. Edits are saved only in this prompt.");
const QString editedCaption = QStringLiteral(
    "Edited preview · saved only in this prompt. Task, source, template, and preamble changes apply after reset.");

// Every section stands in from the pane's sides.
constexpr QMargins sides{inset, 0, inset, 0};

} // namespace

ComposePreviewPane::ComposePreviewPane(ViewServices services, DraftSession& session, QWidget* parent)
    : QWidget(parent)
    , services_(std::move(services))
    , session_(session)
{
    setObjectName(QStringLiteral("ComposePreviewPane"));
    pages_ = new QStackedWidget(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pages_);
    content_ = buildContent();
    pages_->addWidget(content_);
    nothing_ = Controls::plainLabel(QStringLiteral("Nothing to preview"), font(), pages_);
    nothing_->setAlignment(Qt::AlignCenter);
    pages_->addWidget(nothing_);

    // Copying is the pane's main action, reached from anywhere in its window while the pane is
    // on screen, as the button's own shortcut would be.
    auto* copy = new QAction(QStringLiteral("Copy Prompt"), this);
    copy->setShortcut(QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_C));
    copy->setShortcutContext(Qt::WindowShortcut);
    connect(copy, &QAction::triggered, &session_, &DraftSession::copyPrompt);
    addAction(copy);

    connect(&session_, &DraftSession::changed, this, &ComposePreviewPane::sessionChanged);
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
    header_ = Controls::plainLabel(QStringLiteral("Preview"), TextStyles::headline(), content);
    column->addWidget(Controls::padded(header_, {inset, inset, inset, 0}, content));
    column->addWidget(Controls::padded(buildCaptionRow(content), sides, content));
    controls_ = buildControls(content);
    column->addWidget(Controls::padded(controls_, {inset, 2, inset, 0}, content));
    meter_ = new TokenBudgetMeter(content);
    connect(meter_->reduceButton(), &QPushButton::clicked, this,
            [this] { showBudgetFeedback(session_.reduceToFit()); });
    connect(meter_->splitButton(), &QPushButton::clicked, this, [this] {
        // Writing the clipboard may run the event loop a moment, in which the composer may go.
        const QPointer<ComposePreviewPane> alive(this);
        const QString feedback = session_.copySplit();
        if (alive)
            showBudgetFeedback(feedback);
    });
    column->addWidget(Controls::padded(meter_, sides, content));
    column->addWidget(new Divider(content));
    column->addWidget(Controls::padded(buildPreview(content), sides, content), 1);
    column->addWidget(new Divider(content));
    column->addWidget(Controls::padded(buildActions(content), {inset, inset - 10, inset, inset}, content));
    return content;
}

QWidget* ComposePreviewPane::buildCaptionRow(QWidget* parent)
{
    auto* row = new QWidget(parent);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(0, 0, 0, 0);
    caption_ = Controls::plainLabel(QString(), TextStyles::caption(), row);
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
        session_.change([&](ContextDraft& draft) { draft.templateName = raw; });
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
        session_.change([&](ContextDraft& draft) { draft.modelProfileID = id; });
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
        QLabel* label = Controls::plainLabel(title, TextStyles::caption(), box);
        secondaryLabels_.append(label);
        stack->addWidget(label);
        control->setParent(box);
        // A screen reader names a picker by its label: the toolkit tells its choice as its name.
        label->setBuddy(control);
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
    const QString titles[] = {QStringLiteral("Template"), QStringLiteral("Model"), QStringLiteral("Preamble")};
    QWidget* const controls[] = {form.templatePicker, form.modelPicker, preamble};
    for (int row = 0; row < 3; ++row) {
        QLabel* label = Controls::plainLabel(titles[row], TextStyles::callout(), form.container);
        secondaryLabels_.append(label);
        label->setBuddy(controls[row]);
        grid->addWidget(label, row, 0, Qt::AlignLeft | Qt::AlignVCenter);
    }
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
        connect(toggle, &QAbstractButton::clicked, &session_, &DraftSession::setUsePreamble);
    return controls;
}

QWidget* ComposePreviewPane::buildPreview(QWidget* parent)
{
    editor_ = new QPlainTextEdit(parent);
    WrappingTextLayout::install(*editor_);
    editor_->setObjectName(QStringLiteral("PromptPreview"));
    editor_->setFont(TextStyles::monospaced(12));
    editor_->document()->setDocumentMargin(5);
    editor_->setTabChangesFocus(true);
    auto* frame = new EditorFrame(editor_, parent);
    binding_ = new TextBinding(*editor_, [this](const QString& text) {
        session_.change([&](ContextDraft& draft) { draft.previewText = text; });
    });
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
    connect(copy_, &QPushButton::clicked, &session_, &DraftSession::copyPrompt);
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

QString ComposePreviewPane::shownText() const
{
    return binding_->text();
}

void ComposePreviewPane::sessionChanged(DraftSession::Changes what)
{
    using Change = DraftSession::Change;
    if (what & (Change::draft | Change::captures | Change::library | Change::preamble))
        refresh();
    if (what & Change::copied)
        showCopyButton();
    if (what & Change::exportError)
        showExportError();
}

void ComposePreviewPane::refresh()
{
    const std::optional<ContextDraft>& draft = session_.draft();
    if (!draft) {
        pages_->setCurrentWidget(nothing_);
        return;
    }
    const ComposedContext& composed = session_.composed();
    const ModelProfile& profile = draft->modelProfile();
    const bool edited = draft->previewText.has_value();
    const bool writable = session_.canModifyLibrary();
    pages_->setCurrentWidget(content_);
    caption_->setText(edited ? editedCaption : generatedCaption);
    reset_->setVisible(edited);
    reset_->setEnabled(writable);
    showControls(*draft, edited, writable);
    meter_->setMeasure(composed.tokens, profile.contextTokens, !edited, writable);
    // The text stays selectable and copyable while the library cannot be changed.
    editor_->setReadOnly(!writable);
    editor_->setTextInteractionFlags(writable ? Qt::TextEditorInteraction
                                              : Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard);
    editor_->setAccessibleName(writable ? QStringLiteral("Prompt preview")
                                        : QStringLiteral("Prompt preview, read only"));
    binding_->show(composed.text);
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
        form->preamble->setChecked(session_.usePreamble());
    }
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
            session_.change([](ContextDraft& draft) { draft.previewText.reset(); });
    });
    resetConfirmation_ = box;
    services_.runModal(*box);
}

void ComposePreviewPane::showBudgetFeedback(const QString& feedback)
{
    // An alert closed in this turn of the event loop is still there, on its way out.
    if (budgetAlert_ && budgetAlert_->isVisible()) {
        budgetAlert_->setInformativeText(feedback);
        return;
    }
    auto* alert = new QMessageBox(this);
    alert->setAttribute(Qt::WA_DeleteOnClose);
    alert->setWindowTitle(QStringLiteral("Token budget"));
    alert->setText(QStringLiteral("Token budget"));
    alert->setInformativeText(feedback);
    alert->setStandardButtons(QMessageBox::Ok);
    budgetAlert_ = alert;
    services_.runModal(*alert);
}

void ComposePreviewPane::showCopyButton()
{
    const bool copied = session_.showCopied();
    copy_->setText(copied ? QStringLiteral("Copied") : QStringLiteral("Copy Prompt"));
    copy_->setIcon(
        Symbols::icon(copied ? QStringLiteral("checkmark.circle") : QStringLiteral("doc.on.clipboard"), Qt::white));
}

void ComposePreviewPane::exportPrompt()
{
    const std::optional<QString> name = session_.exportFileName();
    if (!name || !services_.chooseSaveFile)
        return;
    const QString text = session_.promptText();
    services_.chooseSaveFile(*this,
                             ViewServices::SaveFileRequest{
                                 .title = QStringLiteral("Export Prompt"),
                                 .suggestedName = *name,
                                 .nameFilters = {QStringLiteral("Plain text (*.md *.txt)")},
                                 .defaultSuffix = QStringLiteral("md"),
                             },
                             [this, text](const std::optional<QString>& path) {
                                 if (path)
                                     session_.exportPrompt(*path, text);
                             });
}

void ComposePreviewPane::showExportError()
{
    const std::optional<QString>& error = session_.exportError();
    exportWarning_->setText(error.value_or(QString()));
    exportWarning_->setVisible(error.has_value());
}

} // namespace vellicord
