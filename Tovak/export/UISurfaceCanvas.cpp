#include "Tovak/export/UISurfaceCanvas.h"

#include "Tovak/composer/ComposeView.h"
#include "Tovak/export/SampleData.h"
#include "Tovak/kit/SplitView.h"
#include "Tovak/kit/SymbolView.h"
#include "Tovak/kit/TextStyles.h"
#include "Tovak/library/ContentViewState.h"
#include "Tovak/library/EmptyStateView.h"
#include "Tovak/library/IconCache.h"
#include "Tovak/library/LibrarySelectionList.h"
#include "Tovak/library/PermissionBanner.h"
#include "Tovak/library/SelectionDetailView.h"
#include "Tovak/library/SidebarModel.h"
#include "Tovak/library/SidebarView.h"
#include "Tovak/shell/HotKeyCombo.h"
#include "core/library/Store.h"
#include "platform/CarbonKeys.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QSplitter>
#include <QTimeZone>
#include <QVBoxLayout>

namespace vellicord {
namespace {

QSplitter* split(QWidget* parent)
{
    auto* splitter = new SplitView(Qt::Horizontal, parent);
    splitter->setChildrenCollapsible(false);
    return splitter;
}

} // namespace

// Where the inspector stands when no capture is chosen.
QWidget* UISurfaceCanvas::inspectorPlaceholder(QWidget* parent)
{
    auto* pane = new QWidget(parent);
    pane->setMinimumWidth(320);
    auto* layout = new QVBoxLayout(pane);
    layout->setSpacing(10);
    layout->addStretch();
    layout->addWidget(new SymbolView(QStringLiteral("doc.text.magnifyingglass"), 34, &ThemeColors::tertiaryLabel, pane),
                      0, Qt::AlignHCenter);
    auto* prompt = new QLabel(QStringLiteral("Select a selection to inspect it"), pane);
    prompt->setFont(TextStyles::callout());
    prompt->setAlignment(Qt::AlignCenter);
    placeholderText_ = prompt;
    applyColors();
    layout->addWidget(prompt);
    layout->addStretch();
    return pane;
}

void UISurfaceCanvas::applyColors()
{
    if (!placeholderText_)
        return;
    QPalette palette = placeholderText_->palette();
    palette.setColor(QPalette::WindowText, Theme::colors(this->palette()).secondaryLabel);
    placeholderText_->setPalette(palette);
}

void UISurfaceCanvas::changeEvent(QEvent* event)
{
    QWidget::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        applyColors();
}

UISurfaceCanvas::UISurfaceCanvas(ViewServices services, Mode mode, QWidget* parent)
    : QWidget(parent)
    , services_(services)
    , mode_(mode)
    , state_(std::make_unique<ContentViewState>(services.store, services.scheduler, services.clock))
    , sidebarModel_(std::make_unique<SidebarModel>(services.store))
    , icons_(std::make_unique<IconCache>(services.desktop))
{
    setObjectName(QStringLiteral("UISurfaceCanvas"));
    setAutoFillBackground(true);
    const bool composing = mode_.kind == Mode::Kind::compose || mode_.kind == Mode::Kind::emptyCompose;
    state_->setSidebarSelection(composing ? SidebarItem::prompt() : SidebarItem::allSelections());
    // Ages are counted from the samples' time and written in UTC, not from this machine's clock.
    state_->model().setRelativeDateReference(SampleData::screenshotReferenceDate());
    state_->model().setTimeZone(QTimeZone::utc());
    if (mode_.kind == Mode::Kind::library)
        state_->setSelection({mode_.id}, mode_.id);

    auto* splitter = split(this);
    const auto nothing = [] {};
    sidebar_ = new SidebarView(*sidebarModel_, *state_,
                               SidebarView::Services{.store = services.store,
                                                     .pasteboard = services.pasteboard,
                                                     .scheduler = services.scheduler,
                                                     .icons = *icons_},
                               SidebarView::Callbacks{
                                   .onNewGroup = nothing,
                                   .onRenameGroup = [](const SelectionGroup&) {},
                                   .onDeleteGroup = [](const SelectionGroup&) {},
                                   .onOpenPrompt = nothing,
                                   .onNewPrompt = nothing,
                                   .onSelectDraft = [](const QUuid&) {},
                                   .onDeleteDraft = [](const QUuid&) {},
                               },
                               splitter);
    sidebar_->setMinimumWidth(190);
    sidebar_->setMaximumWidth(240);
    QWidget* content = mode_.kind == Mode::Kind::library ? buildLibrary(splitter)
        : composing                                      ? buildComposer(splitter)
                                                         : buildEmptyLibrary(splitter);
    splitter->addWidget(sidebar_);
    splitter->addWidget(content);
    splitter->setStretchFactor(0, 0);
    splitter->setStretchFactor(1, 1);
    splitter->setSizes({220, 100000});

    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);
}

