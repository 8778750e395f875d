#include "platform/x11/X11Connection.h"

#include <cstdlib>
#include <cstring>
#include <memory>

#include <xcb/res.h>

namespace vellicord {

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template<typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

} // namespace

X11Connection::X11Connection()
{
    int screenNumber = 0;
    xcb_connection_t* c = xcb_connect(nullptr, &screenNumber);
    if (xcb_connection_has_error(c)) {
        xcb_disconnect(c);
        return;
    }
    xcb_screen_iterator_t it = xcb_setup_roots_iterator(xcb_get_setup(c));
    for (int i = 0; i < screenNumber && it.rem; ++i)
        xcb_screen_next(&it);
    if (!it.rem) {
        xcb_disconnect(c);
        return;
    }
    connection_ = c;
    rootWindow_ = it.data->root;
}

X11Connection::~X11Connection()
{
    if (connection_)
        xcb_disconnect(connection_);
}

xcb_atom_t X11Connection::atom(const char* name)
{
    if (!connection_)
        return XCB_NONE;
    const QByteArray key(name);
    {
        std::lock_guard lock(atomMutex_);
        if (const auto found = atoms_.constFind(key); found != atoms_.constEnd())
            return *found;
    }
    Reply<xcb_intern_atom_reply_t> reply(xcb_intern_atom_reply(
        connection_, xcb_intern_atom(connection_, 0, uint16_t(key.size()), key.constData()), nullptr));
    const xcb_atom_t value = reply ? reply->atom : XCB_NONE;
    if (value != XCB_NONE) {
        std::lock_guard lock(atomMutex_);
        atoms_.insert(key, value);
        names_.insert(value, QString::fromLatin1(key));
    }
    return value;
}

QString X11Connection::atomName(xcb_atom_t atom)
{
    if (!connection_ || atom == XCB_NONE)
        return {};
    {
        std::lock_guard lock(atomMutex_);
        if (const auto found = names_.constFind(atom); found != names_.constEnd())
            return *found;
    }
    Reply<xcb_get_atom_name_reply_t> reply(
        xcb_get_atom_name_reply(connection_, xcb_get_atom_name(connection_, atom), nullptr));
    if (!reply)
        return {};
    const QByteArray name(xcb_get_atom_name_name(reply.get()), xcb_get_atom_name_name_length(reply.get()));
    std::lock_guard lock(atomMutex_);
    names_.insert(atom, QString::fromLatin1(name));
    atoms_.insert(name, atom);
    return QString::fromLatin1(name);
}

std::optional<QByteArray> X11Connection::property(xcb_window_t window, xcb_atom_t property, xcb_atom_t* type,
                                                  qsizetype maxBytes, bool* tooLarge)
{
    if (tooLarge)
        *tooLarge = false;
    if (!connection_ || window == XCB_NONE || property == XCB_NONE)
        return std::nullopt;
    QByteArray bytes;
    uint32_t offset = 0;
    for (;;) {
        Reply<xcb_get_property_reply_t> reply(xcb_get_property_reply(
            connection_, xcb_get_property(connection_, 0, window, property, XCB_GET_PROPERTY_TYPE_ANY, offset, 1 << 20),
            nullptr));
        if (!reply || reply->type == XCB_NONE)
            return std::nullopt;
        if (type)
            *type = reply->type;
        const int length = xcb_get_property_value_length(reply.get());
        if (offset == 0) {
            // The first reply tells the whole size: too large is refused before it is read, and
            // the rest gets room once instead of growing step by step.
            const qsizetype total = qsizetype(length) + qsizetype(reply->bytes_after);
            if (total > maxBytes) {
                if (tooLarge)
                    *tooLarge = true;
                return std::nullopt;
            }
            bytes.reserve(total);
        }
        bytes.append(static_cast<const char*>(xcb_get_property_value(reply.get())), length);
        if (reply->bytes_after == 0)
            return bytes;
        offset += uint32_t(length / 4);
    }
}

