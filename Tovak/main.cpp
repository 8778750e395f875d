#include "Tovak/kit/FrameAutosave.h"
#include "Tovak/kit/Theme.h"
#include "Tovak/shell/BundleInfo.h"
#include "Tovak/shell/CommandLine.h"
#include "Tovak/shell/HotKeyManager.h"
#include "Tovak/shell/SettingsView.h"
#include "Tovak/shell/StatusMenu.h"
#include "Tovak/shell/UpdateController.h"
#include "Tovak/shell/VellicordMark.h"
#include "Tovak/shell/WelcomeView.h"
#include "platform/qt/SingleInstance.h"
#include "platform/x11/X11HotKeys.h"
#include "platform/xdg/XdgAutostart.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QSettings>
#include <QStandardPaths>
#include <QSystemTrayIcon>

#include <cstdio>
#include <memory>

using namespace vellicord;

namespace {

QStringList argumentList(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
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

QString defaultsPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation)
        + QStringLiteral("/com.ruvo.vellicord.ini");
}

QString libraryPath()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation)
        + QStringLiteral("/Vellicord/Vellicord.json");
}

} // namespace

int main(int argc, char** argv)
{
    const QStringList arguments = argumentList(argc, argv);
    if (const std::optional<int> status =
            CommandLine::dispatch(arguments, CommandLine::defaultExports(), stdout, stderr))
        return *status;

    // The lock comes before anything reads the library, so a second copy never loads it and
    // can never write an older library over the running copy's.
    SingleInstance instance;
    if (!instance.tryLock()) {
        std::fprintf(stderr, "Another Vellicord instance found (pid %lld); delegating\n",
                     static_cast<long long>(instance.otherProcessId()));
        return instance.sendShowWindowRequest() ? 0 : 1;
    }

    if (!hasDisplay()) {
        std::fprintf(stderr, "error: Vellicord needs a graphical display, and none was found "
                             "(DISPLAY is not set).\n");
        return 1;
    }

    QApplication application(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Vellicord"));
    QApplication::setApplicationDisplayName(QStringLiteral("Vellicord"));
    QApplication::setDesktopFileName(QStringLiteral("vellicord"));
    QApplication::setQuitOnLastWindowClosed(false);
    Theme::apply(application, Theme::preferredAppearance());
    application.setWindowIcon(QIcon::fromTheme(QStringLiteral("vellicord"),
                                               VellicordMark::statusIcon(QColor(31, 41, 55))));

    const BundleInfo bundle = BundleInfo::main();
    QSettings defaults(defaultsPath(), QSettings::IniFormat);
    X11HotKeys hotKeys;
    HotKeyManager hotKeyManager(hotKeys, defaults);
    XdgAutostart autostart(QString(), QCoreApplication::applicationFilePath());
    UpdateController updates(bundle);

    hotKeyManager.onCapture = [] { qInfo("Capture requested"); };
    if (!hotKeyManager.registerCombo(hotKeyManager.currentCombo())) {
        if (hotKeyManager.registerCombo(HotKeyCombo::defaultCombo()))
            qInfo("Chosen hotkey was taken; fell back to %s",
                  qUtf8Printable(HotKeyCombo::defaultCombo().display()));
        else
            qInfo("No hotkey could be registered");
    }

    std::unique_ptr<SettingsView> settings;
    const auto showSettings = [&] {
        if (!settings) {
            settings = std::make_unique<SettingsView>(SettingsView::Services{
                &hotKeyManager, &autostart, QDir::toNativeSeparators(libraryPath()),
                bundle.versionString(), [](const QString& line) { qInfo("%s", qUtf8Printable(line)); }});
            settings->setWindowTitle(QStringLiteral("Settings"));
            settings->resize(520, 360);
            new FrameAutosave(*settings, defaults, QStringLiteral("VellicordSettingsWindow"));
        }
        settings->show();
        settings->raise();
        settings->activateWindow();
    };

    std::unique_ptr<WelcomeView> welcome;
    const auto showWelcome = [&] {
        if (!welcome)
            welcome = std::make_unique<WelcomeView>(false, hotKeyManager.currentCombo().display());
        welcome->show();
        welcome->raise();
        welcome->activateWindow();
    };

    QObject::connect(&instance, &SingleInstance::showWindowRequested, &application, [&] {
        qInfo("Show-window request from another instance");
        showWelcome();
    });
    instance.listen();

    // Until the library is wired in, the items that change it stay disabled.
    StatusMenu menu({showWelcome, {}, {}, {}, {}, [&] { updates.checkForUpdates(); }, showSettings,
                     &QApplication::quit, [&] { return hotKeyManager.currentCombo().display(); },
                     [] { return false; }, [] { return false; }});

    QSystemTrayIcon tray(VellicordMark::statusIcon(application.palette().color(QPalette::WindowText)));
    tray.setToolTip(QStringLiteral("Vellicord — capture and browse selections"));
    tray.setContextMenu(&menu);
    QObject::connect(&tray, &QSystemTrayIcon::activated, [&](QSystemTrayIcon::ActivationReason reason) {
        if (reason == QSystemTrayIcon::Trigger)
            showWelcome();
    });
    if (QSystemTrayIcon::isSystemTrayAvailable())
        tray.show();
    else
        showWelcome();

    const int status = application.exec();
    hotKeyManager.release();
    return status;
}
