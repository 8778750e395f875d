#include "Tovak/shell/AppDelegate.h"

#include "Tovak/export/SampleData.h"
#include "Tovak/kit/FrameAutosave.h"
#include "Tovak/library/LibraryPlaceholderView.h"
#include "Tovak/shell/AppNotification.h"
#include "Tovak/shell/HotKeyManager.h"
#include "Tovak/shell/MainMenu.h"
#include "Tovak/shell/NotificationCenter.h"
#include "Tovak/shell/SettingsView.h"
#include "Tovak/shell/StatusMenu.h"
#include "Tovak/shell/UpdateController.h"
#include "Tovak/shell/VellicordMark.h"
#include "Tovak/shell/WelcomeView.h"
#include "core/library/AppLog.h"
#include "core/library/Store.h"
#include "platform/Accessibility.h"
#include "platform/Sound.h"
#include "platform/Workspace.h"

#include <QApplication>
#include <QDateTime>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QScreen>
#include <QStandardPaths>
#include <QSystemTrayIcon>
#include <QTimer>
#include <QUuid>

#include <condition_variable>
#include <mutex>
#include <thread>

namespace vellicord {

using namespace std::chrono_literals;

namespace {

QPointer<AppDelegate> sharedDelegate;

} // namespace

// The state of one capture shared with its thread: the thread may outlive a delegate that gave up
// waiting for it.
struct AppDelegate::CaptureJob {
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
};

AppDelegate::AppDelegate(Services services, QObject* parent)
    : QObject(parent)
    , services_(std::move(services))
{
    if (!services_.log)
        services_.log = [](const QString& message) { logAppMessage(message); };
    if (!services_.runModal)
        services_.runModal = [](QMessageBox& box) { return box.exec(); };
}

AppDelegate::~AppDelegate()
{
    waitForCapture(captureWaitOnQuit);
    delete mainWindow_.data();
    delete settingsWindow_.data();
}

AppDelegate* AppDelegate::shared()
{
    return sharedDelegate.data();
}

QString AppDelegate::ownAppInFrontMessage()
{
    return QStringLiteral("You're inside Vellicord. Switch to the app that has your text selected, then press the hotkey.");
}

QString AppDelegate::captureFailedMessage()
{
    return QStringLiteral("Vellicord could not capture the selected text.");
}

QString AppDelegate::accessibilityTitle()
{
    return QStringLiteral("Vellicord needs Accessibility access");
}

QString AppDelegate::accessibilityText()
{
    return QStringLiteral("To read your selected text and capture formatted copies, Vellicord must have "
                          "Accessibility permission.\n\nOpen System Settings → Privacy & Security → "
                          "Accessibility, switch on Vellicord, then try again.");
}

void AppDelegate::log(const QString& message) const
{
    services_.log(message);
}

bool AppDelegate::isAccessibilityTrusted() const
{
    return services_.accessibility.isProcessTrusted();
}

void AppDelegate::applicationDidFinishLaunching(const QStringList& arguments)
{
    sharedDelegate = this;
    buildStatusItem();

    // The shortcut: the stored one, else the default, else none (the log says so).
    services_.hotKeys.onCapture = [self = QPointer<AppDelegate>(this)] {
        if (self)
            self->captureNow();
    };
    if (!services_.hotKeys.registerCombo(services_.hotKeys.currentCombo())) {
        const HotKeyCombo fallback = HotKeyCombo::defaultCombo();
        if (services_.hotKeys.registerCombo(fallback))
            log(QStringLiteral("Chosen hotkey was taken; fell back to ") + fallback.display());
        else
            log(QStringLiteral("No hotkey could be registered"));
    }

    const bool showWindow = arguments.contains(QStringLiteral("-showWindowOnLaunch"));
    if (showWindow)
        QTimer::singleShot(showWindowOnLaunchDelay, this, &AppDelegate::showMainWindow);
    if (arguments.contains(QStringLiteral("-captureOnLaunch")))
        QTimer::singleShot(captureOnLaunchDelay, this, &AppDelegate::captureNow);
    if (showWindow && services_.store.selections().isEmpty()) {
        for (const Selection& sample : SampleData::sampleSelections(QDateTime::currentDateTimeUtc()))
            services_.store.add(sample);
    }

    const auto promptDue = [this] {
        return services_.store.persistenceStatus().shouldShowLaunchAccessibilityPrompt(isAccessibilityTrusted());
    };
    if (promptDue()) {
        QTimer::singleShot(accessibilityPromptDelay, this, [this, promptDue] {
            if (promptDue())
                showAccessibilityPrompt();
        });
    }

    // Without a tray the window is the only way in.
    if (!services_.trayAvailable)
        showMainWindow();
}

bool AppDelegate::applicationWillTerminate()
{
    // The capture puts the user's clipboard back through the main thread, so the main thread
    // keeps serving while it waits.
    QElapsedTimer waited;
    waited.start();
    bool finished = waitForCapture(0ms);
    while (!finished && waited.elapsed() < captureWaitOnQuit.count()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        finished = waitForCapture(5ms);
    }
    if (finished) {
        // A capture that ended while we waited still belongs in the library.
        QCoreApplication::sendPostedEvents(qApp, QEvent::MetaCall);
    }
    services_.store.saveNow();
    services_.hotKeys.release();
    log(QStringLiteral("Vellicord terminated"));
    return finished;
}

void AppDelegate::showMainWindowFromNotification()
{
    log(QStringLiteral("Show-window request from another instance"));
    showMainWindow();
}

// MARK: - Capture

void AppDelegate::refuse(const QString& message)
{
    toast_.present(CaptureToastController::failureContent(message));
    services_.sound.beep();
}

void AppDelegate::captureNow()
{
    if (capturing_)
        return;

    if (const std::optional<QString> blocked = services_.store.persistenceStatus().blockedCaptureMessage()) {
        showMainWindow();
        refuse(*blocked);
        return;
    }

    if (!isAccessibilityTrusted()) {
        showAccessibilityPrompt();
        return;
    }

    // Only a window of this very process counts as being inside Vellicord: on Linux many
    // applications have no identifier, and they must not be taken for us.
    const std::optional<RunningApplication> front = services_.workspace.frontmostApplication();
    if (front && front->pid > 0 && front->pid == services_.processId) {
        refuse(ownAppInFrontMessage());
        return;
    }

    capturing_ = true;
    log(QStringLiteral("Capture started"));
    auto job = std::make_shared<CaptureJob>();
    job_ = job;
    QPointer<AppDelegate> self(this);
    QObject* mainContext = QCoreApplication::instance();
    std::thread([job, capture = services_.capture, self, mainContext] {
        std::optional<SelectionCapture::Outcome> outcome;
        try {
            outcome = capture();
        } catch (...) {
            // Reported as a capture that failed for no known reason.
        }
        QMetaObject::invokeMethod(
            mainContext,
            [self, outcome = std::move(outcome)] {
                if (self)
                    self->complete(outcome);
            },
            Qt::QueuedConnection);
        std::lock_guard lock(job->mutex);
        job->done = true;
        job->finished.notify_all();
    }).detach();
}

bool AppDelegate::waitForCapture(std::chrono::milliseconds limit)
{
    if (!job_)
        return true;
    std::unique_lock lock(job_->mutex);
    return job_->finished.wait_for(lock, limit, [this] { return job_->done; });
}

void AppDelegate::complete(const std::optional<SelectionCapture::Outcome>& outcome)
{
    capturing_ = false;
    job_.reset();

    if (!outcome || std::holds_alternative<CaptureError>(*outcome)) {
        const QString message = outcome ? std::get<CaptureError>(*outcome).errorDescription() : captureFailedMessage();
        refuse(message);
        log(QStringLiteral("Capture failed: ") + message);
        return;
    }

    const auto& result = std::get<CaptureResult>(*outcome);
    const Selection selection(QUuid::createUuid(), result.text, result.markdown, result.appName, result.bundleID,
                              result.sourceURL, result.sourceTitle, result.filePath, {},
                              QDateTime::currentDateTimeUtc());
    Store& store = services_.store;
    store.add(selection);
    const bool addedToPrompt = store.collectIntoActiveDraft() && store.addSelectionToActiveDraft(selection.id);
    toast_.showSaved(selection, addedToPrompt);
    services_.sound.playPop();
    log(QStringLiteral("Saved selection from ") + result.appName
        + (addedToPrompt ? QStringLiteral(" + prompt") : QString()));
}

// MARK: - Accessibility

void AppDelegate::showAccessibilityPrompt()
{
    QMessageBox box(QMessageBox::Warning, accessibilityTitle(), accessibilityTitle());
    box.setInformativeText(accessibilityText());
    QPushButton* open = box.addButton(QStringLiteral("Open System Settings"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("Later"), QMessageBox::RejectRole);
    box.setDefaultButton(open);
    services_.runModal(box);
    if (box.clickedButton() == open)
        openAccessibilitySettings();
}

void AppDelegate::openAccessibilitySettings()
{
    if (services_.openAccessibilitySettings) {
        services_.openAccessibilitySettings();
        return;
    }
    // The desktop's own accessibility settings, where it has a settings tool we know; nothing else.
    const QList<QStringList> tools = {
        {QStringLiteral("gnome-control-center"), QStringLiteral("universal-access")},
        {QStringLiteral("systemsettings"), QStringLiteral("kcm_access")},
        {QStringLiteral("xfce4-accessibility-settings")},
    };
    for (const QStringList& tool : tools) {
        const QString program = QStandardPaths::findExecutable(tool.first());
        if (!program.isEmpty()) {
            QProcess::startDetached(program, tool.mid(1));
            return;
        }
    }
}

// MARK: - Menus and windows

void AppDelegate::buildStatusItem()
{
    statusMenu_ = std::make_unique<StatusMenu>(StatusMenu::Actions{
        [this] { showMainWindow(); },
        [this] { captureNow(); },
        [this] { menuNewPrompt(); },
        [this] { openPromptAction(); },
        [this] { toggleCollectingAction(); },
        [this] { checkForUpdates(); },
        [this] { showSettings(); },
        [] { QApplication::quit(); },
        [this] { return services_.hotKeys.currentCombo().display(); },
        [this] { return services_.store.canModifyLibrary(); },
        [this] { return services_.store.collectIntoActiveDraft(); },
    });
    statusMenu_->refresh();
    if (!services_.trayAvailable)
        return;
    statusItem_ = std::make_unique<QSystemTrayIcon>(
        VellicordMark::statusIcon(QApplication::palette().color(QPalette::WindowText)));
    statusItem_->setToolTip(QStringLiteral("Vellicord — capture and browse selections"));
    statusItem_->setContextMenu(statusMenu_.get());
    connect(statusItem_.get(), &QSystemTrayIcon::activated, this, [this](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger || reason == QSystemTrayIcon::DoubleClick)
            reopen();
    });
    statusItem_->show();
}

void AppDelegate::toggleCollectingAction()
{
    Store& store = services_.store;
    if (!store.canModifyLibrary())
        return;
    const bool collect = !store.collectIntoActiveDraft();
    store.setCollectIntoActiveDraft(collect);
    if (statusMenu_)
        statusMenu_->collectItem()->setChecked(collect);
    log(collect ? QStringLiteral("Collect into Prompt: ON") : QStringLiteral("Collect into Prompt: OFF"));
}

void AppDelegate::checkForUpdates()
{
    services_.updates.checkForUpdates(QApplication::activeWindow());
}

void AppDelegate::menuNewPrompt()
{
    if (services_.store.canModifyLibrary())
        postAfterWindowReady(AppNotification::vellicordNewPrompt);
}

void AppDelegate::openPromptAction()
{
    if (services_.store.canModifyLibrary())
        postAfterWindowReady(AppNotification::vellicordOpenPrompt);
}

void AppDelegate::menuFocusSearch()
{
    postAfterWindowReady(AppNotification::vellicordFocusSearch);
}

void AppDelegate::postAfterWindowReady(const QString& name)
{
    showMainWindow();
    // A window made just now gets the time to set up its content before the request arrives.
    QTimer::singleShot(windowReadyDelay, this, [name] { NotificationCenter::defaultCenter().post(name); });
}

namespace {

void bringForward(QWidget& window)
{
    window.show();
    window.setWindowState(window.windowState() & ~Qt::WindowMinimized);
    window.raise();
    window.activateWindow();
}

} // namespace

void AppDelegate::showMainWindow()
{
    if (!mainWindow_) {
        auto* window = new QMainWindow;
        window->setObjectName(QStringLiteral("VellicordMainWindow"));
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        window->setCentralWidget(new LibraryPlaceholderView(services_.store, window));
        window->setWindowTitle(QStringLiteral("Vellicord"));
        window->setMinimumSize(980, 600);
        window->resize(1120, 660);
        MainMenu::build(*window->menuBar(), *this, services_.store.canModifyLibrary());
        auto* autosave = new FrameAutosave(*window, services_.windowDefaults, QStringLiteral("VellicordMainWindow"));
        if (!autosave->restored()) {
            if (const QScreen* screen = QGuiApplication::primaryScreen()) {
                QRect frame(QPoint(), window->size());
                frame.moveCenter(screen->availableGeometry().center());
                window->move(frame.topLeft());
            }
        }
        mainWindow_ = window;
    }
    bringForward(*mainWindow_);
    // An empty library greets the user each time the window comes up.
    if (!welcome_ && services_.store.selections().isEmpty() && services_.store.canModifyLibrary()) {
        auto* welcome = new WelcomeView(!isAccessibilityTrusted(), services_.hotKeys.currentCombo().display(),
                                        [this] { openAccessibilitySettings(); }, mainWindow_);
        welcome->setAttribute(Qt::WA_DeleteOnClose);
        welcome->setWindowModality(Qt::WindowModal);
        welcome_ = welcome;
        welcome->open();
    }
}

void AppDelegate::showSettings()
{
    if (!settingsWindow_) {
        auto* view = new SettingsView(SettingsView::Services{&services_.hotKeys, &services_.loginItem,
                                                             services_.libraryPath, services_.bundle.versionString(),
                                                             services_.log});
        view->setObjectName(QStringLiteral("VellicordSettingsWindow"));
        view->setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint | Qt::WindowCloseButtonHint
                             | Qt::WindowMaximizeButtonHint);
        view->setWindowTitle(QStringLiteral("Settings"));
        view->setMinimumSize(440, 300);
        view->resize(520, 360);
        new FrameAutosave(*view, services_.windowDefaults, QStringLiteral("VellicordSettingsWindow"));
        settingsWindow_ = view;
    }
    bringForward(*settingsWindow_);
}

} // namespace vellicord
