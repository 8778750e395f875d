#include "Tovak/library/UnavailableLibraryView.h"

#include "Tovak/kit/Controls.h"
#include "Tovak/kit/SymbolView.h"
#include "Tovak/kit/TextStyles.h"
#include "Tovak/kit/Theme.h"

#include <QEvent>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace vellicord {
namespace {

constexpr int stackWidth = 360;

// The texts wrap, so they would take any width offered; the stack asks for its full 360 points
// and lets its height follow.
class Stack final : public QWidget {
public:
    using QWidget::QWidget;
    QSize sizeHint() const override { return {stackWidth, layout()->totalHeightForWidth(stackWidth)}; }
};

QLabel* wrappingLabel(const QFont& font, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    label->setAlignment(Qt::AlignHCenter | Qt::AlignTop);
    label->setWordWrap(true);
    return label;
}

} // namespace

UnavailableLibraryView::UnavailableLibraryView(LibraryRecoveryPresentation recovery, QWidget* parent)
    : QWidget(parent)
{
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(24, 24, 24, 24);
    outer->setSpacing(0);
    outer->addStretch(1);
    stack_ = new Stack(this);
    stack_->setMaximumWidth(stackWidth);
    outer->addWidget(stack_, 0, Qt::AlignHCenter);
    outer->addStretch(1);

    auto* layout = new QVBoxLayout(stack_);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(12);
    layout->addWidget(
        new SymbolView(QStringLiteral("exclamationmark.triangle"), 42, &ThemeColors::secondaryLabel, stack_), 0,
        Qt::AlignHCenter);
    title_ = wrappingLabel(TextStyles::title3Semibold(), stack_);
    title_->setObjectName(QStringLiteral("title"));
    layout->addWidget(title_);
    message_ = wrappingLabel(TextStyles::callout(), stack_);
    message_->setObjectName(QStringLiteral("message"));
    layout->addWidget(message_);
    reveal_ = Controls::button(QStringLiteral("Reveal Library Folder"), Controls::Size::regular, stack_);
    connect(reveal_, &QPushButton::clicked, this, &UnavailableLibraryView::revealLibraryFolderRequested);
    layout->addWidget(reveal_, 0, Qt::AlignHCenter);

    setRecovery(recovery);
    applyColors();
}

void UnavailableLibraryView::setRecovery(LibraryRecoveryPresentation recovery)
{
    title_->setText(recovery.title());
    message_->setText(recovery.message());
    reveal_->setVisible(recovery.canRevealLibraryFolder());
    // Read as one element: what happened, then what to do.
    setAccessibleName(recovery.title());
    setAccessibleDescription(recovery.message());
}

QSize UnavailableLibraryView::sizeHint() const
{
    const int width = layout()->sizeHint().width();
    return {width, layout()->totalHeightForWidth(width)};
}

void UnavailableLibraryView::applyColors()
{
    Controls::tint(*message_, Theme::colors(palette()).secondaryLabel);
}

void UnavailableLibraryView::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange && message_)
        applyColors();
    QWidget::changeEvent(event);
}

} // namespace vellicord
