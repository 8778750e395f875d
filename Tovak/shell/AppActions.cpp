#include "Tovak/shell/AppActions.h"

#include <QAction>
#include <QKeySequence>

namespace vellicord {

namespace {

// Command key equivalents become Control ones here.
QAction* action(QObject* parent, const QString& title, QKeyCombination key = {})
{
    auto* item = new QAction(title, parent);
    if (key.toCombined() != 0)
        item->setShortcut(QKeySequence(key));
    return item;
}

} // namespace

AppActions::AppActions(QObject* parent)
    : QObject(parent)
    , about(action(this, QStringLiteral("About Vellicord")))
    , settings(action(this, QStringLiteral("Settings…"), Qt::CTRL | Qt::Key_Comma))
    , checkForUpdates(action(this, QStringLiteral("Check for Updates…")))
    , hide(action(this, QStringLiteral("Hide Vellicord"), Qt::CTRL | Qt::Key_H))
    , quit(action(this, QStringLiteral("Quit Vellicord"), Qt::CTRL | Qt::Key_Q))
    , openVellicord(action(this, QStringLiteral("Open Vellicord"), Qt::CTRL | Qt::Key_1))
    , captureSelection(action(this, captureTitle(QString()), Qt::CTRL | Qt::Key_2))
    , newPrompt(action(this, QStringLiteral("New Prompt…"), Qt::CTRL | Qt::Key_N))
    , goToPrompt(action(this, QStringLiteral("Go to Prompt"), Qt::CTRL | Qt::SHIFT | Qt::Key_P))
    , openPrompt(action(this, QStringLiteral("Open Prompt…"), Qt::CTRL | Qt::Key_3))
    , collectIntoPrompt(action(this, QStringLiteral("Collect into Prompt")))
    , focusSearch(action(this, QStringLiteral("Focus Search"), Qt::CTRL | Qt::Key_F))
    , closeWindow(action(this, QStringLiteral("Close Window"), Qt::CTRL | Qt::Key_W))
{
    collectIntoPrompt->setCheckable(true);
}

QString AppActions::captureTitle(const QString& shortcutDisplay)
{
    return QStringLiteral("Capture Selection  (") + shortcutDisplay + u')';
}

void AppActions::update(const State& state)
{
    captureSelection->setText(captureTitle(state.shortcutDisplay));
    for (QAction* item : {captureSelection, newPrompt, goToPrompt, openPrompt, collectIntoPrompt})
        item->setEnabled(state.canModifyLibrary);
    collectIntoPrompt->setChecked(state.collectIntoActiveDraft);
}

} // namespace vellicord
