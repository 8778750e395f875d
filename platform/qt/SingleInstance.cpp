#include "platform/qt/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QThread>

#include <unistd.h>

namespace vellicord {
namespace {

constexpr qsizetype maxRequestLength = 256;

QByteArray requestLine()
{
    return SingleInstance::showWindowRequest.toUtf8() + '\n';
}

} // namespace

SingleInstance::SingleInstance(QString directory, QObject* parent)
    : QObject(parent)
    , directory_(directory.isEmpty() ? defaultDirectory() : std::move(directory))
{
}

SingleInstance::~SingleInstance()
{
    if (server_)
        server_->close();
}

QString SingleInstance::defaultDirectory()
{
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir(runtime).exists())
        return runtime;
    return QDir::tempPath() + QStringLiteral("/vellicord-%1").arg(getuid());
}

QString SingleInstance::lockPath() const
{
    return directory_ + QStringLiteral("/vellicord.lock");
}

QString SingleInstance::socketPath() const
{
    return directory_ + QStringLiteral("/vellicord.socket");
}

bool SingleInstance::tryLock()
{
    if (lock_ && lock_->isLocked())
        return true;
    if (!QDir().mkpath(directory_))
        return false;
    // A folder of our own in the shared temporary directory must not be open to other users; one
    // that another user made there first (or that stays open) is not ours to lock in.
    const QFile::Permissions ownerOnly = QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner;
    QFile::setPermissions(directory_, ownerOnly);
    const QFileInfo folder(directory_);
    if (folder.ownerId() != ::getuid()
        || (folder.permissions() & ~(ownerOnly | QFile::ReadUser | QFile::WriteUser | QFile::ExeUser)))
        return false;
    lock_ = std::make_unique<QLockFile>(lockPath());
    // Never treat a live holder's lock as stale by age; a dead holder's lock is taken over.
    lock_->setStaleLockTime(0);
    if (lock_->tryLock(0))
        return true;
    return lock_->error() == QLockFile::LockFailedError && takeOverLockWithoutHolder();
}

// QLockFile takes over the lock of a process that is gone, but keeps one it cannot read (left
// empty by a crash or a full disk while it was written, or damaged) for ever: every later start
// would hand over to a process that does not exist. Such a lock names no live holder.
bool SingleInstance::takeOverLockWithoutHolder()
{
    const auto namesAProcess = [this] {
        qint64 pid = 0;
        QString host, application;
        return lock_->getLockInfo(&pid, &host, &application) && pid > 0;
    };
    if (namesAProcess())
        return false;
    // A copy taking the lock this very moment writes its process id just after making the file.
    if (QFileInfo(lockPath()).size() == 0) {
        QThread::msleep(100);
        if (lock_->tryLock(0))
            return true;
        if (namesAProcess())
            return false;
    }
    // Removal fails while a live holder keeps the file locked, whatever the file says.
    return lock_->removeStaleLockFile() && lock_->tryLock(0);
}

qint64 SingleInstance::otherProcessId() const
{
    if (!lock_)
        return 0;
    qint64 pid = 0;
    QString host, application;
    return lock_->getLockInfo(&pid, &host, &application) ? pid : 0;
}

bool SingleInstance::listen()
{
    if (!lock_ || !lock_->isLocked())
        return false;
    if (server_)
        return server_->isListening();
    server_ = new QLocalServer(this);
    server_->setSocketOptions(QLocalServer::UserAccessOption);
    // We hold the lock, so a socket file left behind belongs to a copy that is gone.
    QLocalServer::removeServer(socketPath());
    connect(server_, &QLocalServer::newConnection, this, [this] {
        while (QLocalSocket* socket = server_->nextPendingConnection()) {
            connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
            connect(socket, &QLocalSocket::readyRead, this, [this, socket] {
                if (socket->bytesAvailable() > maxRequestLength) {
                    socket->abort();
                    return;
                }
                if (!socket->canReadLine())
                    return;
                const QByteArray line = socket->readLine(maxRequestLength);
                if (line == requestLine()) {
                    socket->write("ok\n");
                    socket->flush();
                    Q_EMIT showWindowRequested();
                }
                socket->disconnectFromServer();
            });
        }
    });
    return server_->listen(socketPath());
}

bool SingleInstance::sendShowWindowRequest(int timeoutMs) const
{
    QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        QLocalSocket socket;
        socket.connectToServer(socketPath());
        if (socket.waitForConnected(int(std::max<qint64>(deadline.remainingTime(), 1)))) {
            socket.write(requestLine());
            socket.flush();
            while (!socket.canReadLine() && !deadline.hasExpired()) {
                if (!socket.waitForReadyRead(int(std::max<qint64>(deadline.remainingTime(), 1))))
                    break;
            }
            if (socket.canReadLine() && socket.readLine() == "ok\n")
                return true;
        }
        // The holder may still be starting and not listening yet.
        QThread::msleep(50);
    }
    return false;
}

} // namespace vellicord
