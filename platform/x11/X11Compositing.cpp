#include "platform/x11/X11Compositing.h"

#include <QByteArray>
#include <QGuiApplication>

#include <X11/Xlib.h>

namespace vellicord::X11Compositing {

bool isActive()
{
    auto* gui = qobject_cast<QGuiApplication*>(QCoreApplication::instance());
    auto* x11 = gui ? gui->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    if (!x11 || !x11->display())
        return true;
    Display* display = x11->display();
    // A compositing manager owns the selection _NET_WM_CM_S<screen>.
    const QByteArray name = "_NET_WM_CM_S" + QByteArray::number(DefaultScreen(display));
    const Atom selection = XInternAtom(display, name.constData(), False);
    return XGetSelectionOwner(display, selection) != 0;
}

} // namespace vellicord::X11Compositing
