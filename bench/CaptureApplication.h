#pragma once

// The application's own objects from a press of the global shortcut to the capture in the
// library, as the capture benchmarks set them up: a store in a temporary folder, the shortcut,
// the delegate and the desktop's capture services of an X11 session.

#include "Tovak/shell/AppDelegate.h"
#include "Tovak/shell/CaptureRequest.h"
#include "Tovak/shell/HotKeyManager.h"
#include "Tovak/shell/UpdateController.h"
#include "core/library/Store.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/ThreadSerialQueue.h"
#include "platform/qt/SettingsDefaults.h"
#include "platform/qt/SystemClock.h"
#include "platform/qt/TimerScheduler.h"
#include "platform/x11/X11CaptureServices.h"
#include "platform/x11/X11HotKeys.h"
#include "platform/x11/X11Pasteboard.h"
#include "support/FakeDesktop.h"
#include "support/FakeLoginItem.h"
#include "support/FakeSound.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTemporaryDir>

#include <functional>

namespace vellicord::bench {

// Runs the event loop for up to ms milliseconds, or until done.
inline void spin(int ms, const std::function<bool()>& done = {})
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms && !(done && done()))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
}

struct CaptureApplication {
    QTemporaryDir home;
    PosixFileSystem files;
    SettingsDefaults defaults{QStringLiteral("com.ruvo.vellicord"), home.path()};
    ThreadSerialQueue saveQueue{"com.vellicord.store.save"};
    TimerScheduler scheduler{qApp};
    SystemClock clock;
    Store store{
        home.filePath(QStringLiteral("Vellicord/Vellicord.json")),
        Store::Services{
            .fileSystem = files, .defaults = defaults, .saveQueue = saveQueue, .scheduler = scheduler, .clock = clock}};
    X11CaptureServices desktopServices{clock};
    // What a press of the shortcut runs on the capture's thread: a capture over the desktop's
    // services, unless a benchmark puts its own here.
    std::function<SelectionCapture::Outcome()> capture
        = [this] { return SelectionCapture(desktopServices.services()).capture(); };
    X11HotKeys keys;
    HotKeyManager hotKeys{keys, defaults};
    FakeSound sound;
    FakeLoginItem loginItem;
    FakeDesktop desktop;
    UpdateController updates{BundleInfo{}};
    AppDelegate delegate{AppDelegate::Services{
        .store = store,
        .pasteboard = desktopServices.pasteboard(),
        .scheduler = scheduler,
        .clock = clock,
        .defaults = defaults,
        .desktop = desktop,
        .accessibility = desktopServices.services().accessibility,
        .workspace = desktopServices.services().workspace,
        .sound = sound,
        .hotKeys = hotKeys,
        .loginItem = loginItem,
        .updates = updates,
        .fileSystem = files,
        .capture = [this] { return capture(); },
        .processId = QCoreApplication::applicationPid(),
        .log = [](const QString&) {},
    }};

    CaptureApplication()
    {
        hotKeys.onCapture = [this] { delegate.captureRequest().captureNow(); };
    }
    ~CaptureApplication() { delegate.applicationWillTerminate(); }
    CaptureApplication(const CaptureApplication&) = delete;
    CaptureApplication& operator=(const CaptureApplication&) = delete;
};

} // namespace vellicord::bench
