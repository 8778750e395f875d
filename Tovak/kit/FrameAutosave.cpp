#include "Tovak/kit/FrameAutosave.h"

#include "platform/Defaults.h"

#include <QEvent>
#include <QTimer>
#include <QWidget>

namespace vellicord {

FrameAutosave::FrameAutosave(QWidget& window, Defaults& defaults, QString name)
    : QObject(&window)
    , window_(window)
    , defaults_(defaults)
    , name_(std::move(name))
    , pending_(new QTimer(this))
{
    const QByteArray frame = defaults_.value(name_).value_or(QVariant()).toByteArray();
    restored_ = !frame.isEmpty() && window_.restoreGeometry(frame);
    // Moves and resizes come in bursts while the user drags: one write after the last.
    pending_->setSingleShot(true);
    pending_->setInterval(500);
    connect(pending_, &QTimer::timeout, this, &FrameAutosave::save);
    window_.installEventFilter(this);
}

void FrameAutosave::save()
{
    pending_->stop();
    defaults_.setDataValue(name_, window_.saveGeometry());
}

bool FrameAutosave::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == &window_) {
        switch (event->type()) {
        case QEvent::Move:
        case QEvent::Resize:
            if (window_.isVisible())
                pending_->start();
            break;
        case QEvent::Hide: save(); break;
        default: break;
        }
    }
    return QObject::eventFilter(watched, event);
}

} // namespace vellicord
