#include "Tovak/export/AppScreenshotExporter.h"
#include "Tovak/export/RenderEnvironment.h"
#include "Tovak/kit/Theme.h"
#include "Tovak/kit/VellicordMark.h"
#include "Tovak/shell/AppDelegate.h"
#include "Tovak/shell/BundleInfo.h"
#include "Tovak/shell/CommandLine.h"
#include "Tovak/shell/HotKeyManager.h"
#include "Tovak/shell/UpdateController.h"
#include "core/library/AppDataMigration.h"
#include "core/library/AppLog.h"
#include "core/library/FileLogger.h"
#include "core/library/Store.h"
#include "platform/CarbonKeys.h"
#include "platform/NativePath.h"
#include "platform/posix/PosixFileSystem.h"
#include "platform/posix/ThreadSerialQueue.h"
#include "platform/qt/SettingsDefaults.h"
#include "platform/qt/SingleInstance.h"
#include "platform/qt/SystemClock.h"
#include "platform/qt/SystemSound.h"
#include "platform/qt/TimerScheduler.h"
#include "platform/x11/ClipboardKeeper.h"
#include "platform/x11/X11CaptureServices.h"
#include "platform/x11/X11HotKeys.h"
#include "platform/x11/X11Pasteboard.h"
#include "platform/xdg/XdgAutostart.h"
#include "platform/xdg/XdgDesktop.h"

#include <QApplication>
#include <QLocale>
#include <QMessageBox>
#include <QSocketNotifier>
#include <QSystemTrayIcon>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <span>

#include <sys/socket.h>
#include <unistd.h>

using namespace vellicord;

namespace {

// Paths among them keep their bytes, also those that are not UTF-8.
QStringList argumentList(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(NativePath::decode(argv[i]));
    return arguments;
}

// Qt ends the process when it cannot reach a display; say so plainly instead.
bool hasDisplay()
{
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM");
    if (!platform.isEmpty() && !platform.startsWith(u"xcb") && !platform.startsWith(u"wayland"))
        return true;
    return !qEnvironmentVariableIsEmpty("DISPLAY") || !qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY");
}

const QString adoptionFailure = QStringLiteral(
    "Vellicord could not copy your existing Tovak data. Your data was not changed, and Vellicord did not "
    "start. Resolve the local storage problem, then open Vellicord again.");

// SIGTERM, SIGINT and SIGHUP: a terminal closed or Control-C pressed, a logout, a kill.
constexpr int terminationSignals[] = {SIGTERM, SIGINT, SIGHUP};

void handleSignals(std::span<const int> signals, void (*handler)(int))
{
    struct sigaction action = {};
    action.sa_handler = handler;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    for (const int signal : signals)
        ::sigaction(signal, &action, nullptr);
}

// They end the application the normal way (library saved, shortcut released): the handler only
// writes a byte, which the event loop reads.
int signalPipe[2] = {-1, -1};

void onTerminationSignal(int)
{
    const char byte = 1;
    [[maybe_unused]] const ssize_t written = ::write(signalPipe[1], &byte, 1);
}

void quitOnTerminationSignals(QObject& context)
{
    if (::socketpair(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC, 0, signalPipe) != 0)
        return;
    auto* notifier = new QSocketNotifier(signalPipe[0], QSocketNotifier::Read, &context);
    QObject::connect(notifier, &QSocketNotifier::activated, &context, [] {
        char byte;
        [[maybe_unused]] const ssize_t read = ::read(signalPipe[0], &byte, 1);
        QApplication::quit();
    });
    handleSignals(terminationSignals, onTerminationSignal);
}

// What the user copied stays on the clipboard after we end, also when it was we who put it back.
// Returns how: a clipboard manager takes it only as the application object goes.
X11Pasteboard::Handover keepClipboard(X11Pasteboard& pasteboard)
{
    const QString keeper = QCoreApplication::applicationDirPath() + u'/' + QLatin1String(ClipboardKeeper::programName);
    const X11Pasteboard::Handover handover = pasteboard.keepAfterExit(keeper);
    switch (handover) {
    case X11Pasteboard::Handover::notOurs: break;
    case X11Pasteboard::Handover::manager: logApp(QStringLiteral("Clipboard left to the clipboard manager")); break;
    case X11Pasteboard::Handover::keeper:
        logApp(QStringLiteral("Clipboard kept after exit by vellicord-clipboard"));
        break;
    case X11Pasteboard::Handover::keeperStarting:
        logApp(QStringLiteral("Clipboard left to vellicord-clipboard, which had not taken it yet"));
        break;
    case X11Pasteboard::Handover::failed:
        logApp(QStringLiteral("Clipboard could not be kept after exit: ") + keeper + QStringLiteral(" did not start"));
        break;
    }
    return handover;
}

// During an export the termination signals, and SIGQUIT (Control-\ in a terminal), are only
// noted. The export stops before its next image and removes its throwaway folders on the way out,
// as after any error; then the process ends by that signal, as it would have at once.
constexpr int exportInterruptions[] = {SIGTERM, SIGINT, SIGHUP, SIGQUIT};
volatile std::sig_atomic_t exportInterruption = 0;

void onExportSignal(int signal)
{
    exportInterruption = signal;
}

void endByNotedSignal()
{
    if (const int signal = exportInterruption) {
        std::signal(signal, SIG_DFL);
        std::raise(signal);
    }
}

// The export prints its one result line and nothing else: Qt's warnings and the library's log
// lines would otherwise reach standard error.
void discardMessage(QtMsgType, const QMessageLogContext&, const QString&)
{
}

// Runs an export in a fixed rendering environment with a QApplication of its own, which is gone
// again when it returns, as is everything the export made.
void runExport(int& argc, char** argv, const std::function<void(const ExportServices&)>& work)
{
    handleSignals(exportInterruptions, onExportSignal);
    RenderEnvironment environment;
    qInstallMessageHandler(discardMessage);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QApplication application(argc, argv);
    RenderEnvironment::checkFonts();
    QApplication::setCursorFlashTime(0);
    Theme::apply(application, Appearance::light);
    PosixFileSystem files;
    TimerScheduler scheduler(&application);
    work(ExportServices{
        .fileSystem = files,
        .scheduler = scheduler,
        .makeSaveQueue = [] { return std::make_unique<ThreadSerialQueue>("com.vellicord.store.save"); },
        .makeDefaults = [](const QString& suiteName, const QString& folder) -> std::unique_ptr<Defaults> {
            return std::make_unique<SettingsDefaults>(suiteName, folder);
        },
        .interrupted = [] { return exportInterruption != 0; },
    });
    // A signal after the last image: the run did not end as asked, so it is not reported as done.
    if (exportInterruption)
        throw AppScreenshotExporter::ExportError(AppScreenshotExporter::ExportError::Kind::interrupted);
}

} // namespace

