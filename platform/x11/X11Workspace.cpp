#include "platform/x11/X11Workspace.h"

#include "platform/x11/X11Connection.h"
#include "platform/xdg/DesktopEntries.h"

#include <QFile>

#include <cstdlib>
#include <memory>

namespace vellicord {

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template <typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

constexpr int maxAncestors = 16;

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

X11Workspace::X11Workspace() : x11(std::make_unique<X11Connection>()) {}

X11Workspace::~X11Workspace() = default;

std::optional<RunningApplication> X11Workspace::frontmostApplication()
{
    if (!x11->isValid())
        return std::nullopt;
    xcb_connection_t* c = x11->get();

    xcb_window_t window = x11->windowProperty(x11->root(), "_NET_ACTIVE_WINDOW").value_or(XCB_NONE);
    if (window == XCB_NONE) {
        Reply<xcb_get_input_focus_reply_t> focus(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
        if (!focus || focus->focus == XCB_NONE || focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT ||
            focus->focus == x11->root())
            return std::nullopt;
        window = focus->focus;
    }

    // The focus may rest on a child window; the application's properties sit on its top-level window.
    std::optional<QByteArray> wmClass;
    for (int depth = 0; depth < maxAncestors && window != XCB_NONE && window != x11->root(); ++depth) {
        wmClass = x11->property(window, XCB_ATOM_WM_CLASS);
        if (wmClass)
            break;
        Reply<xcb_query_tree_reply_t> tree(xcb_query_tree_reply(c, xcb_query_tree(c, window), nullptr));
        if (!tree || tree->parent == tree->root)
            break;
        window = tree->parent;
    }
    if (window == XCB_NONE || window == x11->root())
        return std::nullopt;

    RunningApplication app;
    app.pid = x11->windowPid(window).value_or(0);

    WindowIdentity identity;
    identity.gtkApplicationID = textProperty(*x11, window, "_GTK_APPLICATION_ID");
    identity.kdeDesktopFile = textProperty(*x11, window, "_KDE_NET_WM_DESKTOP_FILE");
    if (app.pid > 0)
        identity.flatpakID = flatpakID(app.pid);
    if (wmClass) {
        const QList<QByteArray> parts = wmClass->split('\0');
        identity.wmClassInstance = QString::fromLocal8Bit(parts.value(0));
        identity.wmClassName = QString::fromLocal8Bit(parts.value(1));
    }

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
