#include "Tovak/kit/ContextMenuKey.h"

#include <QContextMenuEvent>
#include <QCoreApplication>
#include <QKeyEvent>
#include <QWidget>
#include <QWindow>

namespace vellicord {

ContextMenuKey::ContextMenuKey(QObject* parent)
    : QObject(parent)
{
    QCoreApplication::instance()->installEventFilter(this);
}

ContextMenuKey::~ContextMenuKey()
{
    QCoreApplication::instance()->removeEventFilter(this);
}

bool ContextMenuKey::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress || !watched->isWidgetType())
        return false;
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_F10 || (key->modifiers() & ~Qt::KeypadModifier) != Qt::ShiftModifier)
        return false;
    QWindow* window = static_cast<QWidget*>(watched)->window()->windowHandle();
    if (!window)
        return false;
    // What the Menu key sends the window; it finds the widget and the spot itself.
    QContextMenuEvent menu(QContextMenuEvent::Keyboard, QPoint(), QPoint());
    QCoreApplication::sendEvent(window, &menu);
    return true;
}

} // namespace vellicord