int main(int argc, char** argv)
{
    const QStringList arguments = argumentList(argc, argv);
    const CommandLine::Exports exports{
        .surfaces =
            [&](const QString& directory) {
                runExport(argc, argv, [&](const ExportServices& services) {
                    AppScreenshotExporter::exportSurfaces(directory, arguments, services);
                });
            },
        .sampleScreenshot =
            [&](const QString& file) {
                runExport(argc, argv, [&](const ExportServices& services) {
                    AppScreenshotExporter::exportSampleScreenshot(file, services);
                });
            },
    };
    if (const std::optional<int> status = CommandLine::dispatch(arguments, exports, stdout, stderr)) {
        endByNotedSignal();
        return *status;
    }

    // The lock comes before anything reads the library, so a second copy never loads it and
    // can never write an older library over the running copy's.
    SingleInstance instance;
    const bool onlyCopy = instance.tryLock();

    // The log file opens before the adoption and the library, so their lines reach it. It stays
    // the shared log until it is destroyed, last, on every way out of main.
    PosixFileSystem files;
    SystemClock clock;
    ThreadSerialQueue logQueue(FileLogger::queueLabel);
    FileLogger fileLogger(files, logQueue, clock);
    FileLogger::setShared(&fileLogger);
    fileLogger.start();

    const BundleInfo bundle = BundleInfo::main();
    logApp(QStringLiteral("Vellicord launched (bundle ") + bundle.identifier.value_or(QStringLiteral("-"))
           + QStringLiteral(")"));

    if (!onlyCopy) {
        logApp(QStringLiteral("Another Vellicord instance found (pid %1); delegating").arg(instance.otherProcessId()));
        switch (instance.handOver()) {
        case SingleInstance::HandOver::delivered: return 0;
        case SingleInstance::HandOver::noAnswer:
            logApp(QStringLiteral("Another Vellicord instance did not answer"));
            std::fprintf(stderr, "error: Another Vellicord is running (pid %lld) and does not answer.\n",
                         static_cast<long long>(instance.otherProcessId()));
            return 1;
        case SingleInstance::HandOver::lockTaken:
            // The other copy was quitting; it lets go of the lock only after its last save, so this
            // copy reads the library as that copy left it.
            logApp(QStringLiteral("The other Vellicord instance has ended; starting"));
            break;
        }
    }

    SettingsDefaults defaults(QStringLiteral("com.ruvo.vellicord"));
    std::optional<QString> migrationMessage;
    try {
        const AppDataMigration::Result adopted = AppDataMigration::migrateIfNeeded(files, defaults);
        if (adopted.copiedStore || adopted.copiedPreferenceCount > 0)
            migrationMessage = QStringLiteral("Adopted legacy local data: store=%1, preferences=%2")
                                   .arg(adopted.copiedStore ? QStringLiteral("true") : QStringLiteral("false"))
                                   .arg(adopted.copiedPreferenceCount);
    } catch (const std::exception&) {
        std::fprintf(stderr, "error: %s\n", qUtf8Printable(adoptionFailure));
        if (hasDisplay()) {
            QApplication application(argc, argv);
            QMessageBox alert(QMessageBox::Critical, QStringLiteral("Vellicord could not start"),
                              QStringLiteral("Vellicord could not start"));
            alert.setInformativeText(adoptionFailure);
            alert.addButton(QStringLiteral("Quit"), QMessageBox::AcceptRole);
            alert.exec();
        }
        return 1;
    }

    if (!hasDisplay()) {
        std::fprintf(stderr,
                     "error: Vellicord needs a graphical display, and none was found "
                     "(DISPLAY is not set).\n");
        return 1;
    }

    // The library is read while the application connects to the display and builds its windows:
    // the lock is held and the adoption is done, so nothing else writes it.
    Store::Preload library = Store::preload(std::nullopt, files);

    QApplication application(argc, argv);
    // No display name: Qt's X11 windows append it to every title that does not end with it, and
    // the main window's title would read "Vellicord — Prompt 1 — Vellicord".
    QApplication::setApplicationName(QStringLiteral("Vellicord"));
    QApplication::setDesktopFileName(QStringLiteral("vellicord"));
    QApplication::setQuitOnLastWindowClosed(false);
    XdgDesktop desktop;
    Theme::matchDesktop(application, desktop);
    application.setWindowIcon(QIcon::fromTheme(QStringLiteral("vellicord"), VellicordMark::trayIcon()));

    ThreadSerialQueue saveQueue("com.vellicord.store.save");
    TimerScheduler scheduler(&application);
    X11CaptureServices captureServices(clock);
    X11HotKeys hotKeys;
    // Shortcuts are shown by what their keys type in the layout in use, and recorded by place.
    const CarbonKeys::LayoutInUse layoutInUse(hotKeys.layout());
    HotKeyManager hotKeyManager(hotKeys, defaults);
    XdgAutostart autostart(QString(), QCoreApplication::applicationFilePath());
    SystemSound sound;
    UpdateController updates(bundle);
    // Made last before the delegate, so that the library has been loading for all of the above.
    Store store(
        std::move(library),
        Store::Services{
            .fileSystem = files, .defaults = defaults, .saveQueue = saveQueue, .scheduler = scheduler, .clock = clock});

    AppDelegate delegate(AppDelegate::Services{
        .store = store,
        .pasteboard = captureServices.pasteboard(),
        .scheduler = scheduler,
        .clock = clock,
        .defaults = defaults,
        .desktop = desktop,
        .accessibility = captureServices.services().accessibility,
        .workspace = captureServices.services().workspace,
        .sound = sound,
        .hotKeys = hotKeyManager,
        .loginItem = autostart,
        .updates = updates,
        .fileSystem = files,
        .capture = [&captureServices] { return SelectionCapture(captureServices.services()).capture(); },
        .bundle = bundle,
        .libraryPath = Store::defaultStoreURL(files),
        .processId = QCoreApplication::applicationPid(),
        .trayAvailable = QSystemTrayIcon::isSystemTrayAvailable(),
    });
    if (migrationMessage)
        logApp(*migrationMessage);

    // A signal ends the program the normal way from before another copy can find it: whoever sees
    // it running may end it, and a signal's default action would leave the socket behind.
    quitOnTerminationSignals(application);
    QObject::connect(&instance, &SingleInstance::showWindowRequested, &delegate,
                     &AppDelegate::showMainWindowFromNotification);
    instance.listen();

    bool captureEnded = true;
    bool libraryKept = false;
    QObject::connect(&application, &QCoreApplication::aboutToQuit, &delegate, [&] {
        // A copy launched from now on waits for the lock, which is let go of once the library is
        // saved, instead of asking this one for a window it will not show.
        instance.stopListening();
        captureEnded = delegate.applicationWillTerminate();
        const bool handedToManager = keepClipboard(captureServices.pasteboard()) == X11Pasteboard::Handover::manager;
        libraryKept = (store.isSaved() || !store.canModifyLibrary()) && !handedToManager;
    });

    delegate.applicationDidFinishLaunching(arguments);
    const int status = application.exec();
    if (!captureEnded || libraryKept) {
        // Leave without tearing anything down, once the lines already logged are written and the
        // lock is let go of: the capture thread still uses the desktop services, or the library
        // is in its files (or may not be changed) and nothing is left to keep (but a clipboard
        // for the clipboard manager, which takes it as the application object goes). Freeing a
        // library of a million captures one record at a time took most of a second of quitting.
        instance.release();
        FileLogger::setShared(nullptr);
        logQueue.sync([] {});
        std::_Exit(status);
    }
    // The file log closes last (it was made first), so a failing last save still reaches it.
    return status;
}
