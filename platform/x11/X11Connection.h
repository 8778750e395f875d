#pragma once

#include <QByteArray>
#include <QHash>
#include <QString>

#include <limits>
#include <mutex>
#include <optional>
#include <utility>

#include <xcb/xcb.h>

namespace vellicord {

// One connection of our own to the X server (never Qt's), with the atoms and window properties
// the desktop services read. Requests may come from any thread; xcb serialises them.
class X11Connection {
public:
    X11Connection();
    ~X11Connection();
    X11Connection(const X11Connection&) = delete;
    X11Connection& operator=(const X11Connection&) = delete;

    bool isValid() const { return connection_ != nullptr; }
    xcb_connection_t* get() const { return connection_; }
    xcb_window_t root() const { return rootWindow_; }

    xcb_atom_t atom(const char* name);
    QString atomName(xcb_atom_t atom);

    // A property's raw bytes (and its type); nullopt when the window has no such property, or
    // when it holds more than maxBytes (then tooLarge is set, and nothing beyond the size is read).
    std::optional<QByteArray> property(xcb_window_t window, xcb_atom_t property, xcb_atom_t* type = nullptr,
                                       qsizetype maxBytes = std::numeric_limits<qsizetype>::max(),
                                       bool* tooLarge = nullptr);
    std::optional<quint32> cardinalProperty(xcb_window_t window, const char* name);
    std::optional<xcb_window_t> windowProperty(xcb_window_t window, const char* name);

    // The process id of the client that created the window: from the X server (XRes) when it knows,
    // else from the window's _NET_WM_PID.
    std::optional<qint32> windowPid(xcb_window_t window);

    // The top-level window with the user's attention: _NET_ACTIVE_WINDOW, else the input focus
    // (climbing from a child window to the one that carries WM_CLASS); XCB_NONE when there is none.
    xcb_window_t activeWindow();
    // WM_CLASS: the instance and the class name.
    std::pair<QString, QString> windowClass(xcb_window_t window);

    bool hasExtension(const char* name);
    // Waits until the server has handled every request sent before.
    void roundTrip();

private:
    xcb_connection_t* connection_ = nullptr;
    xcb_window_t rootWindow_ = XCB_NONE;
    std::mutex atomMutex_;
    QHash<QByteArray, xcb_atom_t> atoms_;
    QHash<xcb_atom_t, QString> names_;
};

} // namespace vellicord
