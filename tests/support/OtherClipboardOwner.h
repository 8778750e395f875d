#pragma once

#include "platform/x11/X11Pasteboard.h"

#include <QClipboard>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QProcess>
#include <QThread>

namespace vellicord::test {

// Another application (xclip) takes the clipboard with this content; it stays in the background
// serving the content until another owner takes over. With loopTurns, the event loop then runs
// until Qt has read of the new owner, as it has by the time the user clicks in one of our windows.
inline void setClipboardWithXclip(X11Pasteboard& pasteboard, const QString& target, const QByteArray& bytes,
                                  bool loopTurns = false)
{
    bool read = false;
    const QMetaObject::Connection reading
        = QObject::connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, [&read] { read = true; });
    const qint64 before = pasteboard.changeCount();
    QProcess::startDetached(
        QStringLiteral("sh"),
        {QStringLiteral("-c"),
         QStringLiteral("printf '%s' \"$1\" | xclip -selection clipboard -t \"$2\" -i >/dev/null 2>&1"),
         QStringLiteral("sh"), QString::fromUtf8(bytes), target});
    QElapsedTimer timer;
    timer.start();
    while (pasteboard.changeCount() == before && timer.elapsed() < 5000)
        QThread::msleep(10);
    while (loopTurns && !read && timer.elapsed() < 5000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    QObject::disconnect(reading);
}

} // namespace vellicord::test
