#include "Tovak/shell/StatusMenu.h"

namespace vellicord {
namespace {

// Command key equivalents become Control ones here.
QKeySequence key(int key)
{
    return QKeySequence(Qt::CTRL | key);
}

std::function<void()> call(const std::function<void()>& action)
{
    return [action] {
        if (action)
            action();
    };
}

} // namespace

StatusMenu::StatusMenu(Actions actions, QWidget* parent)
    : QMenu(parent)
    , actions_(std::move(actions))
{
    addAction(QStringLiteral("Open Vellicord"), key(Qt::Key_1), this, call(actions_.showMainWindow));
    capture_ = addAction(QString(), key(Qt::Key_2), this, call(actions_.captureNow));
    newPrompt_ = addAction(QStringLiteral("New Prompt…"), key(Qt::Key_N), this, call(actions_.newPrompt));
    openPrompt_ = addAction(QStringLiteral("Open Prompt…"), key(Qt::Key_3), this, call(actions_.openPrompt));
    collect_ = addAction(QStringLiteral("Collect into Prompt"), this, call(actions_.toggleCollecting));
    collect_->setCheckable(true);
    addSeparator();
    addAction(QStringLiteral("Check for Updates…"), this, call(actions_.checkForUpdates));
    addAction(QStringLiteral("Settings…"), key(Qt::Key_Comma), this, call(actions_.showSettings));
    addSeparator();
    addAction(QStringLiteral("Quit Vellicord"), key(Qt::Key_Q), this, call(actions_.quit));
    connect(this, &QMenu::aboutToShow, this, &StatusMenu::refresh);
    refresh();
}

QString StatusMenu::captureTitle(const QString& shortcutDisplay)
{
    return QStringLiteral("Capture Selection  (") + shortcutDisplay + u')';
}

void StatusMenu::refresh()
{
    capture_->setText(captureTitle(actions_.shortcutDisplay ? actions_.shortcutDisplay() : QString()));
    const bool canModify = !actions_.canModifyLibrary || actions_.canModifyLibrary();
    for (QAction* item : {capture_, newPrompt_, openPrompt_, collect_})
        item->setEnabled(canModify);
    collect_->setChecked(actions_.collectIntoActiveDraft && actions_.collectIntoActiveDraft());
}

} // namespace vellicord
