#include "platform/xdg/XdgDesktop.h"

#include "core/library/AppLog.h"
#include "platform/x11/X11Compositing.h"
#include "platform/x11/X11InputFocus.h"
#include "platform/xdg/DesktopEntries.h"
#include "platform/xdg/XdgAppearance.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusVariant>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QIcon>
#include <QImageReader>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

#include <algorithm>
#include <climits>

namespace vellicord {
namespace {

const QString portalService = QStringLiteral("org.freedesktop.portal.Desktop");
const QString portalPath = QStringLiteral("/org/freedesktop/portal/desktop");
const QString portalSettings = QStringLiteral("org.freedesktop.portal.Settings");
const QString fileManagerService = QStringLiteral("org.freedesktop.FileManager1");

// The environment's override first, then the portal's colour scheme, then the GTK theme's name.
Appearance preferredAppearance(const std::optional<bool>& portalPrefersDark)
{
    const QString wanted = qEnvironmentVariable("VELLICORD_APPEARANCE").toLower();
    if (wanted == u"dark")
        return Appearance::dark;
    if (wanted == u"light")
        return Appearance::light;
    if (portalPrefersDark)
        return *portalPrefersDark ? Appearance::dark : Appearance::light;
    const QString gtkTheme = qEnvironmentVariable("GTK_THEME").toLower();
    if (gtkTheme.endsWith(u":dark") || gtkTheme.endsWith(u"-dark"))
        return Appearance::dark;
    return Appearance::light;
}

bool showInFileManager(const QUrl& file)
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    QDBusConnectionInterface* names = bus.isConnected() ? bus.interface() : nullptr;
    if (!names)
        return false;
    const bool running = names->isServiceRegistered(fileManagerService);
    if (!running && !names->activatableServiceNames().value().contains(fileManagerService))
        return false;
    QDBusMessage request
        = QDBusMessage::createMethodCall(fileManagerService, QStringLiteral("/org/freedesktop/FileManager1"),
                                         fileManagerService, QStringLiteral("ShowItems"));
    request << QStringList{QString::fromUtf8(file.toEncoded())} << QString();
    // The main thread waits for the answer; a file manager the bus has to start first gets longer,
    // since giving up early would open the folder beside the window it is about to show.
    const QDBusMessage reply = bus.call(request, QDBus::Block, running ? 1000 : 3000);
    return reply.type() == QDBusMessage::ReplyMessage;
}

// The image files of every format Qt reads, by the name's suffixes.
QStringList imageFiles(const QDir& folder, const QString& name)
{
    QStringList found;
    for (const QByteArray& format : QImageReader::supportedImageFormats()) {
        const QString file = folder.filePath(name + u'.' + QString::fromLatin1(format));
        if (QFileInfo::exists(file))
            found.append(file);
    }
    return found;
}

// A name looked up without the icon theme, as desktops do when no theme has it: the
// hicolor folders, the scalable one first and then the largest, then the pixmaps folders. Qt reads
// a theme only by its index.theme, which a machine without a desktop may lack while its
// applications' icons lie in hicolor all the same (XTerm's "mini.xterm", an SVG).
QIcon iconFileNamed(const QString& name)
{
    const auto locate = [](const QString& folder) {
        return QStandardPaths::locateAll(QStandardPaths::GenericDataLocation, folder, QStandardPaths::LocateDirectory);
    };
    for (const QString& root : locate(QStringLiteral("icons/hicolor"))) {
        QStringList sizes = QDir(root).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        const auto side
            = [](const QString& size) { return size == u"scalable" ? INT_MAX : size.section(u'x', 0, 0).toInt(); };
        std::stable_sort(sizes.begin(), sizes.end(),
                         [&](const QString& a, const QString& b) { return side(a) > side(b); });
        for (const QString& size : sizes) {
            if (const QStringList files = imageFiles(QDir(root + u'/' + size + QStringLiteral("/apps")), name);
                !files.isEmpty())
                return QIcon(files.first());
        }
    }
    for (const QString& root : locate(QStringLiteral("pixmaps"))) {
        if (const QStringList files = imageFiles(QDir(root), name); !files.isEmpty())
            return QIcon(files.first());
    }
    return {};
}

// A desktop entry's Icon value: an absolute path to an image, or a name in the icon theme.
QIcon iconFromValue(const QString& value)
{
    if (value.isEmpty())
        return {};
    if (QDir::isAbsolutePath(value))
        return QFileInfo::exists(value) ? QIcon(value) : QIcon();
    if (QIcon themed = QIcon::fromTheme(value); !themed.isNull())
        return themed;
    return iconFileNamed(value);
}

} // namespace

