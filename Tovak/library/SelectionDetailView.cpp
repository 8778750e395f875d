#include "Tovak/library/SelectionDetailView.h"

#include "Tovak/kit/CappedLabel.h"
#include "Tovak/kit/Controls.h"
#include "Tovak/kit/DateStyles.h"
#include "Tovak/kit/Divider.h"
#include "Tovak/kit/DisplayTextMeasurer.h"
#include "Tovak/kit/FormSection.h"
#include "Tovak/kit/SymbolView.h"
#include "Tovak/kit/Symbols.h"
#include "Tovak/kit/TextBinding.h"
#include "Tovak/kit/TextStyles.h"
#include "Tovak/kit/Theme.h"
#include "Tovak/library/CaptureActions.h"
#include "Tovak/library/IconCache.h"
#include "Tovak/library/RichMarkdownView.h"
#include "core/capture/Clipboard.h"
#include "core/composition/SelectionsMarkdown.h"
#include "core/foundation/Text.h"
#include "core/richtext/MarkdownDisplay.h"
#include "platform/Scheduler.h"

#include <QEvent>
#include <QFontMetrics>
#include <QGridLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QMenu>
#include <QPainter>
#include <QPointer>
#include <QPushButton>
#include <QResizeEvent>
#include <QScrollArea>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace vellicord {

namespace {

constexpr int footerPadding = 10;

// A surface in one palette role: the window behind the inspector, the control background behind
// its footer.
class Surface final : public QWidget {
public:
    Surface(QPalette::ColorRole role, QWidget* parent)
        : QWidget(parent)
        , role_(role)
    {
    }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(rect(), palette().color(role_));
    }

private:
    QPalette::ColorRole role_;
};

QColor qColor(const RgbaColor& c)
{
    return QColor::fromRgbF(float(c.red), float(c.green), float(c.blue), float(c.alpha));
}

QPixmap groupDot(const QColor& color, qreal scale)
{
    QPixmap dot(QSize(8, 8) * scale);
    dot.setDevicePixelRatio(scale);
    dot.fill(Qt::transparent);
    QPainter painter(&dot);
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setPen(Qt::NoPen);
    painter.setBrush(color);
    painter.drawEllipse(QRectF(0, 0, 8, 8));
    return dot;
}

QPixmap applicationIcon(IconCache& icons, const Selection& selection, const QColor& symbolColor, qreal scale)
{
    QPixmap image(QSize(38, 38) * scale);
    image.setDevicePixelRatio(scale);
    image.fill(Qt::transparent);
    QPainter painter(&image);
    painter.setRenderHint(QPainter::Antialiasing);
    icons.paint(painter, QRect(0, 0, 38, 38), 8, selection.bundleID, selection.appName, symbolColor);
    return image;
}

// Changing a button's symbol lays the row out again; a symbol that did not change is left alone.
void setSymbol(QAbstractButton& button, const QString& symbol, const QColor& color)
{
    const QString key = symbol + u'|' + color.name(QColor::HexArgb);
    if (button.property("symbolKey").toString() == key)
        return;
    button.setProperty("symbolKey", key);
    // A prominent button's symbol is white on the accent, like its title.
    const bool prominent = button.property("prominent").toBool();
    button.setIcon(Symbols::icon(symbol, prominent ? QColor(Qt::white) : color));
}

void setTexts(QWidget& control, const QString& help, const QString& accessible)
{
    if (control.toolTip() != help)
        control.setToolTip(help);
    if (control.accessibleName() != accessible)
        control.setAccessibleName(accessible);
}

} // namespace

