#include "Tovak/composer/ComposeView.h"

#include "Tovak/composer/ComposeDraftPane.h"
#include "Tovak/composer/ComposePreviewPane.h"
#include "Tovak/kit/Controls.h"
#include "Tovak/kit/SplitView.h"
#include "Tovak/kit/Theme.h"
#include "core/library/Store.h"

#include <QEvent>
#include <QLabel>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace vellicord {

ComposeView::ComposeView(ViewServices services, const QUuid& draftID, bool usePreamble, QWidget* parent)
    : QWidget(parent)
    , services_(std::move(services))
    , draftID_(draftID)
    , usePreamble_(usePreamble)
{
    setObjectName(QStringLiteral("ComposeView"));
    pages_ = new QStackedWidget(this);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(pages_);
    notFound_ = new QLabel(QStringLiteral("Prompt not found"), pages_);
    notFound_->setTextFormat(Qt::PlainText);
    notFound_->setAlignment(Qt::AlignCenter);
    Controls::tint(*notFound_, Theme::colors(palette()).secondaryLabel);
    pages_->addWidget(notFound_);

    Store& store = services_.store;
    connect(&store, &Store::draftsChanged, this, &ComposeView::scheduleRefresh);
    connect(&store, &Store::persistenceStatusChanged, this, &ComposeView::scheduleRefresh);
    refresh();
}

ComposeView::~ComposeView() = default;

bool ComposeView::showsDraft() const
{
    return split_ && pages_->currentWidget() == split_;
}

// The panes are made once the prompt is there: a composer of a prompt that never was holds
// nothing else.
void ComposeView::buildPanes()
{
    split_ = new SplitView(Qt::Horizontal, pages_);
    split_->setObjectName(QStringLiteral("ComposeSplit"));
    // Neither pane can be dragged shut: a pane dragged to nothing would look like a lost prompt.
    split_->setChildrenCollapsible(false);
    draftPane_ = new ComposeDraftPane(services_, draftID_, split_);
    draftPane_->setMinimumWidth(draftPaneMinimumWidth);
    previewPane_ = new ComposePreviewPane(services_, draftID_, usePreamble_, split_);
    previewPane_->setMinimumWidth(previewMinimumWidth);
    split_->addWidget(draftPane_);
    split_->addWidget(previewPane_);
    split_->setStretchFactor(0, 0);
    split_->setStretchFactor(1, 1);
    split_->setSizes({draftPaneIdealWidth, previewIdealWidth});
    pages_->addWidget(split_);
}

void ComposeView::scheduleRefresh()
{
    if (refreshPending_)
        return;
    refreshPending_ = true;
    QMetaObject::invokeMethod(this, &ComposeView::refresh, Qt::QueuedConnection);
}

void ComposeView::refresh()
{
    refreshPending_ = false;
    const Store& store = services_.store;
    if (!store.findDraft(draftID_)) {
        pages_->setCurrentWidget(notFound_);
        return;
    }
    if (!split_)
        buildPanes();
    draftPane_->setEnabled(store.canModifyLibrary());
    pages_->setCurrentWidget(split_);
}

void ComposeView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange && notFound_)
        Controls::tint(*notFound_, Theme::colors(palette()).secondaryLabel);
    QWidget::changeEvent(event);
}

} // namespace vellicord
