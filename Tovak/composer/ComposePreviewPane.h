#pragma once

#include "Tovak/composer/DraftSession.h"
#include "Tovak/kit/ViewServices.h"
#include "core/library/ContextDraft.h"

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QWidget>

class QAbstractButton;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;

namespace vellicord {

class DraftSession;
class SymbolLabel;
class TextBinding;
class TokenBudgetMeter;

// The right pane of the composer: the prompt as the model will read it, as its session composes
// it, and editable in place. The first edit makes the draft's preview an edited one (kept in the
// draft only, never in the captures) until it is reset. Above the text: the layout, the model and
// the grounding instruction, and the token meter with its remedies; below it: copying and
// exporting. A draft that is gone shows "Nothing to preview". Main thread.
class ComposePreviewPane final : public QWidget {
    Q_OBJECT
public:
    // The session outlives the pane.
    ComposePreviewPane(ViewServices services, DraftSession& session, QWidget* parent = nullptr);
    ~ComposePreviewPane() override;

    QPlainTextEdit* editor() const { return editor_; }
    // The editor's text, as the draft would store it.
    QString shownText() const;
    QLabel* caption() const { return caption_; }
    QPushButton* resetButton() const { return reset_; }
    QWidget* controls() const { return controls_; }
    bool showsWideControls() const;
    // The pickers and the switch of the form of the controls shown.
    QWidget* templateField() const;
    QComboBox* templatePicker() const;
    QComboBox* modelPicker() const;
    QAbstractButton* preambleToggle() const;
    TokenBudgetMeter* meter() const { return meter_; }
    QPushButton* copyButton() const { return copy_; }
    QPushButton* exportButton() const { return export_; }
    // The "Token budget" alert while it is up, and the reset confirmation.
    QMessageBox* budgetAlert() const { return budgetAlert_; }
    QMessageBox* resetConfirmation() const { return resetConfirmation_; }

protected:
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;

private:
    // One arrangement of the controls: captioned fields in a row, or a grid of labelled rows.
    struct Form {
        QWidget* container = nullptr;
        QWidget* templateField = nullptr;
        QComboBox* templatePicker = nullptr;
        QComboBox* modelPicker = nullptr;
        QAbstractButton* preamble = nullptr;
    };

    QWidget* buildContent();
    QWidget* buildCaptionRow(QWidget* parent);
    QWidget* buildControls(QWidget* parent);
    Form buildWideForm(QWidget* parent);
    Form buildNarrowForm(QWidget* parent);
    QComboBox* makeTemplatePicker(QWidget* parent);
    QComboBox* makeModelPicker(QWidget* parent);
    QWidget* buildPreview(QWidget* parent);
    QWidget* buildActions(QWidget* parent);
    void applyColors();
    void chooseForm();
    const Form& shownForm() const;

    void sessionChanged(DraftSession::Changes what);
    void refresh();
    void showControls(const ContextDraft& draft, bool edited, bool writable);
    void showCopyButton();
    void showExportError();
    void showBudgetFeedback(const QString& feedback);
    void confirmReset();
    void exportPrompt();

    ViewServices services_;
    DraftSession& session_;

    QStackedWidget* pages_ = nullptr;
    QWidget* content_ = nullptr;
    QLabel* nothing_ = nullptr;
    QLabel* header_ = nullptr;
    QLabel* caption_ = nullptr;
    QPushButton* reset_ = nullptr;
    QWidget* controls_ = nullptr;
    Form wide_;
    Form narrow_;
    QList<QLabel*> secondaryLabels_;
    TokenBudgetMeter* meter_ = nullptr;
    QPlainTextEdit* editor_ = nullptr;
    TextBinding* binding_ = nullptr;
    QPushButton* copy_ = nullptr;
    QPushButton* export_ = nullptr;
    SymbolLabel* exportWarning_ = nullptr;
    QPointer<QMessageBox> budgetAlert_;
    QPointer<QMessageBox> resetConfirmation_;
};

} // namespace vellicord