SelectionDetailView::SelectionDetailView(Services services, QLocale dateLocale, QTimeZone dateTimeZone, QWidget* parent)
    : QWidget(parent)
    , services_(services)
    , dateLocale_(std::move(dateLocale))
    , dateTimeZone_(std::move(dateTimeZone))
    , measurer_(std::make_unique<DisplayTextMeasurer>())
{
    setObjectName(QStringLiteral("SelectionDetailView"));
    setMinimumWidth(320);
    auto* background = new Surface(QPalette::Window, this);
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(background);
    auto* root = new QVBoxLayout(background);
    root->setContentsMargins(0, 0, 0, 0);
    root->setSpacing(0);
    root->addWidget(buildHeader());
    root->addWidget(new Divider(background));
    root->addWidget(buildBody(), 1);
    root->addWidget(new Divider(background));
    root->addWidget(buildFooter());

    Store& store = services_.store;
    connect(&store, &Store::selectionsChanged, this, &SelectionDetailView::reshowChangedCapture);
    connect(&store, &Store::groupsChanged, this, [this] {
        if (selection_)
            showGroups();
    });
    connect(&store, &Store::persistenceStatusChanged, this, &SelectionDetailView::showFooter);
    for (auto signal : {&Store::draftsChanged, &Store::activeDraftIDChanged})
        connect(&store, signal, this, [this] {
            if (selection_)
                showPrompt();
        });
    retint();
}

SelectionDetailView::~SelectionDetailView() = default;

QWidget* SelectionDetailView::buildHeader()
{
    auto* header = new QWidget(this);
    auto* layout = new QHBoxLayout(header);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(12);
    icon_ = new QLabel(header);
    icon_->setFixedSize(38, 38);
    layout->addWidget(icon_, 0, Qt::AlignVCenter);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(3);
    title_ = new CappedLabel(2, Qt::AlignLeft | Qt::AlignTop, header);
    title_->setObjectName(QStringLiteral("InspectorTitle"));
    title_->setFont(TextStyles::headline());
    texts->addWidget(title_);
    auto* sourceLine = new QHBoxLayout;
    sourceLine->setSpacing(4);
    sourceSymbol_ = new SymbolView(QStringLiteral("app"), 12, &ThemeColors::secondaryLabel, header);
    sourceLine->addWidget(sourceSymbol_, 0, Qt::AlignVCenter);
    source_ = new CappedLabel(1, Qt::AlignLeft | Qt::AlignVCenter, header);
    source_->setObjectName(QStringLiteral("InspectorSource"));
    source_->setElideMode(Qt::ElideMiddle);
    source_->setFont(TextStyles::caption());
    source_->setSelectable();
    sourceLine->addWidget(source_, 1);
    texts->addLayout(sourceLine);
    date_ = Controls::plainLabel(QString(), TextStyles::caption(), header);
    texts->addWidget(date_);
    layout->addLayout(texts, 1);
    return header;
}

