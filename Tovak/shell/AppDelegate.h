#pragma once

#include "Tovak/shell/BundleInfo.h"
#include "Tovak/shell/CaptureToastController.h"
#include "core/capture/SelectionCapture.h"

#include <QMainWindow>
#include <QObject>
#include <QPointer>
#include <QStringList>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>

class QMessageBox;
class QSettings;
class QSystemTrayIcon;

namespace vellicord {

class Accessibility;
class HotKeyManager;
class LoginItem;
class Sound;
class StatusMenu;
class Store;
class UpdateController;
class Workspace;

// The one application object of the interactive program: owns the windows, the tray icon and its
// menu and the capture confirmation; turns capture requests into saved captures; orders the
// steps after launch and before the process ends. Main thread only, apart from the capture itself.
class AppDelegate final : public QObject {
    Q_OBJECT
public:
    // What the delegate works with; all must outlive it.
    struct Services {
        Store& store;
        HotKeyManager& hotKeys;
        Workspace& workspace;         // the frontmost application
        Accessibility& accessibility; // whether captures may read other applications
        Sound& sound;
        LoginItem& loginItem;
        UpdateController& updates;
        QSettings& windowDefaults; // the windows' frames
        // One capture, run on a worker thread; it blocks for up to a few seconds.
        std::function<SelectionCapture::Outcome()> capture;
        BundleInfo bundle;
        QString libraryPath;
        qint64 processId = 0; // this process, to tell our own windows in front
        // Where the delegate's log lines go; logApp by default.
        std::function<void(const QString&)> log;
        // Shows a modal alert; QMessageBox::exec by default (tests answer it themselves).
        std::function<int(QMessageBox&)> runModal;
        // Opens the desktop's accessibility settings; the default looks for the desktop's settings tool.
        std::function<void()> openAccessibilitySettings;
        // Whether a tray is there to hold the icon.
        bool trayAvailable = true;
    };

    static constexpr std::chrono::milliseconds showWindowOnLaunchDelay{600};
    static constexpr std::chrono::milliseconds captureOnLaunchDelay{1200};
    static constexpr std::chrono::milliseconds accessibilityPromptDelay{400};
    static constexpr std::chrono::milliseconds windowReadyDelay{350};
    static constexpr std::chrono::milliseconds captureWaitOnQuit{2000};

    explicit AppDelegate(Services services, QObject* parent = nullptr);
    ~AppDelegate() override;

    // The running delegate, while there is one.
    static AppDelegate* shared();

    // The steps after launch: the show-window requests, the tray icon and its menu, the shortcut,
    // the launch options and the Accessibility prompt. No window opens unless asked for.
    void applicationDidFinishLaunching(const QStringList& arguments);
    // Before the process ends: waits for a running capture (so the clipboard is put back), saves
    // the library synchronously, releases the shortcut. False when the capture was still running.
    bool applicationWillTerminate();

    void showMainWindowFromNotification();
    // A click on the tray icon, or a second launch.
    void reopen() { showMainWindow(); }

    void captureNow();
    void showMainWindow();
    void showSettings();
    void menuNewPrompt();
    void openPromptAction();
    void menuFocusSearch();
    void toggleCollectingAction();
    void checkForUpdates();

    void showAccessibilityPrompt();
    void openAccessibilitySettings();

    bool isCapturing() const { return capturing_; }
    // Waits for the capture that is running on its thread; true when none is running.
    bool waitForCapture(std::chrono::milliseconds limit);

    QMainWindow* mainWindow() const { return mainWindow_; }
    QWidget* settingsWindow() const { return settingsWindow_; }
    // The welcome sheet over the main window, while it is up.
    QWidget* welcomeSheet() const { return welcome_; }
    StatusMenu* statusMenu() const { return statusMenu_.get(); }
    CaptureToastController& toast() { return toast_; }

    static QString ownAppInFrontMessage();
    static QString captureFailedMessage();
    static QString accessibilityTitle();
    static QString accessibilityText();

private:
    struct CaptureJob;

    // No outcome: the capture failed in a way it could not name.
    void complete(const std::optional<SelectionCapture::Outcome>& outcome);
    void refuse(const QString& message);
    void postAfterWindowReady(const QString& name);
    void buildStatusItem();
    void log(const QString& message) const;
    bool isAccessibilityTrusted() const;

    Services services_;
    CaptureToastController toast_;
    bool capturing_ = false;
    std::shared_ptr<CaptureJob> job_;
    QPointer<QMainWindow> mainWindow_;
    QPointer<QWidget> settingsWindow_;
    QPointer<QWidget> welcome_;
    std::unique_ptr<StatusMenu> statusMenu_;
    std::unique_ptr<QSystemTrayIcon> statusItem_;
};

} // namespace vellicord
