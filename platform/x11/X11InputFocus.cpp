#include "platform/x11/X11InputFocus.h"

#include <QGuiApplication>

#include <xcb/xcb.h>

#include <cstdlib>
#include <memory>

namespace vellicord::X11InputFocus {

std::optional<quintptr> window()
{
    auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 = gui ? gui->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->connection())
        return std::nullopt;
    xcb_connection_t* connection = x11->connection();
    const std::unique_ptr<xcb_get_input_focus_reply_t, decltype(&std::free)> focus(
        xcb_get_input_focus_reply(connection, xcb_get_input_focus(connection), nullptr), &std::free);
    if (!focus)
        return std::nullopt;
    return focus->focus == XCB_INPUT_FOCUS_POINTER_ROOT ? 0 : quintptr(focus->focus);
}

} // namespace vellicord::X11InputFocus
