#pragma once

#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringView>

#include <functional>
#include <optional>

class QLineEdit;
class QPlainTextEdit;

namespace vellicord {

// Keeps a text editor and a stored text in step. What the user types is handed on as it is typed;
// a stored text that changed elsewhere is shown by replacing only the part that differs, so the
// cursor stays where the user left it. Such a change is not the user's: it is no undo step, and
// the editor's undo history starts again from it. Showing a text never hands it back, and the
// user's own typing, shown back, leaves the history as it is.
class TextBinding final : public QObject {
public:
    using Write = std::function<void(const QString&)>;
    // How the store keeps a typed text, when not exactly as typed (a blank note is kept as no
    // note, read back as ""). A stored text that the editor's text is kept as is the editor's
    // already, so what the user is typing stays as typed.
    using Kept = std::function<QString(const QString&)>;

    // The binding belongs to the editor and goes with it.
    TextBinding(QPlainTextEdit& editor, Write write, Kept kept = {});
    TextBinding(QLineEdit& field, Write write, Kept kept = {});

    // Shows the stored text, unless the editor already holds it (the same text, or one canonically
    // equivalent to it). The first text shown is the editor's start: it is not an undo step.
    void show(const QString& stored);
    // The editor's text as it is stored.
    QString text() const;

    // Where two texts differ: the changed middle of `from` and what replaces it. Never splits a
    // surrogate pair. None when they are equal.
    struct Change {
        qsizetype start = 0;
        qsizetype removed = 0;
        QString inserted;
        friend bool operator==(const Change&, const Change&) = default;
    };
    static std::optional<Change> difference(QStringView from, QStringView to);
    // A text as a plain-text editor holds it: every kind of paragraph break becomes a line feed.
    static QString paragraphsAsLineFeeds(QString text);

private:
    void userEdited();
    void followEdit(int position, int removed, int added);
    void replace(const Change& change);
    QString readEditor() const;

    QPointer<QPlainTextEdit> editor_;
    QPointer<QLineEdit> field_;
    Write write_;
    Kept kept_;
    QString last_; // the text last written or shown: an unchanged stored text is recognised at once
    // What the editor holds, kept since the binding last showed or read it: every change of the
    // editor's text is one the binding makes or hears of, and reading a long document is slow. A
    // user's edit is applied to it piece by piece as the document reports it.
    QString editorText_;
    bool following_ = false; // editorText_ has every edit since it was last read or shown
    bool started_ = false;
    bool showing_ = false;
};

} // namespace vellicord