XdgDesktop::XdgDesktop(Opener opener, ItemsShower showItems, QObject* parent)
    : Desktop(parent)
    , opener_(opener ? std::move(opener) : Opener(&QDesktopServices::openUrl))
    , showItems_(showItems ? std::move(showItems) : ItemsShower(&showInFileManager))
    , appearance_(preferredAppearance(XdgAppearance::prefersDark()))
{
    QDBusConnection bus = QDBusConnection::sessionBus();
    if (bus.isConnected())
        bus.connect(portalService, portalPath, portalSettings, QStringLiteral("SettingChanged"), this,
                    SLOT(portalSettingChanged(QString, QString, QDBusVariant)));
}

Appearance XdgDesktop::appearance() const
{
    return appearance_;
}

bool XdgDesktop::isCompositing() const
{
    return X11Compositing::isActive();
}

std::optional<quintptr> XdgDesktop::keyboardFocusWindow() const
{
    return X11InputFocus::window();
}

bool XdgDesktop::openURL(const QString& address)
{
    if (!isOpenable(address)) {
        logApp(QStringLiteral("Refused to open an address that is not http, https or mailto:"), address);
        return false;
    }
    return opener_(QUrl(address, QUrl::StrictMode));
}

bool XdgDesktop::revealFile(const QString& path)
{
    if (isRevealable(path) && reveal(QDir::cleanPath(path)))
        return true;
    logApp(QStringLiteral("Nothing could be shown for"), path);
    return false;
}

bool XdgDesktop::reveal(const QString& path)
{
    const QFileInfo item(path);
    // A dangling link is an item of its folder all the same.
    if (item.exists() || item.isSymLink()) {
        if (showItems_(QUrl::fromLocalFile(path)))
            return true;
        // The folder that holds it, for a folder too: revealing shows an item where it lies, never opens it.
        return opener_(QUrl::fromLocalFile(item.absolutePath()));
    }
    // Gone (a library file lost, a captured file moved): the nearest folder that is still there.
    QDir folder = item.absoluteDir();
    while (!folder.exists() && !folder.isRoot())
        folder.setPath(QFileInfo(folder.path()).absolutePath());
    return folder.exists() && opener_(QUrl::fromLocalFile(folder.path()));
}

QIcon XdgDesktop::applicationIcon(const std::optional<QString>& bundleID, const QString& appName)
{
    if (bundleID) {
        if (const std::optional<DesktopEntry> entry = DesktopEntries::byID(*bundleID)) {
            if (QIcon icon = iconFromValue(entry->icon); !icon.isNull())
                return icon;
        }
    }
    if (const std::optional<DesktopEntry> entry = DesktopEntries::byName(appName))
        return iconFromValue(entry->icon);
    return {};
}

void XdgDesktop::portalSettingChanged(const QString& group, const QString& key, const QDBusVariant& value)
{
    if (group != u"org.freedesktop.appearance" || key != u"color-scheme")
        return;
    const Appearance now = preferredAppearance(XdgAppearance::prefersDark(value.variant()));
    if (now == appearance_)
        return;
    appearance_ = now;
    Q_EMIT appearanceChanged();
}

void XdgDesktop::openAccessibilitySettings()
{
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

} // namespace vellicord
