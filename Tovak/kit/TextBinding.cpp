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
    connect(editor.document(), &QTextDocument::contentsChange, this, &TextBinding::followEdit);
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
    connect(&field, &QLineEdit::textEdited, this, &TextBinding::userEdited);
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

namespace {

// Whether the text has a character that QTextCursor::insertText() turns into a new block. Most
// texts have none: a whole block of the text looked at without stopping early, which the compiler
// does in vector instructions, is cheaper than looking for each character in turn.
bool hasParagraphBreak(QStringView text)
{
    const auto breaks = [](char16_t c) {
        return uint16_t((c == u'\r') | (c == char16_t(QChar::ParagraphSeparator)) | ((c & 0xFFFE) == 0xFDD0));
    };
    const char16_t* data = text.utf16();
    const qsizetype size = text.size();
    constexpr qsizetype block = 256;
    qsizetype start = 0;
    for (; start + block <= size; start += block) {
        uint16_t found = 0;
        for (qsizetype i = 0; i < block; ++i)
            found |= breaks(data[start + i]);
        if (found)
            return true;
    }
    for (; start < size; ++start) {
        if (breaks(data[start]))
            return true;
    }
    return false;
}

} // namespace

QString TextBinding::paragraphsAsLineFeeds(QString text)
{
    // What QTextCursor::insertText() turns into a new block, each read back as one line feed.
    if (!hasParagraphBreak(text))
        return text;
    if (text.contains(u'\r'))
        text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    for (const char16_t breaking : {u'\r', char16_t(QChar::ParagraphSeparator), u'\xFDD0', u'\xFDD1'})
        text.replace(QChar(breaking), u'\n');
    return text;
}

std::optional<TextBinding::Change> TextBinding::difference(QStringView from, QStringView to)
{
    qsizetype prefix = Text::sharedPrefixLength(from, to);
    if (prefix == from.size() && prefix == to.size())
        return std::nullopt;
    if (prefix > 0 && from[prefix - 1].isHighSurrogate())
        --prefix;
    qsizetype suffix = Text::sharedSuffixLength(from.sliced(prefix), to.sliced(prefix));
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
    std::optional<Change> change;
    if (started_) {
        // Where the editor's text and the stored one differ is found once: a long text is read
        // whole by that search alone, and whether they are the same text is decided on what differs.
        change = difference(current, wanted);
        bool shown = !change;
        if (kept_) {
            const QString kept = kept_(current);
            shown = kept == wanted || Text::equal(kept, wanted);
        } else if (change) {
            shown = Text::equal(current, wanted, change->start, current.size() - change->start - change->removed);
        }
        if (shown) {
            last_ = stored;
            return;
        }
    }
    showing_ = true;
    if (!started_) {
        if (editor_)
            editor_->setPlainText(wanted);
        else if (field_)
            field_->setText(wanted);
        started_ = true;
    } else if (change) {
        replace(*change);
    }
    showing_ = false;
    // The editor holds exactly the text wanted now: every character that insertText() would turn
    // into a block is a line feed in it already.
    editorText_ = wanted;
    following_ = true;
    last_ = stored;
}

void TextBinding::replace(const Change& change)
{
    // Not the user's edit, so no step of the user's to undo: the editor's history starts again
    // from the new text, as a new document's would. Undoing the user's earlier steps over a text
    // that changed under them would write a text nobody wrote.
    if (editor_) {
        // A cursor of its own: the user's cursor moves with the text around it.
        QTextCursor cursor(editor_->document());
        cursor.beginEditBlock();
        cursor.setPosition(int(change.start));
        cursor.setPosition(int(change.start + change.removed), QTextCursor::KeepAnchor);
        cursor.insertText(change.inserted);
        cursor.endEditBlock();
        editor_->document()->clearUndoRedoStacks();
        return;
    }
    if (!field_)
        return;
    const int before = field_->cursorPosition();
    const qsizetype end = change.start + change.removed;
    QString text = field_->text();
    text.replace(change.start, change.removed, change.inserted);
    // setText() is the line edit's way to a new history.
    field_->setText(text);
    if (before <= change.start)
        field_->setCursorPosition(before);
    else if (before >= end)
        field_->setCursorPosition(int(before + change.inserted.size() - change.removed));
    else
        field_->setCursorPosition(int(change.start + change.inserted.size()));
}

// A change the user made (typing, pasting, undoing) applied to the text kept, as the document
// reports it: the characters it put in are read, not the whole document. Should the document ever
// report a change that leaves the kept text of another length than its own, the next edit reads
// it whole.
void TextBinding::followEdit(int position, int removed, int added)
{
    if (showing_ || !following_ || !editor_)
        return;
    // The document counts one paragraph separator more than its text has, after the last block,
    // and may report a change as reaching it.
    QTextDocument& document = *editor_->document();
    const qsizetype size = editorText_.size();
    const qsizetype start = std::min<qsizetype>(position, size);
    QTextCursor cursor(&document);
    cursor.setPosition(int(start));
    cursor.setPosition(std::min(position + added, document.characterCount() - 1), QTextCursor::KeepAnchor);
    QString inserted = cursor.selectedText();
    inserted.replace(QChar::ParagraphSeparator, u'\n');
    editorText_.replace(start, std::min<qsizetype>(removed, size - start), inserted);
    following_ = editorText_.size() == document.characterCount() - 1;
}

void TextBinding::userEdited()
{
    if (editor_ && (!started_ || !following_)) {
        editorText_ = readEditor();
        following_ = true;
    }
    last_ = text();
    started_ = true;
    if (write_)
        write_(last_);
}

} // namespace vellicord
