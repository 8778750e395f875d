#include "platform/x11/X11Workspace.h"

#include "platform/x11/X11Connection.h"
#include "platform/xdg/DesktopEntries.h"

#include <QFile>

#include <tuple>

namespace vellicord {

namespace {

QString textProperty(X11Connection& x11, xcb_window_t window, const char* name)
{
    return QString::fromUtf8(x11.property(window, x11.atom(name)).value_or(QByteArray()));
}

// The application id of a sandboxed process, which names its desktop entry.
QString flatpakID(qint32 pid)
{
    QFile info(QStringLiteral("/proc/%1/root/.flatpak-info").arg(pid));
    if (!info.open(QIODevice::ReadOnly))
        return {};
    while (!info.atEnd()) {
        const QByteArray line = info.readLine().trimmed();
        if (line.startsWith("name="))
            return QString::fromUtf8(line.mid(5));
    }
    return {};
}

QString processName(qint32 pid)
{
    QFile comm(QStringLiteral("/proc/%1/comm").arg(pid));
    if (!comm.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(comm.readAll()).trimmed();
}

} // namespace

X11Workspace::X11Workspace()
    : x11_(std::make_unique<X11Connection>())
{
}

X11Workspace::~X11Workspace() = default;

std::optional<RunningApplication> X11Workspace::frontmostApplication()
{
    if (!x11_->isValid())
        return std::nullopt;
    const xcb_window_t window = x11_->activeWindow();
    if (window == XCB_NONE)
        return std::nullopt;

    RunningApplication app;
    app.pid = x11_->windowPid(window).value_or(0);

    WindowIdentity identity;
    identity.gtkApplicationID = textProperty(*x11_, window, "_GTK_APPLICATION_ID");
    identity.kdeDesktopFile = textProperty(*x11_, window, "_KDE_NET_WM_DESKTOP_FILE");
    if (app.pid > 0)
        identity.flatpakID = flatpakID(app.pid);
    std::tie(identity.wmClassInstance, identity.wmClassName) = x11_->windowClass(window);

    if (const std::optional<DesktopEntry> entry = DesktopEntries::find(identity)) {
        app.bundleIdentifier = entry->id;
        if (!entry->name.isEmpty())
            app.localizedName = entry->name;
    }
    if (!app.localizedName && !identity.wmClassName.isEmpty())
        app.localizedName = identity.wmClassName;
    if (!app.localizedName && app.pid > 0) {
        if (const QString name = processName(app.pid); !name.isEmpty())
            app.localizedName = name;
    }
    return app;
}

} // namespace vellicord