QWidget* SelectionDetailView::buildBody()
{
    auto* scroll = new QScrollArea(this);
    body_ = scroll;
    scroll->setFrameShape(QFrame::NoFrame);
    // The keyboard goes to what it holds, which scrolls into sight; the area itself shows no focus.
    scroll->setFocusPolicy(Qt::NoFocus);
    scroll->setWidgetResizable(true);
    scroll->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // Always there, so that the body's width never changes with its height: a scroll bar that came
    // and went would have a long passage laid out again at the narrower width.
    scroll->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    scroll->viewport()->setAutoFillBackground(false);
    scroll->viewport()->installEventFilter(this);
    auto* body = new QWidget(scroll);
    body->setAutoFillBackground(false);
    auto* layout = new QVBoxLayout(body);
    layout->setContentsMargins(14, 14, 14, 14);
    layout->setSpacing(14);

    auto* passageSection = new FormSection(QStringLiteral("Captured Passage"), body);
    passage_ = new RichMarkdownView(passageSection);
    passage_->setObjectName(QStringLiteral("CapturedPassage"));
    passage_->setAccessibleName(QStringLiteral("Captured Passage"));
    connect(passage_, &RichMarkdownView::linkActivated, this,
            [this](const QString& address) { services_.desktop.openURL(address); });
    passageSection->addRow(passage_);
    layout->addWidget(passageSection);

    groupsSection_ = new FormSection(QStringLiteral("Groups"), body);
    auto* groupList = new QWidget(groupsSection_);
    groupRows_ = new QVBoxLayout(groupList);
    groupRows_->setContentsMargins(0, 0, 0, 0);
    groupRows_->setSpacing(6);
    groupsSection_->addRow(groupList);
    groupsSection_->hide();
    layout->addWidget(groupsSection_);

    auto* provenanceSection = new FormSection(QStringLiteral("Provenance"), body);
    auto* rows = new QWidget(provenanceSection);
    auto* grid = new QGridLayout(rows);
    grid->setContentsMargins(0, 0, 0, 0);
    grid->setHorizontalSpacing(12);
    grid->setVerticalSpacing(8);
    grid->setColumnStretch(1, 1);
    int line = 0;
    const auto addRow = [&](const QString& title, QWidget* value) {
        QLabel* label = Controls::plainLabel(QString(), TextStyles::caption(), rows);
        label->setText(title);
        grid->addWidget(label, line, 0, Qt::AlignLeft | Qt::AlignTop);
        grid->addWidget(value, line, 1, Qt::AlignTop);
        ++line;
        return Row{label, value};
    };
    const auto selectable = [&](int lines) {
        auto* value = new CappedLabel(lines, Qt::AlignRight | Qt::AlignTop, rows);
        value->setFont(TextStyles::caption());
        value->setSelectable();
        // A long address wraps within the box rather than widening the inspector.
        QSizePolicy policy = value->sizePolicy();
        policy.setHorizontalPolicy(QSizePolicy::Ignored);
        value->setSizePolicy(policy);
        return value;
    };
    application_ = addRow(QStringLiteral("Application"), selectable(2));
    CappedLabel* address = selectable(2);
    address->setElideMode(Qt::ElideMiddle);
    sourceRow_ = addRow(QStringLiteral("Source"), address);
    CappedLabel* path = selectable(2);
    path->setElideMode(Qt::ElideMiddle);
    fileRow_ = addRow(QStringLiteral("File"), path);
    captured_ = addRow(QStringLiteral("Captured"), selectable(2));
    length_ = addRow(QStringLiteral("Length"), selectable(1));
    auto* promptValue = new QWidget(rows);
    auto* promptLine = new QHBoxLayout(promptValue);
    promptLine->setContentsMargins(0, 0, 0, 0);
    promptLine->setSpacing(4);
    promptLine->addStretch(1);
    promptSymbol_ = new SymbolView(QStringLiteral("circle"), 12, &ThemeColors::secondaryLabel, promptValue);
    promptLine->addWidget(promptSymbol_, 0, Qt::AlignVCenter);
    promptText_ = new CappedLabel(1, Qt::AlignLeft | Qt::AlignVCenter, promptValue);
    promptText_->setFont(TextStyles::caption());
    promptText_->setSelectable();
    promptLine->addWidget(promptText_);
    prompt_ = addRow(QStringLiteral("Prompt"), promptValue);
    provenanceSection->addRow(rows);
    layout->addWidget(provenanceSection);
    layout->addStretch(1);

    scroll->setWidget(body);
    return scroll;
}

QPushButton* SelectionDetailView::footerButton(bool prominent, QWidget* parent)
{
    QPushButton* button = prominent ? Controls::prominentButton(QString(), parent) : new QPushButton(parent);
    button->setProperty("prominent", prominent);
    button->setAutoDefault(false);
    button->setFont(TextStyles::body());
    button->setIconSize(QSize(14, 14));
    return button;
}

// A button that opens its menu, of the footer's other buttons' look: its arrow stands inside it,
// after the title, where a tool button's would sit on its border.
QPushButton* SelectionDetailView::menuButton(const QString& title, const QString& symbol, const QString& help,
                                             QMenu* menu, QWidget* parent)
{
    QPushButton* button = footerButton(false, parent);
    button->setText(title);
    button->setProperty("symbol", symbol);
    button->setToolTip(help);
    button->setAccessibleName(title);
    button->setMenu(menu);
    return button;
}

