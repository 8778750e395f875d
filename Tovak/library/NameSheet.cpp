#include "Tovak/library/NameSheet.h"

#include "Tovak/kit/Controls.h"
#include "Tovak/kit/TextStyles.h"
#include "core/foundation/Text.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QShowEvent>
#include <QVBoxLayout>

namespace vellicord {

NameSheet::NameSheet(const QString& title, const QString& actionTitle, const QString& name, QWidget* parent)
    : QDialog(parent)
{
    setWindowTitle(title);
    setMinimumWidth(320);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(20, 20, 20, 20);
    layout->setSpacing(14);

    auto* heading = new QLabel(title, this);
    heading->setTextFormat(Qt::PlainText);
    heading->setFont(TextStyles::system(TextStyles::title3().pixelSize(), QFont::DemiBold));
    layout->addWidget(heading);

    field_ = new QLineEdit(name, this);
    field_->setPlaceholderText(QStringLiteral("Name"));
    field_->setAccessibleName(QStringLiteral("Name"));
    layout->addWidget(field_);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch(1);
    cancel_ = Controls::button(QStringLiteral("Cancel"), Controls::Size::regular, this);
    // The dialog turns Return into a click of its default button, and ignores it while the
    // button is disabled.
    action_ = Controls::defaultButton(actionTitle, this);
    buttons->addWidget(cancel_);
    buttons->addWidget(action_);
    layout->addLayout(buttons);

    const auto follow = [this](const QString& text) {
        action_->setEnabled(!Text::isBlank(text));
        Q_EMIT nameEdited(text);
    };
    connect(field_, &QLineEdit::textChanged, this, follow);
    connect(cancel_, &QPushButton::clicked, this, &QDialog::reject);
    connect(action_, &QPushButton::clicked, this, &NameSheet::commitIfValid);
    action_->setEnabled(!Text::isBlank(name));
}

QSize NameSheet::sizeHint() const
{
    const QSize natural = QDialog::sizeHint();
    return {std::max(natural.width(), 360), natural.height()};
}

void NameSheet::commitIfValid()
{
    if (!Text::isBlank(field_->text()))
        Q_EMIT committed();
}

void NameSheet::showEvent(QShowEvent* event)
{
    QDialog::showEvent(event);
    field_->setFocus(Qt::OtherFocusReason);
}

} // namespace vellicord
