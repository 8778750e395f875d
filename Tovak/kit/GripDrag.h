#pragma once

#include <QObject>
#include <QPersistentModelIndex>
#include <QPoint>
#include <QRect>

#include <functional>

class QAbstractItemView;
class QWidget;

namespace vellicord {

// The drag grip of a list's rows, as one event filter on the list's viewport: a press on a row's
// grip neither selects nor chooses the row, a move past the drag distance starts a plain-text drag
// of what the row offers then, a double click on the grip does nothing, and the grip has its tooltip.
// Everything away from a grip goes on to the list.
class GripDrag final : public QObject {
    Q_OBJECT
public:
    struct Row {
        // Where the row's grip is, in the viewport; empty for a row without one.
        std::function<QRect(const QModelIndex& index)> gripRect;
        // The text the drag carries, asked for when the drag starts.
        std::function<QString(const QModelIndex& index)> payload;
    };

    // Installs itself on the view's viewport; the view owns it.
    GripDrag(QAbstractItemView& view, Row row);

    bool inGrip(const QPoint& position) const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void startDrag(const QModelIndex& index);

    QAbstractItemView& view_;
    QWidget* viewport_;
    Row row_;
    QPersistentModelIndex pressed_;
    QPoint pressedAt_;
};

} // namespace vellicord
