#include "Tovak/kit/TextBinding.h"

#include "core/foundation/Text.h"

#include <QLineEdit>
#include <QPlainTextEdit>
#include <QTextCursor>
#include <QTextDocument>

#include <algorithm>
#include <limits>

namespace vellicord {

namespace {

// The same characters, found without reading them when the store kept the text we handed it.
bool sameData(const QString& a, const QString& b)
{
    return a.size() == b.size() && a.constData() == b.constData();
}

} // namespace

TextBinding::TextBinding(QPlainTextEdit& editor, Write write, Kept kept)
    : QObject(&editor)
    , editor_(&editor)
    , write_(std::move(write))
    , kept_(std::move(kept))
{
    connect(&editor, &QPlainTextEdit::textChanged, this, [this] {
        if (!showing_)
            userEdited();
    });
}

TextBinding::TextBinding(QLineEdit& field, Write write, Kept kept)
    : QObject(&field)
    , field_(&field)
    , write_(std::move(write))
    , kept_(std::move(kept))
{
    // A line edit cuts its text at 32,767 characters unless told otherwise; a longer stored text
    // would lose its end at the next keystroke.
    field.setMaxLength(std::numeric_limits<int>::max());
    // textEdited also comes from insert(), which show() uses: hence the guard here too.
    connect(&field, &QLineEdit::textEdited, this, [this] {
        if (!showing_)
            userEdited();
    });
}

QString TextBinding::text() const
{
    if (field_)
        return field_->text();
    if (!editor_)
        return QString();
    return started_ ? editorText_ : readEditor();
}

QString TextBinding::readEditor() const
{
    // toPlainText() would also turn no-break spaces into spaces, and an untouched text would then
    // read as edited; only the paragraph separators between blocks are the editor's own.
    QString raw = editor_->document()->toRawText();
    raw.replace(QChar::ParagraphSeparator, u'\n');
    return raw;
}

QString TextBinding::paragraphsAsLineFeeds(QString text)
{
    // What QTextCursor::insertText() turns into a new block, each read back as one line feed.
    // Most texts have none of them: looking is cheaper than replacing in a long text.
    if (text.contains(u'\r'))
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (const char16_t breaking : {u'\r', char16_t(QChar::ParagraphSeparator), u'\xFDD0', u'\xFDD1'})
        text.replace(QChar(breaking), u'\n');
    return text;
}

std::optional<TextBinding::Change> TextBinding::difference(QStringView from, QStringView to)
{
    if (from == to)
        return std::nullopt;
    const qsizetype shorter = std::min(from.size(), to.size());
    qsizetype prefix = 0;
    while (prefix < shorter && from[prefix] == to[prefix])
        ++prefix;
    if (prefix > 0 && from[prefix - 1].isHighSurrogate())
        --prefix;
    qsizetype suffix = 0;
    while (suffix < shorter - prefix && from[from.size() - 1 - suffix] == to[to.size() - 1 - suffix])
        ++suffix;
    if (suffix > 0 && from[from.size() - suffix].isLowSurrogate())
        --suffix;
    return Change{prefix, from.size() - prefix - suffix, to.sliced(prefix, to.size() - prefix - suffix).toString()};
}

void TextBinding::show(const QString& stored)
{
    if (started_ && sameData(stored, last_))
        return;
    const QString wanted = editor_ ? paragraphsAsLineFeeds(stored) : stored;
    const QString current = text();
    const QString kept = kept_ ? kept_(current) : current;
    if (started_ && (kept == wanted || Text::equal(kept, wanted))) {
        last_ = stored;
        return;
    }
    showing_ = true;
    if (!started_) {
        if (editor_)
            editor_->setPlainText(wanted);
        else if (field_)
            field_->setText(wanted);
        started_ = true;
    } else if (const std::optional<Change> change = difference(current, wanted)) {
        replace(*change);
    }
    showing_ = false;
    // The editor holds exactly the text wanted now: every character that insertText() would turn
    // into a block is a line feed in it already.
    editorText_ = wanted;
    last_ = stored;
}

void TextBinding::replace(const Change& change)
{
    if (editor_) {
        // A cursor of its own: the user's cursor moves with the text around it, and the change is
        // one step in the editor's undo history.
        QTextCursor cursor(editor_->document());
        cursor.beginEditBlock();
        cursor.setPosition(int(change.start));
        cursor.setPosition(int(change.start + change.removed), QTextCursor::KeepAnchor);
        cursor.insertText(change.inserted);
        cursor.endEditBlock();
        return;
    }
    if (!field_)
        return;
    const int before = field_->cursorPosition();
    field_->setCursorPosition(int(change.start));
    if (change.removed > 0)
        field_->setSelection(int(change.start), int(change.removed));
    field_->insert(change.inserted);
    const qsizetype end = change.start + change.removed;
    if (before <= change.start)
        field_->setCursorPosition(before);
    else if (before >= end)
        field_->setCursorPosition(int(before + change.inserted.size() - change.removed));
}

void TextBinding::userEdited()
{
    if (editor_)
        editorText_ = readEditor();
    last_ = text();
    started_ = true;
    if (write_)
        write_(last_);
}

} // namespace vellicord
