#include "Tovak/export/AppScreenshotView.h"

#include "Tovak/export/SampleData.h"
#include "Tovak/kit/SplitView.h"
#include "Tovak/kit/TextStyles.h"
#include "Tovak/library/ContentViewState.h"
#include "Tovak/library/IconCache.h"
#include "Tovak/library/LibrarySelectionList.h"
#include "Tovak/library/SelectionDetailView.h"
#include "Tovak/library/SelectionRowDelegate.h"

#include <QLabel>
#include <QTimeZone>
#include <QVBoxLayout>

namespace vellicord {

AppScreenshotView::AppScreenshotView(Services services, const QUuid& selectedID, QWidget* parent)
    : QWidget(parent)
    , state_(std::make_unique<ContentViewState>(services.store, services.scheduler, services.clock))
    , icons_(std::make_unique<IconCache>(services.desktop))
{
    setObjectName(QStringLiteral("AppScreenshotView"));
    setAutoFillBackground(true);
    state_->model().setRelativeDateReference(SampleData::screenshotReferenceDate());
    state_->model().setTimeZone(QTimeZone::utc());
    state_->setSelection({selectedID}, selectedID);

    auto* splitter = new SplitView(Qt::Horizontal, this);
    splitter->setChildrenCollapsible(false);
    auto* pane = new QWidget(splitter);
    pane->setMinimumWidth(380);
    auto* paneLayout = new QVBoxLayout(pane);
    paneLayout->setContentsMargins(10, 10, 10, 10);
    paneLayout->setSpacing(6);
    auto* header = new QLabel(QStringLiteral("Captured Passages"), pane);
    header->setFont(TextStyles::system(TextStyles::subheadline().pixelSize(), QFont::DemiBold));
    header->setContentsMargins(8, 0, 0, 0);
    header->setForegroundRole(QPalette::PlaceholderText);
    paneLayout->addWidget(header);
    list_ = new LibrarySelectionList(*state_, *icons_, services.pasteboard, services.desktop, pane);
    // No drags from a picture.
    list_->rowDelegate().setShowsDragGrip(false);
    paneLayout->addWidget(list_, 1);
    splitter->addWidget(pane);
    splitter->setStretchFactor(0, 0);
    if (services.store.find(selectedID)) {
        auto* inspector
            = new SelectionDetailView(SelectionDetailView::Services{.store = services.store,
                                                                    .pasteboard = services.pasteboard,
                                                                    .scheduler = services.scheduler,
                                                                    .desktop = services.desktop,
                                                                    .icons = *icons_},
                                      QLocale(QLocale::English, QLocale::UnitedStates), QTimeZone::utc(), splitter);
        inspector->setSelectionID(selectedID);
        inspector->setMinimumWidth(420);
        splitter->addWidget(inspector);
        splitter->setStretchFactor(1, 1);
    }
    splitter->setSizes({440, 100000});

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(splitter);
}

AppScreenshotView::~AppScreenshotView() = default;

} // namespace vellicord
