#include "Tovak/kit/GripDrag.h"

#include "Tovak/kit/IdDrag.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QDrag>
#include <QHelpEvent>
#include <QMouseEvent>
#include <QToolTip>

namespace vellicord {

GripDrag::GripDrag(QAbstractItemView& view, Row row)
    : QObject(&view)
    , view_(view)
    , viewport_(view.viewport())
    , row_(std::move(row))
{
    viewport_->installEventFilter(this);
}

bool GripDrag::inGrip(const QPoint& position) const
{
    const QModelIndex index = view_.indexAt(position);
    return index.isValid() && row_.gripRect(index).contains(position);
}

bool GripDrag::eventFilter(QObject* watched, QEvent* event)
{
    // Compared by address: the filter also sees the viewport's last events while the view goes.
    if (watched != viewport_)
        return false;
    switch (event->type()) {
    case QEvent::MouseButtonPress: {
        auto* mouse = static_cast<QMouseEvent*>(event);
        const QPoint at = mouse->position().toPoint();
        pressed_ = QPersistentModelIndex();
        if (mouse->button() != Qt::LeftButton || !inGrip(at))
            return false;
        pressed_ = view_.indexAt(at);
        pressedAt_ = at;
        return true;
    }
    case QEvent::MouseMove: {
        if (!pressed_.isValid())
            return false;
        auto* mouse = static_cast<QMouseEvent*>(event);
        if ((mouse->position().toPoint() - pressedAt_).manhattanLength() >= QApplication::startDragDistance()) {
            const QModelIndex index = pressed_;
            pressed_ = QPersistentModelIndex();
            startDrag(index);
        }
        return true;
    }
    case QEvent::MouseButtonRelease:
        if (!pressed_.isValid())
            return false;
        pressed_ = QPersistentModelIndex();
        return true;
    case QEvent::MouseButtonDblClick: return inGrip(static_cast<QMouseEvent*>(event)->position().toPoint());
    case QEvent::ToolTip: {
        auto* help = static_cast<QHelpEvent*>(event);
        if (!inGrip(help->pos()))
            return false;
        QToolTip::showText(help->globalPos(), QStringLiteral("Drag to add to a prompt or group"), viewport_);
        return true;
    }
    default: return false;
    }
}

void GripDrag::startDrag(const QModelIndex& index)
{
    auto* drag = new QDrag(&view_);
    drag->setMimeData(IdDrag::mimeData(row_.payload(index)));
    drag->exec(Qt::CopyAction);
}

} // namespace vellicord