QWidget* SelectionDetailView::buildFooter()
{
    auto* footer = new Surface(QPalette::Base, this);
    auto* layout = new QVBoxLayout(footer);
    layout->setContentsMargins(footerPadding, footerPadding, footerPadding, footerPadding);
    footerRows_ = new QStackedWidget(footer);
    layout->addWidget(footerRows_);

    groupMenu_ = new QMenu(this);
    moreMenu_ = new QMenu(this);
    connect(groupMenu_, &QMenu::aboutToShow, this, [this] {
        groupMenu_->clear();
        fillGroupMenu(*groupMenu_);
    });
    connect(moreMenu_, &QMenu::aboutToShow, this, &SelectionDetailView::fillMoreMenu);

    wideRow_ = new QWidget(footerRows_);
    auto* wide = new QHBoxLayout(wideRow_);
    wide->setContentsMargins(0, 0, 0, 0);
    wide->setSpacing(8);
    markdownWide_ = footerButton(true, wideRow_);
    plainWide_ = footerButton(false, wideRow_);
    groupWide_ = menuButton(QStringLiteral("Group"), QStringLiteral("folder.badge.plus"),
                            QStringLiteral("Add to a group"), groupMenu_, wideRow_);
    promptWide_ = footerButton(false, wideRow_);
    moreWide_ = menuButton(QStringLiteral("More"), QStringLiteral("ellipsis.circle"), QStringLiteral("More actions"),
                           moreMenu_, wideRow_);
    wide->addWidget(markdownWide_);
    wide->addWidget(plainWide_);
    wide->addWidget(groupWide_);
    wide->addStretch(1);
    wide->addWidget(promptWide_);
    wide->addWidget(moreWide_);

    compactRow_ = new QWidget(footerRows_);
    auto* compact = new QHBoxLayout(compactRow_);
    compact->setContentsMargins(0, 0, 0, 0);
    compact->setSpacing(6);
    markdownCompact_ = footerButton(true, compactRow_);
    plainCompact_ = footerButton(false, compactRow_);
    promptCompact_ = footerButton(false, compactRow_);
    moreCompact_ = menuButton(QStringLiteral("More"), QStringLiteral("ellipsis.circle"), QStringLiteral("More actions"),
                              moreMenu_, compactRow_);
    compact->addWidget(markdownCompact_);
    compact->addWidget(plainCompact_);
    compact->addWidget(promptCompact_);
    compact->addStretch(1);
    compact->addWidget(moreCompact_);

    footerRows_->addWidget(wideRow_);
    footerRows_->addWidget(compactRow_);
    for (QPushButton* button : {markdownWide_, markdownCompact_})
        connect(button, &QPushButton::clicked, this, &SelectionDetailView::copyMarkdown);
    for (QPushButton* button : {plainWide_, plainCompact_})
        connect(button, &QPushButton::clicked, this, &SelectionDetailView::copyPlain);
    for (QPushButton* button : {promptWide_, promptCompact_})
        connect(button, &QPushButton::clicked, this, &SelectionDetailView::addToPrompt);
    showFooter();
    return footer;
}

void SelectionDetailView::setSelectionID(const std::optional<QUuid>& id)
{
    const Selection* found = id ? services_.store.find(*id) : nullptr;
    if (!found) {
        selection_.reset();
        return;
    }
    if (selection_ && selection_->id == found->id)
        return;
    // "Copied" speaks of the capture that was copied, not of the one shown next.
    copiedMarkdown_ = false;
    copiedPlain_ = false;
    showCapture(*found, true);
}

std::optional<QUuid> SelectionDetailView::selectionID() const
{
    return selection_ ? std::optional<QUuid>(selection_->id) : std::nullopt;
}

void SelectionDetailView::reshowChangedCapture(const Store::SelectionsChange& change)
{
    if (!selection_ || !change.updated.contains(selection_->id))
        return;
    if (const Selection* now = services_.store.find(selection_->id))
        showCapture(*now, false);
}

void SelectionDetailView::showCapture(const Selection& selection, bool fresh)
{
    const bool sameApp = !fresh && selection_ && selection_->bundleID == selection.bundleID
        && selection_->appName == selection.appName;
    const bool samePassage = !fresh && passageFrom_ == std::pair(selection.text, selection.markdown);
    selection_ = selection;
    if (!sameApp)
        icon_->setPixmap(
            applicationIcon(services_.icons, selection, Theme::colors(palette()).secondaryLabel, devicePixelRatioF()));
    title_->setFullText(recordTitle());
    const auto [sourceText, symbol] = sourceInfo();
    sourceSymbol_->setSymbol(symbol, &ThemeColors::secondaryLabel);
    source_->setFullText(sourceText);
    date_->setText(headerDate());
    if (!samePassage)
        showPassage(selection);

    static_cast<CappedLabel*>(application_.value)->setFullText(selection.appName);
    sourceRow_.label->setVisible(bool(selection.sourceURL));
    sourceRow_.value->setVisible(bool(selection.sourceURL));
    static_cast<CappedLabel*>(sourceRow_.value)->setFullText(selection.sourceURL.value_or(QString()));
    fileRow_.label->setVisible(bool(selection.filePath));
    fileRow_.value->setVisible(bool(selection.filePath));
    static_cast<CappedLabel*>(fileRow_.value)->setFullText(selection.filePath.value_or(QString()));
    static_cast<CappedLabel*>(captured_.value)->setFullText(formattedCaptureDate(true));
    static_cast<CappedLabel*>(length_.value)
        ->setFullText(QString::number(Text::graphemeCount(selection.text.toString())) + QStringLiteral(" characters"));
    showGroups();
    showPrompt();
    showFooter();
}

