#include "Tovak/kit/EditTarget.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextEdit>

#include <optional>

namespace vellicord {

namespace {

using Command = EditTarget::Command;

// The commands' keys, as Qt's editors take them.
constexpr std::pair<Command, QKeySequence::StandardKey> commandKeys[] = {
    {Command::undo, QKeySequence::Undo},   {Command::redo, QKeySequence::Redo},
    {Command::cut, QKeySequence::Cut},     {Command::copy, QKeySequence::Copy},
    {Command::paste, QKeySequence::Paste}, {Command::selectAll, QKeySequence::SelectAll},
};

// Whether the clipboard holds text, as last asked. It is forgotten as the clipboard changes, by
// the first to hear of the change: before any view hears of it and asks again.
std::optional<bool>& clipboardText()
{
    static QPointer<QClipboard> watched;
    static std::optional<bool> known;
    QClipboard* clipboard = QGuiApplication::clipboard();
    if (watched != clipboard) {
        watched = clipboard;
        known.reset();
        QObject::connect(clipboard, &QClipboard::dataChanged, clipboard, [] { known.reset(); });
    }
    return known;
}

// Another program may own the clipboard, and asking it is a round trip to that program: asked at
// most once per change of the clipboard, and only for an editor that could paste, rather than on
// every keystroke typed into one. Nor is it asked while the application is in the background,
// where every copy made elsewhere (a capture's among them) would have it asked; the menu asks
// again as a window of ours takes the keys.
bool clipboardHasText()
{
    std::optional<bool>& known = clipboardText();
    if (!known && QGuiApplication::applicationState() != Qt::ApplicationActive)
        return false;
    if (!known) {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        known = data && data->hasText();
    }
    return *known;
}

// As a line edit's own menu judges its items.
bool canInLineEdit(const QLineEdit& edit, Command command)
{
    const bool editable = !edit.isReadOnly();
    // A password's characters are never handed out.
    const bool selected = edit.hasSelectedText() && edit.echoMode() == QLineEdit::Normal;
    switch (command) {
    case Command::undo: return editable && edit.isUndoAvailable();
    case Command::redo: return editable && edit.isRedoAvailable();
    case Command::cut: return editable && selected;
    case Command::copy: return selected;
    case Command::paste: return editable && clipboardHasText();
    case Command::selectAll: return !edit.text().isEmpty() && edit.selectedText().size() != edit.text().size();
    }
    return false;
}

// As a text editor's own menu judges its items; a read-only one still copies and selects.
template<typename Editor> bool canInTextEditor(const Editor& edit, Command command)
{
    const Qt::TextInteractionFlags flags = edit.textInteractionFlags();
    const bool editable = flags & Qt::TextEditable;
    const bool selectable = flags & (Qt::TextEditable | Qt::TextSelectableByKeyboard | Qt::TextSelectableByMouse);
    const bool selected = edit.textCursor().hasSelection();
    switch (command) {
    case Command::undo: return editable && edit.document()->isUndoAvailable();
    case Command::redo: return editable && edit.document()->isRedoAvailable();
    case Command::cut: return editable && selected;
    case Command::copy: return selectable && selected;
    case Command::paste: return editable && clipboardHasText();
    case Command::selectAll: return selectable && !edit.document()->isEmpty();
    }
    return false;
}

template<typename Editor> EditTarget::Commands editorCommands(Editor& edit, bool (*can)(const Editor&, Command))
{
    return {
        .can = [&edit, can](Command command) { return can(edit, command); },
        .perform =
            [&edit](Command command) {
                switch (command) {
                case Command::undo: edit.undo(); break;
                case Command::redo: edit.redo(); break;
                case Command::cut: edit.cut(); break;
                case Command::copy: edit.copy(); break;
                case Command::paste: edit.paste(); break;
                case Command::selectAll: edit.selectAll(); break;
                }
            },
    };
}

} // namespace

EditTarget::EditTarget(QWidget& view, Commands commands)
    : QObject(&view)
    , commands_(std::move(commands))
{
}

EditTarget& EditTarget::attach(QWidget& view, Commands commands)
{
    auto* target = new EditTarget(view, std::move(commands));
    view.installEventFilter(target);
    return *target;
}

EditTarget::Commands EditTarget::copyAndSelectAll(std::function<bool()> canCopy, std::function<void()> copy,
                                                  std::function<bool()> canSelectAll, std::function<void()> selectAll)
{
    return {
        .can = [canCopy = std::move(canCopy), canSelectAll = std::move(canSelectAll)](Command command) {
            return command == Command::copy ? canCopy() : command == Command::selectAll && canSelectAll();
        },
        .perform = [copy = std::move(copy), selectAll = std::move(selectAll)](Command command) {
            if (command == Command::copy)
                copy();
            else if (command == Command::selectAll)
                selectAll();
        },
    };
}

EditTarget* EditTarget::of(QWidget* view)
{
    if (!view)
        return nullptr;
    if (auto* target = view->findChild<EditTarget*>(QString(), Qt::FindDirectChildrenOnly))
        return target;
    EditTarget* target = nullptr;
    const auto follow = [&target](auto* edit, auto... signals) {
        (connect(edit, signals, target, &EditTarget::changed), ...);
        clipboardText();
        connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, target, &EditTarget::changed);
    };
    if (auto* edit = qobject_cast<QLineEdit*>(view)) {
        target = new EditTarget(*edit, editorCommands(*edit, &canInLineEdit));
        follow(edit, &QLineEdit::textChanged, &QLineEdit::selectionChanged);
    } else if (auto* edit = qobject_cast<QTextEdit*>(view)) {
        target = new EditTarget(*edit, editorCommands(*edit, &canInTextEditor<QTextEdit>));
        follow(edit, &QTextEdit::textChanged, &QTextEdit::selectionChanged, &QTextEdit::undoAvailable,
               &QTextEdit::redoAvailable);
    } else if (auto* edit = qobject_cast<QPlainTextEdit*>(view)) {
        target = new EditTarget(*edit, editorCommands(*edit, &canInTextEditor<QPlainTextEdit>));
        follow(edit, &QPlainTextEdit::textChanged, &QPlainTextEdit::selectionChanged, &QPlainTextEdit::undoAvailable,
               &QPlainTextEdit::redoAvailable);
    }
    return target;
}

bool EditTarget::can(Command command) const
{
    return commands_.can && commands_.can(command);
}

void EditTarget::perform(Command command)
{
    if (can(command))
        commands_.perform(command);
}

bool EditTarget::eventFilter(QObject*, QEvent* event)
{
    if (event->type() != QEvent::ShortcutOverride && event->type() != QEvent::KeyPress)
        return false;
    for (const auto& [command, key] : commandKeys) {
        if (static_cast<QKeyEvent*>(event)->matches(key)) {
            if (event->type() == QEvent::KeyPress)
                perform(command);
            event->accept();
            return true;
        }
    }
    return false;
}

} // namespace vellicord
