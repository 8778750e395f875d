#include "Tovak/shell/AppDelegate.h"

#include "Tovak/export/SampleData.h"
#include "Tovak/kit/AppNotification.h"
#include "Tovak/kit/ContextMenuKey.h"
#include "Tovak/kit/NotificationCenter.h"
#include "Tovak/kit/SaveFileDialog.h"
#include "Tovak/kit/VellicordMark.h"
#include "Tovak/shell/AppActions.h"
#include "Tovak/shell/CaptureRequest.h"
#include "Tovak/shell/HotKeyManager.h"
#include "Tovak/shell/MainWindow.h"
#include "Tovak/shell/SettingsView.h"
#include "Tovak/shell/StatusMenu.h"
#include "Tovak/shell/UpdateController.h"
#include "core/library/AppLog.h"
#include "core/library/Store.h"
#include "platform/Accessibility.h"
#include "platform/Clock.h"
#include "platform/Desktop.h"
#include "platform/Scheduler.h"

#include <QAction>
#include <QApplication>
#include <QDialog>
#include <QMessageBox>
#include <QPushButton>
#include <QSystemTrayIcon>
#include <QWindow>

namespace vellicord {

AppDelegate::AppDelegate(Services services, QObject* parent)
    : QObject(parent)
    , services_(std::move(services))
    , actions_(std::make_unique<AppActions>())
{
    if (!services_.log)
        services_.log = [](const QString& message) { logAppMessage(message); };
    if (!services_.runModal)
        services_.runModal = [](QMessageBox& box) { return box.exec(); };
    captureRequest_ = std::make_unique<CaptureRequest>(CaptureRequest::Services{
        .store = services_.store,
        .workspace = services_.workspace,
        .accessibility = services_.accessibility,
        .sound = services_.sound,
        .clock = services_.clock,
        .desktop = services_.desktop,
        .capture = services_.capture,
        .processId = services_.processId,
        .log = services_.log,
        .showMainWindow = [this] { showMainWindow(); },
        .showAccessibilityPrompt = [this] { showAccessibilityPrompt(); },
    });
    connectActions();
    refreshActions();
    new ContextMenuKey(this);
    // The library's state decides what the actions offer; it can only lose the right to change.
    connect(&services_.store, &Store::persistenceStatusChanged, this, &AppDelegate::refreshActions);
}

AppDelegate::~AppDelegate()
{
    delete mainWindow_.data();
    delete settingsWindow_.data();
}

QString AppDelegate::accessibilityTitle()
{
    return QStringLiteral("Vellicord needs Accessibility access");
}

QString AppDelegate::accessibilityText()
{
    return QStringLiteral("To read your selected text and capture formatted copies, Vellicord must have "
                          "Accessibility permission.\n\nRun Vellicord on an X display with the XTEST extension "
                          "(an X11 session, or XWayland), then try again.");
}

void AppDelegate::log(const QString& message) const
{
    services_.log(message);
}

ViewServices AppDelegate::viewServices()
{
    return ViewServices{
        .store = services_.store,
        .pasteboard = services_.pasteboard,
        .scheduler = services_.scheduler,
        .clock = services_.clock,
        .defaults = services_.defaults,
        .desktop = services_.desktop,
        .accessibility = services_.accessibility,
        .shortcutDisplay = [&hotKeys = services_.hotKeys] { return hotKeys.currentCombo().display(); },
        .requestCapture = [request = captureRequest_.get()] { request->captureNow(); },
        .fileSystem = services_.fileSystem,
        .chooseSaveFile = SaveFileDialog::run,
        .runModal = [](QDialog& sheet) { sheet.open(); },
    };
}

void AppDelegate::applicationDidFinishLaunching(const QStringList& arguments)
{
    buildStatusItem();

    // The shortcut: the stored one, else the default, else none (the log says so).
    services_.hotKeys.onCapture = [self = QPointer<AppDelegate>(this)] {
        if (self)
            self->captureRequest_->captureNow();
    };
    if (!services_.hotKeys.registerCombo(services_.hotKeys.currentCombo())) {
        const HotKeyCombo fallback = HotKeyCombo::defaultCombo();
        if (services_.hotKeys.registerCombo(fallback))
            log(QStringLiteral("Chosen hotkey was taken; fell back to ") + fallback.display());
        else
            log(QStringLiteral("No hotkey could be registered"));
    }

    QPointer<AppDelegate> self(this);
    const bool showWindow = arguments.contains(QStringLiteral("-showWindowOnLaunch"));
    if (showWindow) {
        services_.scheduler.after(showWindowOnLaunchDelay, [self] {
            if (self)
                self->showMainWindow();
        });
    }
    const bool captureOnLaunch = arguments.contains(QStringLiteral("-captureOnLaunch"));
    if (captureOnLaunch) {
        services_.scheduler.after(captureOnLaunchDelay, [self] {
            if (!self)
                return;
            self->captureRequest_->captureNow();
            if (!self->services_.trayAvailable)
                self->showMainWindowAfterCapture();
        });
    }
    if (showWindow && services_.store.selections().isEmpty()) {
        for (const Selection& sample : SampleData::sampleSelections(services_.clock.now()))
            services_.store.add(sample);
    }

    const auto promptDue = [this] {
        return services_.store.persistenceStatus().shouldShowLaunchAccessibilityPrompt(
            services_.accessibility.isProcessTrusted());
    };
    if (promptDue()) {
        services_.scheduler.after(accessibilityPromptDelay, [self, promptDue] {
            if (self && promptDue())
                self->showAccessibilityPrompt();
        });
    }

    // Without a tray the window is the only way in. A launch capture reads the application in
    // front, so the window waits for it: shown and activated now, it would be that application.
    if (!services_.trayAvailable && !captureOnLaunch)
        showMainWindow();
}

void AppDelegate::showMainWindowAfterCapture()
{
    if (captureRequest_->isCapturing())
        connect(captureRequest_.get(), &CaptureRequest::finished, this, &AppDelegate::showMainWindow,
                Qt::SingleShotConnection);
    else
        showMainWindow();
}

bool AppDelegate::applicationWillTerminate()
{
    const bool finished = captureRequest_->finish(CaptureRequest::waitOnQuit);
    if (const quint64 lost = changesTheDiskRefuses())
        log(QStringLiteral("Lost at quit: %1 to the library could not be written to %2")
                .arg(changesText(lost), services_.store.storeURL()));
    services_.hotKeys.release();
    log(QStringLiteral("Vellicord terminated"));
    return finished;
}

void AppDelegate::quit()
{
    if (const quint64 lost = changesTheDiskRefuses(); lost > 0 && !confirmLosingChanges(lost))
        return;
    QApplication::quit();
}

quint64 AppDelegate::changesTheDiskRefuses()
{
    Store& store = services_.store;
    return store.saveNow() ? 0 : store.unsavedChanges();
}

QString AppDelegate::unsavedChangesTitle()
{
    return QStringLiteral("Your latest changes are not saved");
}

QString AppDelegate::changesText(quint64 changes)
{
    return changes == 1 ? QStringLiteral("1 change") : QStringLiteral("%1 changes").arg(changes);
}

bool AppDelegate::confirmLosingChanges(quint64 changes)
{
    QMessageBox box(QMessageBox::Warning, unsavedChangesTitle(), unsavedChangesTitle());
    box.setInformativeText(
        QStringLiteral("Vellicord could not write %1 to the library file. If you quit now, %2 lost."
                       "\n\nMake room on the disk that holds the library, then quit again.")
            .arg(changesText(changes), changes == 1 ? QStringLiteral("it will be") : QStringLiteral("they will be")));
    QPushButton* keep = box.addButton(QStringLiteral("Keep Vellicord Open"), QMessageBox::RejectRole);
    QPushButton* quit = box.addButton(QStringLiteral("Quit Anyway"), QMessageBox::DestructiveRole);
    box.setDefaultButton(keep);
    box.setEscapeButton(keep);
    services_.runModal(box);
    return box.clickedButton() == quit;
}

void AppDelegate::showMainWindowFromNotification()
{
    log(QStringLiteral("Show-window request from another instance"));
    showMainWindow();
}

void AppDelegate::showAccessibilityPrompt()
{
    QMessageBox box(QMessageBox::Warning, accessibilityTitle(), accessibilityTitle());
    box.setInformativeText(accessibilityText());
    QPushButton* open = box.addButton(QStringLiteral("Open Accessibility Settings"), QMessageBox::AcceptRole);
    box.addButton(QStringLiteral("Later"), QMessageBox::RejectRole);
    box.setDefaultButton(open);
    services_.runModal(box);
    if (box.clickedButton() == open)
        services_.desktop.openAccessibilitySettings();
}

void AppDelegate::connectActions()
{
    const auto on = [this](QAction* action, auto operation) { connect(action, &QAction::triggered, this, operation); };
    on(actions_->about, [this] {
        QMessageBox::about(QApplication::activeWindow(), QStringLiteral("About Vellicord"),
                           QStringLiteral("Vellicord\nVersion %1").arg(services_.bundle.versionString()));
    });
    on(actions_->settings, &AppDelegate::showSettings);
    on(actions_->checkForUpdates, &AppDelegate::checkForUpdates);
    on(actions_->hide, [] {
        // The tray icon is drawn in a window of Qt's own; hidden, it leaves the tray for good.
        for (QWidget* window : QApplication::topLevelWidgets())
            if (window->isVisible() && window->isWindow() && !window->inherits("QSystemTrayIconSys"))
                window->hide();
    });
    on(actions_->quit, &AppDelegate::quit);
    on(actions_->openVellicord, &AppDelegate::showMainWindow);
    on(actions_->captureSelection, [this] { captureRequest_->captureNow(); });
    on(actions_->newPrompt, &AppDelegate::menuNewPrompt);
    on(actions_->goToPrompt, &AppDelegate::openPromptAction);
    on(actions_->openPrompt, &AppDelegate::openPromptAction);
    on(actions_->collectIntoPrompt, &AppDelegate::toggleCollectingAction);
    on(actions_->focusSearch, &AppDelegate::menuFocusSearch);
    on(actions_->closeWindow, [] {
        if (QWidget* window = QApplication::activeWindow())
            window->close();
    });
    // The menu bar's keys reach its own window only, and not while a sheet holds the keyboard there:
    // Quit's key is given to whichever window comes in front (the settings window, a sheet, an alert).
    connect(qApp, &QGuiApplication::focusWindowChanged, this, [this] {
        QWidget* window = QApplication::activeWindow();
        if (window && !window->actions().contains(actions_->quit))
            window->addAction(actions_->quit);
    });
}

void AppDelegate::refreshActions()
{
    actions_->update(AppActions::State{
        .shortcutDisplay = services_.hotKeys.currentCombo().display(),
        .canModifyLibrary = services_.store.canModifyLibrary(),
        .collectIntoActiveDraft = services_.store.collectIntoActiveDraft(),
    });
}

void AppDelegate::buildStatusItem()
{
    statusMenu_ = std::make_unique<StatusMenu>(*actions_, [this] { refreshActions(); });
    if (!services_.trayAvailable)
        return;
    statusItem_ = std::make_unique<QSystemTrayIcon>(VellicordMark::trayIcon());
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
    actions_->collectIntoPrompt->setChecked(collect);
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
    // A window on screen takes the request at once, so that the keys typed right after the
    // command go where it leads (Control-F, then the query).
    const bool onScreen = mainWindow_ && mainWindow_->isVisible() && !mainWindow_->isMinimized();
    showMainWindow();
    if (onScreen) {
        NotificationCenter::defaultCenter().post(name);
        return;
    }
    // A window being shown gets the time to set up its content before the request arrives; what is
    // typed for the search meanwhile waits for the search field.
    const bool search = name == AppNotification::vellicordFocusSearch;
    if (search)
        mainWindow_->holdTyping();
    services_.scheduler.after(windowReadyDelay, [self = QPointer<AppDelegate>(this), name, search] {
        if (!self)
            return;
        NotificationCenter::defaultCenter().post(name);
        if (search && self->mainWindow_)
            self->mainWindow_->releaseTyping();
    });
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
    if (!mainWindow_)
        mainWindow_ = new MainWindow(viewServices(), *actions_);
    bringForward(*mainWindow_);
    mainWindow_->raiseSheets();
}

MainWindow* AppDelegate::mainWindow() const
{
    return mainWindow_;
}

QWidget* AppDelegate::settingsWindow() const
{
    return settingsWindow_;
}

void AppDelegate::showSettings()
{
    if (!settingsWindow_) {
        settingsWindow_ = SettingsView::makeWindow(SettingsView::Services{.hotKeys = &services_.hotKeys,
                                                                          .loginItem = &services_.loginItem,
                                                                          .libraryPath = services_.libraryPath,
                                                                          .version = services_.bundle.versionString(),
                                                                          .log = services_.log},
                                                   services_.defaults);
        settingsWindow_->addAction(actions_->closeWindow);
    }
    bringForward(*settingsWindow_);
}

} // namespace vellicord