void SelectionDetailView::showPassage(const Selection& selection)
{
    passageFrom_ = std::pair(selection.text, selection.markdown);
    std::optional<AttributedText> display;
    if (!SelectionsMarkdown::isPlainText(selection))
        display = MarkdownDisplay::render(selection.markdown, *measurer_);
    if (!display) {
        // A capture of plain text, or Markdown too long or too deep to display: the text as it
        // was captured, line by line, in the body font.
        AttributedText::Attributes attributes;
        attributes.font = AttributedText::Font::system(measurer_->systemFontSize());
        attributes.foregroundColor = AttributedText::Color::label;
        display.emplace().append(TextBinding::paragraphsAsLineFeeds(selection.text), attributes);
    }
    passage_->setAttributedText(*display);
}

QList<SelectionGroup> SelectionDetailView::groups() const
{
    QList<SelectionGroup> found;
    if (!selection_ || selection_->groupIDs.isEmpty())
        return found;
    QHash<QUuid, const SelectionGroup*> byID;
    for (const SelectionGroup& group : services_.store.groups())
        byID.insert(group.id, &group);
    for (const QUuid& id : selection_->groupIDs) {
        if (const SelectionGroup* group = byID.value(id))
            found.append(*group);
    }
    return found;
}

void SelectionDetailView::showGroups()
{
    const QList<SelectionGroup> now = groups();
    if (now == shownGroups_)
        return;
    shownGroups_ = now;
    while (QLayoutItem* item = groupRows_->takeAt(0)) {
        delete item->widget();
        delete item;
    }
    QWidget* list = groupRows_->parentWidget();
    for (const SelectionGroup& group : shownGroups_) {
        auto* row = new QWidget(list);
        auto* line = new QHBoxLayout(row);
        line->setContentsMargins(0, 0, 0, 0);
        line->setSpacing(6);
        auto* dot = new QLabel(row);
        dot->setPixmap(groupDot(qColor(group.color()), devicePixelRatioF()));
        // Beside the name's first line, when a long name wraps.
        dot->setAlignment(Qt::AlignCenter);
        dot->setFixedHeight(QFontMetrics(TextStyles::body()).height());
        line->addWidget(dot, 0, Qt::AlignTop);
        // A long name wraps within the pane rather than widening it.
        auto* name = new CappedLabel(2, Qt::AlignLeft | Qt::AlignVCenter, row);
        name->setFont(TextStyles::body());
        name->setFullText(group.name);
        name->setObjectName(QStringLiteral("GroupName"));
        line->addWidget(name, 1);
        groupRows_->addWidget(row);
    }
    groupsSection_->setVisible(!shownGroups_.isEmpty());
}

void SelectionDetailView::showPrompt()
{
    bool in = false;
    if (const std::optional<ContextDraft> draft = services_.store.activeDraft()) {
        for (const ContextDraftEntry& entry : draft->entries) {
            if (entry.selectionID == selection_->id) {
                in = true;
                break;
            }
        }
    }
    inPrompt_ = in;
    promptSymbol_->setSymbol(in ? QStringLiteral("checkmark.circle.fill") : QStringLiteral("circle"),
                             in ? &ThemeColors::green : &ThemeColors::secondaryLabel);
    promptText_->setFullText(in ? QStringLiteral("Included") : QStringLiteral("Not included"));
    showFooter();
}

