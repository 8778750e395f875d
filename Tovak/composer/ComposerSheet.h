#pragma once

#include <QDialog>
#include <QSize>

class QLabel;
class QPlainTextEdit;
class QPushButton;
class QVBoxLayout;

namespace vellicord {

// What the composer's small sheets share: a title, their content, and a row ending in "Cancel"
// and the main button. Return is the main button (ignored while it is disabled) and Escape is
// "Cancel", which closes the sheet and runs nothing. The main button only reports the click: the
// presenter does the work and closes the sheet when it is done. Window-modal to the presenter's
// window; the presenter owns it.
class ComposerSheet : public QDialog {
    Q_OBJECT
public:
    QPushButton* mainButton() const { return main_; }
    QPushButton* cancelButton() const { return cancel_; }
    // The line before the buttons (a count), when the sheet has one.
    QLabel* countLine() const { return countLine_; }

    // Never below its ideal size while the screen has room.
    QSize sizeHint() const override;
    // Opens with the editor's scroll bar already there when its text surely overflows it.
    void setVisible(bool visible) override;

Q_SIGNALS:
    void mainClicked();

protected:
    ComposerSheet(const QString& title, const QString& mainTitle, QSize minimum, QSize ideal, int spacing,
                  QWidget* parent);

    void addHelp(const QString& text);
    // The plain-text editor in its rounded border, monospaced, at least this tall.
    QPlainTextEdit* addEditor(int minimumHeight);
    void addField(QWidget* field);
    // The button row, with a count line before the buttons or not.
    void addButtons(bool withCountLine);

    void changeEvent(QEvent* event) override;

private:
    void applyColors();

    QVBoxLayout* column_;
    QSize ideal_;
    QPlainTextEdit* editor_ = nullptr;
    QLabel* help_ = nullptr;
    QLabel* countLine_ = nullptr;
    QPushButton* cancel_ = nullptr;
    QPushButton* main_ = nullptr;
};

} // namespace vellicord
