#pragma once

#include "Tovak/composer/ComposerSheet.h"
#include "core/library/ModelProfile.h"

#include <QString>

class QPlainTextEdit;

namespace vellicord {

class TextBinding;

// "Trim this source": the text one source gives the prompt, edited as it should appear there,
// with its size in tokens and characters. Emits what the user types (never the text it was given)
// and "Apply Trim", which is never disabled: an empty text is how a trim is undone.
class EntryTrimSheet final : public ComposerSheet {
    Q_OBJECT
public:
    EntryTrimSheet(const ModelProfile& profile, const QString& text, QWidget* parent);

    QPlainTextEdit* editor() const { return editor_; }
    // The editor's text as it stands, no-break spaces and all.
    QString text() const;

    // "1,234 tokens · 4,936 chars" for the profile.
    static QString countText(const QString& text, const ModelProfile& profile);

Q_SIGNALS:
    void textEdited(const QString& text);

protected:
    void showEvent(QShowEvent* event) override;

private:
    ModelProfile profile_;
    QPlainTextEdit* editor_;
    TextBinding* binding_;
};

} // namespace vellicord