std::optional<quint32> X11Connection::cardinalProperty(xcb_window_t window, const char* name)
{
    const std::optional<QByteArray> bytes = property(window, atom(name));
    if (!bytes || bytes->size() < 4)
        return std::nullopt;
    quint32 value = 0;
    std::memcpy(&value, bytes->constData(), 4);
    return value;
}

std::optional<xcb_window_t> X11Connection::windowProperty(xcb_window_t window, const char* name)
{
    const std::optional<quint32> value = cardinalProperty(window, name);
    if (!value || *value == XCB_NONE)
        return std::nullopt;
    return xcb_window_t(*value);
}

std::optional<qint32> X11Connection::windowPid(xcb_window_t window)
{
    if (!connection_ || window == XCB_NONE)
        return std::nullopt;
    if (hasExtension("X-Resource")) {
        xcb_res_client_id_spec_t spec{window, XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID};
        Reply<xcb_res_query_client_ids_reply_t> reply(
            xcb_res_query_client_ids_reply(connection_, xcb_res_query_client_ids(connection_, 1, &spec), nullptr));
        if (reply) {
            for (auto it = xcb_res_query_client_ids_ids_iterator(reply.get()); it.rem;
                 xcb_res_client_id_value_next(&it)) {
                if ((it.data->spec.mask & XCB_RES_CLIENT_ID_MASK_LOCAL_CLIENT_PID)
                    && xcb_res_client_id_value_value_length(it.data) >= 1) {
                    const auto pid = qint32(*xcb_res_client_id_value_value(it.data));
                    if (pid > 0)
                        return pid;
                }
            }
        }
    }
    if (const std::optional<quint32> pid = cardinalProperty(window, "_NET_WM_PID"); pid && *pid > 0)
        return qint32(*pid);
    return std::nullopt;
}

xcb_window_t X11Connection::activeWindow()
{
    if (!connection_)
        return XCB_NONE;
    constexpr int maxAncestors = 16;
    xcb_window_t window = windowProperty(rootWindow_, "_NET_ACTIVE_WINDOW").value_or(XCB_NONE);
    if (window == XCB_NONE) {
        Reply<xcb_get_input_focus_reply_t> focus(
            xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
        if (!focus || focus->focus == XCB_NONE || focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT
            || focus->focus == rootWindow_)
            return XCB_NONE;
        window = focus->focus;
    }
    // The focus may rest on a child window; the application's properties sit on its top-level window.
    for (int depth = 0; depth < maxAncestors && window != XCB_NONE && window != rootWindow_; ++depth) {
        if (property(window, XCB_ATOM_WM_CLASS))
            return window;
        Reply<xcb_query_tree_reply_t> tree(
            xcb_query_tree_reply(connection_, xcb_query_tree(connection_, window), nullptr));
        if (!tree || tree->parent == tree->root)
            return window;
        window = tree->parent;
    }
    return window == rootWindow_ ? XCB_NONE : window;
}

std::pair<QString, QString> X11Connection::windowClass(xcb_window_t window)
{
    const std::optional<QByteArray> wmClass = property(window, XCB_ATOM_WM_CLASS);
    if (!wmClass)
        return {};
    const QList<QByteArray> parts = wmClass->split('\0');
    return {QString::fromLocal8Bit(parts.value(0)), QString::fromLocal8Bit(parts.value(1))};
}

bool X11Connection::hasExtension(const char* name)
{
    if (!connection_)
        return false;
    Reply<xcb_query_extension_reply_t> reply(xcb_query_extension_reply(
        connection_, xcb_query_extension(connection_, uint16_t(std::strlen(name)), name), nullptr));
    return reply && reply->present;
}

void X11Connection::roundTrip()
{
    if (!connection_)
        return;
    Reply<xcb_get_input_focus_reply_t> reply(
        xcb_get_input_focus_reply(connection_, xcb_get_input_focus(connection_), nullptr));
}

} // namespace vellicord
