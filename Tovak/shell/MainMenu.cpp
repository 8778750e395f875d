#include "Tovak/shell/MainMenu.h"

#include "Tovak/kit/EditTarget.h"
#include "Tovak/shell/AppActions.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QPointer>
#include <QWidget>

namespace vellicord {

namespace {

using Command = EditTarget::Command;

// The Edit items act on the view that has the window's keys (the menu bar aside), each enabled
// exactly when that view can perform it: followed as the keys move from view to view, as what the
// view can do changes, and once more as the menu opens.
class EditItems final : public QObject {
public:
    EditItems(QMenu& menu, QWidget& window)
        : QObject(&menu)
        , window_(window)
    {
        add(menu, QStringLiteral("Undo"), Qt::CTRL | Qt::Key_Z, Command::undo);
        add(menu, QStringLiteral("Redo"), Qt::CTRL | Qt::SHIFT | Qt::Key_Z, Command::redo);
        menu.addSeparator();
        add(menu, QStringLiteral("Cut"), Qt::CTRL | Qt::Key_X, Command::cut);
        add(menu, QStringLiteral("Copy"), Qt::CTRL | Qt::Key_C, Command::copy);
        add(menu, QStringLiteral("Paste"), Qt::CTRL | Qt::Key_V, Command::paste);
        add(menu, QStringLiteral("Select All"), Qt::CTRL | Qt::Key_A, Command::selectAll);
        connect(qApp, &QApplication::focusChanged, this, &EditItems::followKeys);
        connect(&menu, &QMenu::aboutToShow, this, &EditItems::showState);
        followKeys();
    }

private:
    void add(QMenu& menu, const QString& title, QKeyCombination key, Command command)
    {
        QAction* item = menu.addAction(title);
        item->setShortcut(QKeySequence(key));
        connect(item, &QAction::triggered, this, [this, command] {
            if (target_)
                target_->perform(command);
        });
        items_.append({item, command});
    }

    void followKeys()
    {
        QWidget* focus = window_.focusWidget();
        // A menu closed with Escape leaves the keys with the menu bar until a second Escape or a
        // click: the items still act on the view the user was working in.
        if (qobject_cast<QMenuBar*>(focus))
            return;
        EditTarget* target = EditTarget::of(focus);
        if (target != target_) {
            disconnect(watch_);
            target_ = target;
            if (target)
                watch_ = connect(target, &EditTarget::changed, this, &EditItems::showState);
        }
        showState();
    }

    void showState()
    {
        for (const auto& [item, command] : items_)
            item->setEnabled(target_ && target_->can(command));
    }

    QWidget& window_;
    QList<std::pair<QAction*, Command>> items_;
    QPointer<EditTarget> target_;
    QMetaObject::Connection watch_;
};

} // namespace

void MainMenu::build(QMenuBar& bar, AppActions& actions)
{
    QMenu* app = bar.addMenu(QStringLiteral("Vellicord"));
    app->addAction(actions.about);
    app->addSeparator();
    app->addActions({actions.settings, actions.checkForUpdates});
    app->addSeparator();
    app->addActions({actions.hide, actions.quit});

    new EditItems(*bar.addMenu(QStringLiteral("Edit")), *bar.window());

    QMenu* file = bar.addMenu(QStringLiteral("File"));
    file->addActions({actions.newPrompt, actions.goToPrompt});
    file->addSeparator();
    file->addAction(actions.closeWindow);

    QMenu* view = bar.addMenu(QStringLiteral("View"));
    view->addAction(actions.focusSearch);
}

} // namespace vellicord
