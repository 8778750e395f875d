#pragma once

#include "Tovak/composer/ComposerSheet.h"

#include <QString>

class QLineEdit;

namespace vellicord {

// "Save Task Template": the name the prompt's task is saved under. "Save", and Return in the
// field, act once and only while the name is more than spaces and tabs; the name is handed on as
// typed. Emits what the user types (never the name it was given).
class SaveTemplateSheet final : public ComposerSheet {
    Q_OBJECT
public:
    SaveTemplateSheet(const QString& name, QWidget* parent);

    QLineEdit* nameField() const { return field_; }

Q_SIGNALS:
    void nameEdited(const QString& name);

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* field_;
};

} // namespace vellicord
