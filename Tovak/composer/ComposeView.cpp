#include "Tovak/composer/ComposeView.h"

#include "Tovak/composer/ComposeDraftPane.h"
#include "Tovak/composer/ComposePreviewPane.h"
#include "Tovak/kit/Controls.h"
#include "Tovak/kit/SplitView.h"
#include "Tovak/kit/Theme.h"

#include <QEvent>
#include <QLabel>
#include <QStackedWidget>
#include <QVBoxLayout>

namespace vellicord {

ComposeView::ComposeView(ViewServices services, const QUuid& draftID, bool usePreamble, QWidget* parent)
    : QWidget(parent)
    , services_(std::move(services))
    , session_(std::make_unique<DraftSession>(services_, draftID, usePreamble))
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

    connect(session_.get(), &DraftSession::changed, this, [this](DraftSession::Changes what) {
        if (what & (DraftSession::Change::draft | DraftSession::Change::library))
            refresh();
    });
    refresh();
}

// The panes go first, while the session they show is whole.
ComposeView::~ComposeView()
{
    delete pages_;
}

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
    draftPane_ = new ComposeDraftPane(services_, *session_, split_);
    draftPane_->setMinimumWidth(draftPaneMinimumWidth);
    previewPane_ = new ComposePreviewPane(services_, *session_, split_);
    previewPane_->setMinimumWidth(previewMinimumWidth);
    split_->addWidget(draftPane_);
    split_->addWidget(previewPane_);
    split_->setStretchFactor(0, 0);
    split_->setStretchFactor(1, 1);
    split_->setSizes({draftPaneIdealWidth, previewIdealWidth});
    pages_->addWidget(split_);
}

void ComposeView::refresh()
{
    if (!session_->draft()) {
        pages_->setCurrentWidget(notFound_);
        return;
    }
    if (!split_)
        buildPanes();
    draftPane_->setEnabled(session_->canModifyLibrary());
    pages_->setCurrentWidget(split_);
}

void ComposeView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange && notFound_)
        Controls::tint(*notFound_, Theme::colors(palette()).secondaryLabel);
    QWidget::changeEvent(event);
}

} // namespace vellicord
