#include "Tovak/shell/MainMenu.h"

#include "Tovak/shell/AppActions.h"

#include <QAction>
#include <QApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QWidget>

namespace vellicord {

namespace {

// Edit commands go to the widget with the focus, as far as it has them (line and text editors do).
void addEditCommand(QMenu& menu, const QString& title, QKeyCombination key, const char* slot)
{
    QAction* item = menu.addAction(title);
    item->setShortcut(QKeySequence(key));
    QObject::connect(item, &QAction::triggered, item, [slot] {
        if (QWidget* focus = QApplication::focusWidget())
            QMetaObject::invokeMethod(focus, slot);
    });
}

} // namespace

void MainMenu::build(QMenuBar& bar, AppActions& actions)
{
    QMenu* app = bar.addMenu(QStringLiteral("Vellicord"));
    app->addAction(actions.about);
    app->addSeparator();
    app->addActions({actions.settings, actions.checkForUpdates});
    app->addSeparator();
    app->addActions({actions.hide, actions.quit});

    QMenu* edit = bar.addMenu(QStringLiteral("Edit"));
    addEditCommand(*edit, QStringLiteral("Undo"), Qt::CTRL | Qt::Key_Z, "undo");
    addEditCommand(*edit, QStringLiteral("Redo"), Qt::CTRL | Qt::SHIFT | Qt::Key_Z, "redo");
    edit->addSeparator();
    addEditCommand(*edit, QStringLiteral("Cut"), Qt::CTRL | Qt::Key_X, "cut");
    addEditCommand(*edit, QStringLiteral("Copy"), Qt::CTRL | Qt::Key_C, "copy");
    addEditCommand(*edit, QStringLiteral("Paste"), Qt::CTRL | Qt::Key_V, "paste");
    addEditCommand(*edit, QStringLiteral("Select All"), Qt::CTRL | Qt::Key_A, "selectAll");

    QMenu* file = bar.addMenu(QStringLiteral("File"));
    file->addActions({actions.newPrompt, actions.goToPrompt});
    file->addSeparator();
    QAction* close = file->addAction(QStringLiteral("Close Window"));
    close->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_W));
    QObject::connect(close, &QAction::triggered, close, [] {
        if (QWidget* window = QApplication::activeWindow())
            window->close();
    });

    QMenu* view = bar.addMenu(QStringLiteral("View"));
    view->addAction(actions.focusSearch);
}

} // namespace vellicord
