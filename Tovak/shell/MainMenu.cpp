#include "Tovak/shell/MainMenu.h"

#include "Tovak/shell/AppDelegate.h"

#include <QApplication>
#include <QKeySequence>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QWidget>

namespace vellicord {

namespace {

// Edit commands go to the widget with the focus, as far as it has them (line and text editors do).
void sendToFocus(const char* slot)
{
    if (QWidget* focus = QApplication::focusWidget())
        QMetaObject::invokeMethod(focus, slot);
}

QAction* add(QMenu& menu, const QString& title, const QKeySequence& key, std::function<void()> action)
{
    QAction* item = menu.addAction(title);
    if (!key.isEmpty())
        item->setShortcut(key);
    QObject::connect(item, &QAction::triggered, item, [action = std::move(action)] { action(); });
    return item;
}

void showAbout()
{
    const BundleInfo bundle = BundleInfo::main();
    QMessageBox::about(QApplication::activeWindow(), QStringLiteral("About Vellicord"),
                       QStringLiteral("Vellicord\nVersion %1").arg(bundle.versionString()));
}

} // namespace

void MainMenu::build(QMenuBar& bar, AppDelegate& delegate, bool canModifyLibrary)
{
    AppDelegate* target = &delegate;

    QMenu* app = bar.addMenu(QStringLiteral("Vellicord"));
    add(*app, QStringLiteral("About Vellicord"), {}, showAbout);
    app->addSeparator();
    add(*app, QStringLiteral("Settings…"), QKeySequence(Qt::CTRL | Qt::Key_Comma), [target] { target->showSettings(); });
    add(*app, QStringLiteral("Check for Updates…"), {}, [target] { target->checkForUpdates(); });
    app->addSeparator();
    add(*app, QStringLiteral("Hide Vellicord"), QKeySequence(Qt::CTRL | Qt::Key_H), [] {
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible() && window->isWindow())
                window->hide();
    });
    add(*app, QStringLiteral("Quit Vellicord"), QKeySequence(Qt::CTRL | Qt::Key_Q), [] { QApplication::quit(); });

    QMenu* edit = bar.addMenu(QStringLiteral("Edit"));
    add(*edit, QStringLiteral("Undo"), QKeySequence(Qt::CTRL | Qt::Key_Z), [] { sendToFocus("undo"); });
    add(*edit, QStringLiteral("Redo"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z), [] { sendToFocus("redo"); });
    edit->addSeparator();
    add(*edit, QStringLiteral("Cut"), QKeySequence(Qt::CTRL | Qt::Key_X), [] { sendToFocus("cut"); });
    add(*edit, QStringLiteral("Copy"), QKeySequence(Qt::CTRL | Qt::Key_C), [] { sendToFocus("copy"); });
    add(*edit, QStringLiteral("Paste"), QKeySequence(Qt::CTRL | Qt::Key_V), [] { sendToFocus("paste"); });
    add(*edit, QStringLiteral("Select All"), QKeySequence(Qt::CTRL | Qt::Key_A), [] { sendToFocus("selectAll"); });

    QMenu* file = bar.addMenu(QStringLiteral("File"));
    add(*file, QStringLiteral("New Prompt…"), QKeySequence(Qt::CTRL | Qt::Key_N), [target] { target->menuNewPrompt(); })
        ->setEnabled(canModifyLibrary);
    add(*file, QStringLiteral("Go to Prompt"), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_P),
        [target] { target->openPromptAction(); })
        ->setEnabled(canModifyLibrary);
    file->addSeparator();
    add(*file, QStringLiteral("Close Window"), QKeySequence(Qt::CTRL | Qt::Key_W), [] {
        if (QWidget* window = QApplication::activeWindow())
            window->close();
    });

    QMenu* view = bar.addMenu(QStringLiteral("View"));
    add(*view, QStringLiteral("Focus Search"), QKeySequence(Qt::CTRL | Qt::Key_F), [target] { target->menuFocusSearch(); });
}

} // namespace vellicord
