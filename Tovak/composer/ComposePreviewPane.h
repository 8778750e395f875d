#pragma once

#include "Tovak/kit/ViewServices.h"
#include "core/composition/ComposedContext.h"
#include "core/library/ContextDraft.h"

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QUuid>
#include <QWidget>

#include <chrono>
#include <functional>
#include <optional>

class QAbstractButton;
class QComboBox;
class QLabel;
class QPlainTextEdit;
class QPushButton;
class QStackedWidget;

namespace vellicord {

class SymbolLabel;
class TextBinding;
class TokenBudgetMeter;

// The right pane of the composer: the prompt as the model will read it, composed anew from the
// draft whenever the library changes, and editable in place. The first edit makes the draft's
// preview an edited one (kept in the draft only, never in the captures) until it is reset. Above
// the text: the layout, the model and the grounding instruction, and the token meter with its
// remedies; below it: copying and exporting. Every write looks the draft up anew by its id and
// stores a changed copy; a draft that is gone shows "Nothing to preview". Main thread.
class ComposePreviewPane final : public QWidget {
    Q_OBJECT
public:
    ComposePreviewPane(ViewServices services, const QUuid& draftID, bool usePreamble, QWidget* parent = nullptr);
    ~ComposePreviewPane() override;

    QUuid draftID() const { return draftID_; }

    // Whether a generated prompt begins with the grounding instruction; the composer's choice,
    // never stored in the draft.
    bool usePreamble() const { return usePreamble_; }
    void setUsePreamble(bool use);
    // The Copied state of the copy button: on for 1.4 s after each copy the clipboard took,
    // counted from the earliest copy whose time has not run out.
    bool showCopied() const { return showCopied_; }
    static constexpr std::chrono::milliseconds copiedDuration{1400};
    // Why the last export failed, until an export succeeds.
    const std::optional<QString>& exportError() const { return exportError_; }
    // What the "Token budget" alert says while it is up.
    const std::optional<QString>& budgetFeedback() const { return budgetFeedback_; }

    // The prompt as it is shown (the edited preview, or the generated text).
    ComposedContext composed();

    void copyPrompt();
    void exportPrompt();
    void reduceToFit();
    void copySplit();
    // Asks whether to drop the preview edits; "Reset to Generated Text" drops them.
    void confirmReset();

    // A file name stem from a prompt's name: letters, digits, "-", "_" and inner spaces stay,
    // every other character becomes "-"; "prompt" when nothing is left.
    static QString safeFileName(const QString& name);

    static const QString generatedCaption;
    static const QString editedCaption;
    static const QString exportFailedText;
    static const QString copyFailedText;

    // What the pane shows.
    bool showsDraft() const;
    QPlainTextEdit* editor() const { return editor_; }
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
    bool showsExportWarning() const;
    QString exportWarningText() const;
    QMessageBox* budgetAlert() const { return budgetAlert_; }
    QMessageBox* resetConfirmation() const { return resetConfirmation_; }

Q_SIGNALS:
    void usePreambleChanged();
    void showCopiedChanged();
    void exportErrorChanged();

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

    void scheduleRefresh();
    void refresh();
    void showControls(const ContextDraft& draft, bool edited, bool writable);
    void showCopyButton();
    std::optional<QString> preamble() const;

    void change(const std::function<void(ContextDraft&)>& edit);
    void flashCopied();
    void setShowCopied(bool shown);
    void setExportError(const std::optional<QString>& error);
    void setBudgetFeedback(const QString& feedback);
    void writeExport(const QString& path, const QString& text);
    void resetToGenerated();

    ViewServices services_;
    const QUuid draftID_;
    bool usePreamble_ = true;
    bool showCopied_ = false;
    std::optional<QString> exportError_;
    std::optional<QString> budgetFeedback_;
    std::optional<ComposedContext> composed_;
    bool refreshPending_ = false;

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
