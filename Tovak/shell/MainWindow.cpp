#include "Tovak/shell/MainWindow.h"

#include "Tovak/kit/FrameAutosave.h"
#include "Tovak/kit/ViewServices.h"
#include "Tovak/library/ContentView.h"
#include "Tovak/shell/MainMenu.h"
#include "platform/Desktop.h"

#include <QApplication>
#include <QKeyEvent>
#include <QMenuBar>
#include <QScreen>
#include <QToolBar>

namespace vellicord {

MainWindow::MainWindow(const ViewServices& services, AppActions& actions, QWidget* parent)
    : QMainWindow(parent)
    , desktop_(services.desktop)
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

MainWindow::~MainWindow() = default;

namespace {

void raiseSheetsOf(const QWidget& window)
{
    for (QWidget* sheet : QApplication::topLevelWidgets()) {
        if (sheet != &window && sheet->isVisible() && sheet->windowModality() == Qt::WindowModal
            && sheet->parentWidget() && sheet->parentWidget()->window() == &window) {
            sheet->raise();
            sheet->activateWindow();
            raiseSheetsOf(*sheet);
        }
    }
}

} // namespace

void MainWindow::raiseSheets()
{
    raiseSheetsOf(*this);
}

// The first time the window is shown its toolbar is up by now, with the search field.
void MainWindow::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (!focusWidget())
        content_->focusFirst();
}

// The window manager activates the window when it maps it, after a sheet opened as it was being
// shown, and when the user clicks it while a sheet blocks it; either way it goes above the sheet.
// Not when the window has lost the keyboard again by the time we read that it got it: the user has
// moved to another application while we were busy, and the sheet would take the keyboard from it.
void MainWindow::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::ActivationChange && isActiveWindow()) {
        const std::optional<quintptr> keyboard = desktop_.keyboardFocusWindow();
        if (!keyboard || *keyboard == winId())
            raiseSheets();
    }
}

void MainWindow::holdTyping()
{
    if (typingHolds_++ == 0)
        qApp->installEventFilter(this);
}

void MainWindow::releaseTyping()
{
    if (typingHolds_ == 0 || --typingHolds_ > 0)
        return;
    qApp->removeEventFilter(this);
    for (std::unique_ptr<QKeyEvent>& key : std::exchange(heldKeys_, {})) {
        if (QWidget* target = focusWidget() ? focusWidget() : this)
            QCoreApplication::sendEvent(target, key.get());
    }
}

bool MainWindow::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    auto* key = static_cast<QKeyEvent*>(event);
    if (static_cast<QWidget*>(watched)->window() != this
        || key->modifiers() & (Qt::ControlModifier | Qt::AltModifier | Qt::MetaModifier))
        return false;
    heldKeys_.emplace_back(key->clone());
    return true;
}

} // namespace vellicord
