// From a press of the global shortcut to the capture in the library, with the application's own
// objects (shortcut, delegate, capture, store) over a real X client that answers the copy at once.
// Needs an X server: without DISPLAY it runs itself under xvfb-run.
#include "Tovak/shell/AppDelegate.h"
#include "Tovak/shell/CaptureRequest.h"
#include "Tovak/shell/HotKeyManager.h"
#include "Tovak/shell/UpdateController.h"
#include "bench/X11BenchMain.h"
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

#include <QApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <vector>

#include <unistd.h>

// Xlib's macros (None, Bool) clash with Qt's names: after every Qt header.
#include "bench/PressShortcut.h"

namespace {

using namespace vellicord;

void spin(int ms, const std::function<bool()>& done = {})
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < ms && !(done && done()))
        QCoreApplication::processEvents(QEventLoop::AllEvents, 2);
}

void ShortcutPressToCaptureInStore(benchmark::State& state)
{
    QTemporaryDir home;
    PosixFileSystem files;
    SettingsDefaults defaults(QStringLiteral("com.ruvo.vellicord"), home.path());
    ThreadSerialQueue saveQueue("com.vellicord.store.save");
    TimerScheduler scheduler(qApp);
    SystemClock clock;
    Store store(
        home.filePath(QStringLiteral("Vellicord/Vellicord.json")),
        Store::Services{
            .fileSystem = files, .defaults = defaults, .saveQueue = saveQueue, .scheduler = scheduler, .clock = clock});
    X11CaptureServices capture{clock};
    X11HotKeys keys;
    HotKeyManager hotKeys(keys, defaults);
    FakeSound sound;
    FakeLoginItem loginItem;
    FakeDesktop desktop;
    UpdateController updates{BundleInfo{}};
    AppDelegate delegate(AppDelegate::Services{
        .store = store,
        .pasteboard = capture.pasteboard(),
        .scheduler = scheduler,
        .clock = clock,
        .defaults = defaults,
        .desktop = desktop,
        .accessibility = capture.services().accessibility,
        .workspace = capture.services().workspace,
        .sound = sound,
        .hotKeys = hotKeys,
        .loginItem = loginItem,
        .updates = updates,
        .fileSystem = files,
        .capture = [&capture] { return SelectionCapture(capture.services()).capture(); },
        .processId = QCoreApplication::applicationPid(),
        .log = [](const QString&) {},
    });
    hotKeys.onCapture = [&] { delegate.captureRequest().captureNow(); };
    Display* sender = XOpenDisplay(nullptr);
    if (!sender || !hotKeys.registerCombo(HotKeyCombo::defaultCombo())) {
        state.SkipWithError("no X server or the shortcut is taken");
        return;
    }

    QProcess window;
    window.start(QStringLiteral(SELECTION_WINDOW_PATH),
                 {QStringLiteral("--text"), QStringLiteral("a passage to keep")});
    QByteArray output;
    spin(5000, [&] {
        window.waitForReadyRead(5);
        output += window.readAllStandardOutput();
        return output.contains('\n');
    });
    // The first synthetic key switches the server's keyboard device; the shortcut is grabbed anew.
    XTestFakeKeyEvent(sender, XKeysymToKeycode(sender, XK_Shift_L), True, CurrentTime);
    XTestFakeKeyEvent(sender, XKeysymToKeycode(sender, XK_Shift_L), False, CurrentTime);
    XFlush(sender);
    spin(300);

    std::vector<double> milliseconds;
    for (auto _ : state) {
        const qsizetype before = store.selections().size();
        QElapsedTimer timer;
        timer.start();
        vellicord::bench::pressShortcut(sender);
        spin(5000, [&] { return store.selections().size() > before; });
        const double elapsed = double(timer.nsecsElapsed()) / 1e6;
        state.SetIterationTime(elapsed / 1e3);
        milliseconds.push_back(elapsed);
        spin(100);
    }
    bench::reportLatencies(state, milliseconds);
    state.counters["saved"] = double(store.selections().size());
    window.kill();
    window.waitForFinished(2000);
    delegate.applicationWillTerminate();
    XCloseDisplay(sender);
}
BENCHMARK(ShortcutPressToCaptureInStore)->Iterations(20)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return vellicord::bench::runOnX11(argc, argv, vellicord::bench::Application::widgets);
}