UISurfaceCanvas::~UISurfaceCanvas() = default;

QWidget* UISurfaceCanvas::buildLibrary(QWidget* parent)
{
    auto* panes = split(parent);
    auto* column = new QWidget(panes);
    column->setMinimumWidth(300);
    column->setMaximumWidth(480);
    auto* layout = new QVBoxLayout(column);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(0);
    // Shown whatever this machine allows: the image is of a first start.
    auto* banner = new QWidget(column);
    auto* bannerLayout = new QVBoxLayout(banner);
    bannerLayout->setContentsMargins(8, 8, 8, 8);
    bannerLayout->addWidget(new PermissionBanner(banner));
    layout->addWidget(banner);
    layout->addWidget(new LibrarySelectionList(*state_, *icons_, services_.pasteboard, services_.desktop, column), 1);
    panes->addWidget(column);
    panes->setStretchFactor(0, 0);
    if (services_.store.find(mode_.id)) {
        auto* inspector
            = new SelectionDetailView(SelectionDetailView::Services{.store = services_.store,
                                                                    .pasteboard = services_.pasteboard,
                                                                    .scheduler = services_.scheduler,
                                                                    .desktop = services_.desktop,
                                                                    .icons = *icons_},
                                      QLocale(QLocale::English, QLocale::UnitedStates), QTimeZone::utc(), panes);
        inspector->setSelectionID(mode_.id);
        inspector->setMinimumWidth(320);
        panes->addWidget(inspector);
        panes->setStretchFactor(1, 1);
        panes->setSizes({360, 100000});
        return panes;
    }
    // Without an inspector the panes end at the list, and the window's background fills the rest.
    auto* area = new QWidget(parent);
    auto* areaLayout = new QHBoxLayout(area);
    areaLayout->setContentsMargins(0, 0, 0, 0);
    areaLayout->addWidget(panes);
    areaLayout->addStretch(1);
    return area;
}

QWidget* UISurfaceCanvas::buildEmptyLibrary(QWidget* parent)
{
    auto* panes = split(parent);
    auto* empty = new EmptyStateView(panes);
    empty->setContent(EmptyStateView::Content{
        .isFiltering = false,
        .needsAccessibility = true,
        .searchText = QString(),
        .sidebarSelection = SidebarItem::allSelections(),
        .hotkeyDisplay = hotkeyDisplay(),
    });
    empty->setMinimumWidth(300);
    panes->addWidget(empty);
    panes->addWidget(inspectorPlaceholder(panes));
    panes->setStretchFactor(0, 0);
    panes->setStretchFactor(1, 1);
    panes->setSizes({360, 100000});
    return panes;
}

QString UISurfaceCanvas::hotkeyDisplay()
{
    return HotKeyCombo{.keyCode = 8, .modsCarbon = CarbonKeys::optionKey | CarbonKeys::shiftKey}.display();
}

QWidget* UISurfaceCanvas::buildComposer(QWidget* parent)
{
    ViewServices services = services_;
    services.shortcutDisplay = [] { return hotkeyDisplay(); };
    auto* composer = new ComposeView(services, mode_.id, true, parent);
    composer->setMinimumWidth(680);
    return composer;
}

} // namespace vellicord