void SelectionDetailView::showFooter()
{
    const QColor ink = palette().color(QPalette::ButtonText);
    const QString copiedSymbol = QStringLiteral("checkmark.circle");
    markdownWide_->setText(copiedMarkdown_ ? QStringLiteral("Copied") : QStringLiteral("Copy Markdown"));
    plainWide_->setText(copiedPlain_ ? QStringLiteral("Copied") : QStringLiteral("Plain Text"));
    promptWide_->setText(inPrompt_ ? QStringLiteral("In Prompt") : QStringLiteral("Add to Prompt"));
    for (QPushButton* button : {markdownWide_, markdownCompact_}) {
        setSymbol(*button, copiedMarkdown_ ? copiedSymbol : QStringLiteral("doc.on.doc"), ink);
        setTexts(*button, QStringLiteral("Copy as Markdown"), QStringLiteral("Copy as Markdown"));
    }
    for (QPushButton* button : {plainWide_, plainCompact_}) {
        setSymbol(*button, copiedPlain_ ? copiedSymbol : QStringLiteral("doc.plaintext"), ink);
        setTexts(*button, QStringLiteral("Copy plain text"), QStringLiteral("Copy plain text"));
    }
    for (QPushButton* button : {promptWide_, promptCompact_}) {
        setSymbol(*button, QStringLiteral("text.badge.plus"), ink);
        // As the toolbar's: nothing is added to a library that cannot be changed.
        button->setEnabled(!inPrompt_ && services_.store.canModifyLibrary());
        setTexts(*button,
                 inPrompt_ ? QStringLiteral("Already in the active prompt")
                           : QStringLiteral("Add to the active prompt"),
                 inPrompt_ ? QStringLiteral("Already in prompt") : QStringLiteral("Add to prompt"));
    }
    for (QPushButton* button : {groupWide_, moreWide_, moreCompact_})
        setSymbol(*button, button->property("symbol").toString(), ink);
    chooseFooterRow();
}

bool SelectionDetailView::showsWideFooter() const
{
    return footerRows_->currentWidget() == wideRow_;
}

// The wide row when its titles fit, else the compact one, where the groups stay under "More".
void SelectionDetailView::chooseFooterRow()
{
    const bool fits = wideRow_->sizeHint().width() <= width() - 2 * footerPadding;
    QWidget* row = fits ? wideRow_ : compactRow_;
    if (footerRows_->currentWidget() != row)
        footerRows_->setCurrentWidget(row);
}

QPushButton* SelectionDetailView::copyMarkdownButton() const
{
    return showsWideFooter() ? markdownWide_ : markdownCompact_;
}

QPushButton* SelectionDetailView::copyPlainButton() const
{
    return showsWideFooter() ? plainWide_ : plainCompact_;
}

QPushButton* SelectionDetailView::promptButton() const
{
    return showsWideFooter() ? promptWide_ : promptCompact_;
}

QPushButton* SelectionDetailView::groupButton() const
{
    return showsWideFooter() ? groupWide_ : nullptr;
}

QPushButton* SelectionDetailView::moreButton() const
{
    return showsWideFooter() ? moreWide_ : moreCompact_;
}

void SelectionDetailView::fillGroupMenu(QMenu& menu)
{
    if (selection_)
        CaptureActions::addGroupItems(menu, services_.store, *selection_);
}

void SelectionDetailView::fillMoreMenu()
{
    QMenu& menu = *moreMenu_;
    menu.clear();
    if (!selection_)
        return;
    const Selection& selection = *selection_;
    connect(menu.addAction(QStringLiteral("Copy All from Source")), &QAction::triggered, this,
            &SelectionDetailView::copyAllFromSource);
    CaptureActions::addOpenItems(menu, services_.desktop, services_.pasteboard, selection);
    CaptureActions::addRevealItem(menu, services_.desktop, selection);
    menu.addSeparator();
    fillGroupMenu(*menu.addMenu(QStringLiteral("Add to Group")));
    menu.addSeparator();
    QAction* remove = menu.addAction(QStringLiteral("Delete"));
    remove->setEnabled(services_.store.canModifyLibrary());
    connect(remove, &QAction::triggered, this, [this, id = selection.id] { Q_EMIT deleteRequested(id); });
}

void SelectionDetailView::copyMarkdown()
{
    if (selection_ && Clipboard::writeMarkdown(SelectionsMarkdown::single(*selection_), services_.pasteboard))
        flash(&SelectionDetailView::copiedMarkdown_);
}

