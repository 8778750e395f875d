#include "Tovak/library/PersistenceStatusBanner.h"

#include "Tovak/kit/Controls.h"
#include "Tovak/kit/Material.h"
#include "Tovak/kit/SymbolView.h"
#include "Tovak/kit/TextStyles.h"
#include "Tovak/kit/Theme.h"

#include <QEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QVBoxLayout>

namespace vellicord {

PersistenceStatusBanner::PersistenceStatusBanner(StorePersistenceStatus status, QWidget* parent)
    : QWidget(parent)
    , status_(status)
{
    auto* layout = new QHBoxLayout(this);
    layout->setContentsMargins(10, 10, 10, 10);
    layout->setSpacing(8);
    symbol_ = new SymbolView(QString(), 16, &ThemeColors::green, this);
    layout->addWidget(symbol_, 0, Qt::AlignTop);

    auto* texts = new QVBoxLayout;
    texts->setSpacing(2);
    title_ = new QLabel(this);
    title_->setObjectName(QStringLiteral("title"));
    title_->setTextFormat(Qt::PlainText);
    title_->setFont(TextStyles::system(TextStyles::callout().pixelSize(), QFont::DemiBold));
    texts->addWidget(title_);
    message_ = new QLabel(this);
    message_->setObjectName(QStringLiteral("message"));
    message_->setTextFormat(Qt::PlainText);
    message_->setFont(TextStyles::caption());
    message_->setWordWrap(true);
    texts->addWidget(message_);
    // The button's 4 points of extra space go with it, so a hidden button leaves no gap.
    revealRow_ = new QWidget(this);
    auto* revealLayout = new QVBoxLayout(revealRow_);
    revealLayout->setContentsMargins(0, 4, 0, 0);
    auto* reveal = Controls::button(QStringLiteral("Reveal Library Folder"), Controls::Size::small, revealRow_);
    connect(reveal, &QPushButton::clicked, this, &PersistenceStatusBanner::revealLibraryFolderRequested);
    revealLayout->addWidget(reveal, 0, Qt::AlignLeft);
    texts->addWidget(revealRow_);
    layout->addLayout(texts, 1);

    setStatus(status);
    applyColors();
}

PersistenceStatusBanner::Presentation PersistenceStatusBanner::presentation(StorePersistenceStatus status)
{
    const QString warning = QStringLiteral("exclamationmark.triangle.fill");
    switch (status) {
    case StorePersistenceStatus::ready:
        return {QStringLiteral("checkmark.circle.fill"), false, QStringLiteral("Local library ready"),
                QStringLiteral("Vellicord stores this library and its backup on this computer."), false};
    case StorePersistenceStatus::recoveredFromBackup:
        return {QStringLiteral("arrow.counterclockwise.circle.fill"), false, QStringLiteral("Library recovered"),
                QStringLiteral("Vellicord restored a known-good local backup and preserved the unreadable data."),
                false};
    case StorePersistenceStatus::unreadablePrimary:
    case StorePersistenceStatus::incompatibleVersion: {
        // The same words as the unavailable-library view.
        const LibraryRecoveryPresentation recovery = *status.unavailableLibraryPresentation();
        return {warning, true, recovery.title(), recovery.message(), recovery.canRevealLibraryFolder()};
    }
    case StorePersistenceStatus::backupUnavailable:
        return {warning, true, QStringLiteral("Backup unavailable"),
                QStringLiteral("The library is open, but Vellicord could not refresh its local backup."), false};
    case StorePersistenceStatus::saveFailed:
        return {warning, true, QStringLiteral("Changes not saved"),
                QStringLiteral("Vellicord could not save the latest changes. The current library remains open."),
                false};
    }
    return {};
}

void PersistenceStatusBanner::setStatus(StorePersistenceStatus status)
{
    status_ = status;
    const Presentation shown = presentation(status);
    symbol_->setSymbol(shown.symbol, shown.warning ? &ThemeColors::orange : &ThemeColors::green);
    title_->setText(shown.title);
    message_->setText(shown.message);
    revealRow_->setVisible(shown.canReveal);
    // Read as one element, as it is seen: the title, then the explanation.
    setAccessibleName(shown.title);
    setAccessibleDescription(shown.message);
}

void PersistenceStatusBanner::applyColors()
{
    Controls::tint(*message_, Theme::colors(palette()).secondaryLabel);
}

void PersistenceStatusBanner::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::PaletteChange && message_)
        applyColors();
    QWidget::changeEvent(event);
}

void PersistenceStatusBanner::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    Material::paintRegular(painter, rect(), 8, palette());
}

} // namespace vellicord
