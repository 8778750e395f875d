#pragma once

#include "Tovak/kit/ViewServices.h"
#include "Tovak/shell/BundleInfo.h"
#include "core/capture/SelectionCapture.h"

#include <QObject>
#include <QPointer>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>

class QMessageBox;
class QSystemTrayIcon;

namespace vellicord {

class Accessibility;
class AppActions;
class CaptureRequest;
class Clock;
class Defaults;
class Desktop;
class FileSystem;
class HotKeyManager;
class LoginItem;
class MainWindow;
class Pasteboard;
class Scheduler;
class SettingsView;
class Sound;
class StatusMenu;
class Store;
class UpdateController;
class Workspace;

// The application object of the interactive program: starts, wires and stops. It orders the steps
// after launch and before the process ends, makes the windows on demand and the tray icon, and
// connects the application's actions to its operations; the windows draw themselves and the
// capture request runs the captures. Main thread only.
class AppDelegate final : public QObject {
    Q_OBJECT
public:
    // What the delegate works with; all must outlive it.
    struct Services {
        Store& store;
        Pasteboard& pasteboard;
        Scheduler& scheduler; // the launch and menu delays
        Clock& clock;
        Defaults& defaults; // the application's settings, the windows' frames among them
        Desktop& desktop;
        Accessibility& accessibility; // whether captures may read other applications
        Workspace& workspace; // the frontmost application
        Sound& sound;
        HotKeyManager& hotKeys;
        LoginItem& loginItem;
        UpdateController& updates;
        FileSystem& fileSystem; // where the views write what the user saves
        // One capture, run on a worker thread; it blocks for up to a few seconds.
        std::function<SelectionCapture::Outcome()> capture;
        BundleInfo bundle;
        QString libraryPath;
        qint64 processId = 0; // this process, to tell our own windows in front
        // Where the delegate's log lines go; logApp by default.
        std::function<void(const QString&)> log;
        // Shows a modal alert; QMessageBox::exec by default (tests answer it themselves).
        std::function<int(QMessageBox&)> runModal;
        // Whether a tray is there to hold the icon.
        bool trayAvailable = true;
    };

    static constexpr std::chrono::milliseconds showWindowOnLaunchDelay{600};
    static constexpr std::chrono::milliseconds captureOnLaunchDelay{1200};
    static constexpr std::chrono::milliseconds accessibilityPromptDelay{400};
    static constexpr std::chrono::milliseconds windowReadyDelay{350};

    explicit AppDelegate(Services services, QObject* parent = nullptr);
    ~AppDelegate() override;

    // The steps after launch: the tray icon and its menu, the shortcut, the launch options and
    // the Accessibility prompt. No window opens unless asked for (or there is no tray).
    void applicationDidFinishLaunching(const QStringList& arguments);
    // Before the process ends: waits for a running capture (so the clipboard is put back), saves
    // the library synchronously, releases the shortcut. False when the capture was still running.
    // Changes the library file still cannot take are lost then, and the log says how many.
    bool applicationWillTerminate();
    // The user's Quit: saves first; when changes still cannot be written, quits only if the user
    // chooses to lose them.
    void quit();

    void showMainWindowFromNotification();
    // A click on the tray icon, or a second launch.
    void reopen() { showMainWindow(); }

    void showMainWindow();
    void showSettings();
    void menuNewPrompt();
    void openPromptAction();
    void menuFocusSearch();
    void toggleCollectingAction();
    void checkForUpdates();
    void showAccessibilityPrompt();

    // What every view works with, the delegate's shortcut and capture request included.
    ViewServices viewServices();

    CaptureRequest& captureRequest() { return *captureRequest_; }
    AppActions& actions() { return *actions_; }
    // The main window, once it was shown.
    MainWindow* mainWindow() const;
    QWidget* settingsWindow() const;
    StatusMenu* statusMenu() const { return statusMenu_.get(); }

    static QString accessibilityTitle();
    static QString accessibilityText();
    static QString unsavedChangesTitle();
    // "1 change" or "N changes".
    static QString changesText(quint64 changes);

private:
    void connectActions();
    void refreshActions();
    void postAfterWindowReady(const QString& name);
    void showMainWindowAfterCapture();
    bool confirmLosingChanges(quint64 changes);
    // Saves once more; the changes still not on disk after it (none when it succeeded).
    quint64 changesTheDiskRefuses();
    void buildStatusItem();
    void log(const QString& message) const;

    Services services_;
    std::unique_ptr<AppActions> actions_;
    std::unique_ptr<CaptureRequest> captureRequest_;
    QPointer<MainWindow> mainWindow_;
    QPointer<SettingsView> settingsWindow_;
    std::unique_ptr<StatusMenu> statusMenu_;
    std::unique_ptr<QSystemTrayIcon> statusItem_;
};

} // namespace vellicord
