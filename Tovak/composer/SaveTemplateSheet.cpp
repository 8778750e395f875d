#include "Tovak/composer/SaveTemplateSheet.h"

#include "core/foundation/Text.h"

#include <QLineEdit>
#include <QPushButton>

#include <limits>

namespace vellicord {

SaveTemplateSheet::SaveTemplateSheet(const QString& name, QWidget* parent)
    : ComposerSheet(QStringLiteral("Save Task Template"), QStringLiteral("Save"), {320, 0}, {360, 0}, 14, parent)
{
    field_ = new QLineEdit(name, this);
    field_->setMaxLength(std::numeric_limits<int>::max());
    field_->setPlaceholderText(QStringLiteral("Template name"));
    field_->setAccessibleName(QStringLiteral("Template name"));
    addField(field_);
    addButtons(false);
    const auto enableSave
        = [this](const QString& text) { mainButton()->setEnabled(!Text::trimmedHorizontally(text).isEmpty()); };
    // Return in the field reaches the dialog, which clicks "Save": connecting the field's own
    // returnPressed as well would save twice.
    connect(field_, &QLineEdit::textEdited, this, [this, enableSave](const QString& text) {
        enableSave(text);
        Q_EMIT nameEdited(text);
    });
    enableSave(name);
}

void SaveTemplateSheet::showEvent(QShowEvent* event)
{
    ComposerSheet::showEvent(event);
    field_->setFocus(Qt::OtherFocusReason);
}

} // namespace vellicord
