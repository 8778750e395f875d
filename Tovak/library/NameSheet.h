#pragma once

#include <QDialog>

#include <functional>

class QLineEdit;
class QPushButton;

namespace vellicord {

// The small form that names a group: a title, one name field, Cancel and an action button.
// Return acts as the action button and Escape as Cancel; a name that is blank under white space
// and newlines is never submitted. The presenter owns the name and closes the sheet.
class NameSheet final : public QDialog {
    Q_OBJECT
public:
    NameSheet(const QString& title, const QString& actionTitle, const QString& name, QWidget* parent = nullptr);

    // At least 320 points wide, 360 when there is room.
    QSize sizeHint() const override;

    QLineEdit* nameField() const { return field_; }
    QPushButton* cancelButton() const { return cancel_; }

    // Submits the name unless it is blank.
    void commitIfValid();

Q_SIGNALS:
    void nameEdited(const QString& name);
    // A name that is not blank was submitted; the sheet stays up until its presenter closes it.
    void committed();

protected:
    void showEvent(QShowEvent* event) override;

private:
    QLineEdit* field_;
    QPushButton* cancel_;
    QPushButton* action_;
};

} // namespace vellicord
