#pragma once

#include <QObject>
#include <QString>
#include <QVariant>

namespace vellicord {

// The application's in-process notifications: posted and delivered on the main thread.
class NotificationCenter final : public QObject {
    Q_OBJECT
public:
    static NotificationCenter& defaultCenter();

    void post(const QString& name, const QVariant& object = {});

Q_SIGNALS:
    void posted(const QString& name, const QVariant& object);
};

} // namespace vellicord
