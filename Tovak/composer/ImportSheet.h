#pragma once

#include "Tovak/composer/ComposerSheet.h"

#include <QString>

class QPlainTextEdit;

namespace vellicord {

class TextBinding;

// "Import text": pasted text, with the number of chunks it will become. "Split & Add" waits for
// text that is not blank. Emits what the user types (never the text it was given).
class ImportSheet final : public ComposerSheet {
    Q_OBJECT
public:
    ImportSheet(const QString& text, QWidget* parent);

    QPlainTextEdit* editor() const { return editor_; }
    QString text() const;

    // "3 chunks ready", counted as the import splits the text.
    static QString countText(const QString& text);

Q_SIGNALS:
    void textEdited(const QString& text);

protected:
    void showEvent(QShowEvent* event) override;

private:
    // The count line and the button, for the text as it stands.
    void showChunkCount(const QString& text);

    QPlainTextEdit* editor_;
    TextBinding* binding_;
};

} // namespace vellicord
