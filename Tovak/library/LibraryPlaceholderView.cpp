#include "Tovak/library/LibraryPlaceholderView.h"

#include "Tovak/kit/TextStyles.h"
#include "core/library/Store.h"

#include <QLabel>
#include <QVBoxLayout>

namespace vellicord {

LibraryPlaceholderView::LibraryPlaceholderView(Store& store, QWidget* parent)
    : QWidget(parent)
    , store_(store)
    , headline_(new QLabel(this))
    , detail_(new QLabel(this))
{
    setObjectName(QStringLiteral("LibraryPlaceholderView"));
    auto* layout = new QVBoxLayout(this);
    layout->addStretch();
    for (QLabel* label : {headline_, detail_}) {
        label->setAlignment(Qt::AlignCenter);
        label->setWordWrap(true);
        label->setTextInteractionFlags(Qt::TextSelectableByMouse);
        layout->addWidget(label);
    }
    layout->addStretch();
    headline_->setFont(TextStyles::title3());
    connect(&store_, &Store::selectionsChanged, this, &LibraryPlaceholderView::refresh);
    connect(&store_, &Store::persistenceStatusChanged, this, &LibraryPlaceholderView::refresh);
    refresh();
}

QString LibraryPlaceholderView::headline() const
{
    return headline_->text();
}

QString LibraryPlaceholderView::detail() const
{
    return detail_->text();
}

void LibraryPlaceholderView::refresh()
{
    if (const auto unavailable = store_.persistenceStatus().unavailableLibraryPresentation()) {
        headline_->setText(unavailable->title());
        detail_->setText(unavailable->message());
        return;
    }
    const qsizetype count = store_.selections().size();
    headline_->setText(count == 1 ? QStringLiteral("1 capture") : QStringLiteral("%1 captures").arg(count));
    detail_->setText(QStringLiteral("The library browser is not part of this build yet."));
}

} // namespace vellicord