void SelectionDetailView::copyPlain()
{
    if (selection_ && Clipboard::writePlain(selection_->text, services_.pasteboard))
        flash(&SelectionDetailView::copiedPlain_);
}

void SelectionDetailView::copyAllFromSource()
{
    if (selection_ && CaptureActions::copyAllFromSource(services_.store, *selection_, services_.pasteboard))
        flash(&SelectionDetailView::copiedMarkdown_);
}

void SelectionDetailView::addToPrompt()
{
    if (selection_)
        services_.store.addSelectionToActiveDraft(selection_->id);
}

// Each copy ends its own "Copied" 1.4 s later; an earlier copy may end a later one's.
void SelectionDetailView::flash(bool SelectionDetailView::*copied)
{
    this->*copied = true;
    showFooter();
    services_.scheduler.after(copiedDuration, [self = QPointer<SelectionDetailView>(this), copied] {
        if (!self)
            return;
        (*self).*copied = false;
        self->showFooter();
    });
}

QString SelectionDetailView::recordTitle() const
{
    if (!selection_)
        return {};
    if (selection_->sourceTitle) {
        QString title = Text::trimmed(*selection_->sourceTitle);
        if (!title.isEmpty())
            return title;
    }
    return selection_->appName;
}

std::pair<QString, QString> SelectionDetailView::sourceInfo() const
{
    if (!selection_)
        return {};
    if (selection_->sourceURL)
        return {*selection_->sourceURL, QStringLiteral("safari")};
    if (selection_->filePath)
        return {*selection_->filePath, QStringLiteral("doc")};
    return {selection_->appName, QStringLiteral("app")};
}

QString SelectionDetailView::formattedCaptureDate(bool full) const
{
    if (!selection_)
        return {};
    using DateStyles::Style;
    return DateStyles::format(selection_->createdAt, full ? Style::full : Style::medium,
                              full ? Style::medium : Style::shortStyle, dateLocale_, dateTimeZone_);
}

QString SelectionDetailView::headerDate() const
{
    return formattedCaptureDate(false);
}

QList<std::pair<QString, QString>> SelectionDetailView::provenance() const
{
    QList<std::pair<QString, QString>> rows;
    for (const Row* row : {&application_, &sourceRow_, &fileRow_, &captured_, &length_}) {
        if (!row->label->isHidden())
            rows.append({row->label->text(), static_cast<CappedLabel*>(row->value)->fullText()});
    }
    rows.append({prompt_.label->text(), promptText_->fullText()});
    return rows;
}

QString SelectionDetailView::promptSymbol() const
{
    return promptSymbol_->symbol();
}

QStringList SelectionDetailView::groupNames() const
{
    QStringList names;
    for (const SelectionGroup& group : shownGroups_)
        names.append(group.name);
    return names;
}

void SelectionDetailView::resizeEvent(QResizeEvent* event)
{
    QWidget::resizeEvent(event);
    chooseFooterRow();
}

// The body's viewport is sized by the layouts, after the inspector's own resize on its first
// showing: the passage follows the viewport itself.
bool SelectionDetailView::eventFilter(QObject* watched, QEvent* event)
{
    if (passage_ && watched == body_->viewport() && event->type() == QEvent::Resize)
        fitScrollingPassage();
    return QWidget::eventFilter(watched, event);
}

// A passage that scrolls itself fills most of the body, leaving the top of the boxes below in
// sight so that the reader knows the body scrolls on to them.
void SelectionDetailView::fitScrollingPassage()
{
    passage_->setScrollingHeight(std::max(160, body_->viewport()->height() * 3 / 4));
}

void SelectionDetailView::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        retint();
}

void SelectionDetailView::retint()
{
    const ThemeColors colors = Theme::colors(palette());
    if (selection_)
        icon_->setPixmap(applicationIcon(services_.icons, *selection_, colors.secondaryLabel, devicePixelRatioF()));
    Controls::tint(*source_, colors.secondaryLabel);
    Controls::tint(*date_, colors.tertiaryLabel);
    Controls::tint(*promptText_, colors.secondaryLabel);
    showFooter();
}

} // namespace vellicord
