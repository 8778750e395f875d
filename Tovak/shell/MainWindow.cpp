#include "Tovak/shell/MainWindow.h"

#include "Tovak/kit/FrameAutosave.h"
#include "Tovak/kit/ViewServices.h"
#include "Tovak/library/ContentView.h"
#include "Tovak/shell/MainMenu.h"

#include <QApplication>
#include <QMenuBar>
#include <QScreen>
#include <QToolBar>

namespace vellicord {

MainWindow::MainWindow(const ViewServices& services, AppActions& actions, QWidget* parent)
    : QMainWindow(parent)
    , content_(new ContentView(services, this))
{
    setObjectName(QStringLiteral("VellicordMainWindow"));
    setAttribute(Qt::WA_DeleteOnClose, false);
    setCentralWidget(content_);
    setWindowTitle(QStringLiteral("Vellicord"));
    setMinimumSize(980, 600);
    resize(1120, 660);
    MainMenu::build(*menuBar(), actions);
    addToolBar(Qt::TopToolBarArea, content_->toolBar());
    auto* autosave = new FrameAutosave(*this, services.defaults, QStringLiteral("VellicordMainWindow"));
    if (!autosave->restored()) {
        if (const QScreen* screen = QGuiApplication::primaryScreen()) {
            QRect frame(QPoint(), size());
            frame.moveCenter(screen->availableGeometry().center());
            move(frame.topLeft());
        }
    }
}

// The first time the window is shown its toolbar is up by now, with the search field.
void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!focusWidget())
        content_->focusFirst();
}

} // namespace vellicord
