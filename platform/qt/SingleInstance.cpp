#include "platform/qt/SingleInstance.h"

#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalSocket>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <cerrno>
#include <cstring>

#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace vellicord {
namespace {

constexpr qsizetype maxRequestLength = 256;
// Connections taken per wake-up, so that a client connecting in a loop cannot hold up the
// application's event loop.
constexpr int acceptsPerWakeUp = 64;
// After accept() failed for want of descriptors or memory, accepting resumes this much later:
// the client stays queued, and a socket that stays readable must not spin the loop meanwhile.
constexpr int acceptPauseMs = 200;
// One attempt at the request while handing over; the holder answers within milliseconds when
// its event loop runs.
constexpr int handOverAttemptMs = 2000;

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
    stopListening();
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
    if (listener_ >= 0)
        return true;
    const QByteArray path = QFile::encodeName(socketPath());
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    if (size_t(path.size()) >= sizeof address.sun_path)
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0)
        return false;
    // We hold the lock, so a socket file left behind belongs to a copy that is gone. The folder
    // is the user's own; the socket is made private all the same.
    ::unlink(path.constData());
    if (::bind(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0
        || ::chmod(path.constData(), S_IRUSR | S_IWUSR) != 0 || ::listen(fd, SOMAXCONN) != 0) {
        ::close(fd);
        return false;
    }
    // The socket is ours to accept on: QLocalServer closes its socket for good when accept()
    // fails once (no descriptor left), and every later launch then finds no one to ask.
    listener_ = fd;
    acceptNotifier_ = new QSocketNotifier(fd, QSocketNotifier::Read, this);
    connect(acceptNotifier_, &QSocketNotifier::activated, this, &SingleInstance::acceptConnections);
    return true;
}

void SingleInstance::stopListening()
{
    if (listener_ < 0)
        return;
    delete acceptNotifier_;
    acceptNotifier_ = nullptr;
    ::close(listener_);
    listener_ = -1;
    ::unlink(QFile::encodeName(socketPath()).constData());
    while (!connections_.isEmpty())
        drop(connections_.first());
}

void SingleInstance::acceptConnections()
{
    for (int accepted = 0; accepted < acceptsPerWakeUp; ++accepted) {
        const int fd = ::accept4(listener_, nullptr, nullptr, SOCK_NONBLOCK | SOCK_CLOEXEC);
        if (fd >= 0) {
            serve(fd);
            continue;
        }
        if (errno == EINTR || errno == ECONNABORTED)
            continue;
        if (errno != EAGAIN && errno != EWOULDBLOCK) {
            acceptNotifier_->setEnabled(false);
            QTimer::singleShot(acceptPauseMs, acceptNotifier_,
                               [notifier = acceptNotifier_] { notifier->setEnabled(true); });
        }
        return;
    }
}

void SingleInstance::serve(int descriptor)
{
    if (connections_.size() >= maxConnections)
        drop(connections_.first());
    auto* socket = new QLocalSocket(this);
    if (!socket->setSocketDescriptor(descriptor)) {
        ::close(descriptor);
        delete socket;
        return;
    }
    connections_.append(socket);
    connect(socket, &QLocalSocket::readyRead, this, [this, socket] { readRequest(socket); });
    connect(socket, &QLocalSocket::disconnected, this, [this, socket] { drop(socket); });
    QTimer::singleShot(idleTimeoutMs, socket, [this, socket] { drop(socket); });
}

void SingleInstance::readRequest(QLocalSocket* socket)
{
    if (socket->bytesAvailable() > maxRequestLength) {
        drop(socket);
        return;
    }
    if (!socket->canReadLine())
        return;
    const bool valid = socket->readLine(maxRequestLength) == requestLine();
    // One request per connection: it ends here, answered or not.
    connections_.removeOne(socket);
    socket->disconnect(this);
    connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
    if (valid) {
        socket->write("ok\n");
        socket->flush();
    }
    socket->disconnectFromServer();
    if (socket->state() == QLocalSocket::UnconnectedState)
        socket->deleteLater();
    if (valid)
        Q_EMIT showWindowRequested();
}

void SingleInstance::drop(QLocalSocket* socket)
{
    connections_.removeOne(socket);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
}

bool SingleInstance::requestShowWindow(int timeoutMs) const
{
    const QDeadlineTimer deadline(std::max(timeoutMs, 1));
    const auto remaining = [&] { return int(std::max<qint64>(deadline.remainingTime(), 1)); };
    QLocalSocket socket;
    socket.connectToServer(socketPath());
    if (!socket.waitForConnected(remaining()))
        return false;
    socket.write(requestLine());
    socket.flush();
    while (!socket.canReadLine() && !deadline.hasExpired()) {
        if (!socket.waitForReadyRead(remaining()))
            break;
    }
    return socket.canReadLine() && socket.readLine() == "ok\n";
}

bool SingleInstance::sendShowWindowRequest(int timeoutMs) const
{
    const QDeadlineTimer deadline(timeoutMs);
    while (!deadline.hasExpired()) {
        if (requestShowWindow(int(deadline.remainingTime())))
            return true;
        // The holder may still be starting and not listening yet.
        QThread::msleep(50);
    }
    return false;
}

SingleInstance::HandOver SingleInstance::handOver(int timeoutMs)
{
    const QDeadlineTimer deadline(timeoutMs);
    for (;;) {
        if (requestShowWindow(int(std::min<qint64>(deadline.remainingTime(), handOverAttemptMs))))
            return HandOver::delivered;
        // A holder that does not answer may be quitting: it lets go of the lock once the library
        // is saved, and then this copy is the one to start.
        if (tryLock())
            return HandOver::lockTaken;
        if (deadline.hasExpired())
            return HandOver::noAnswer;
        QThread::msleep(50);
    }
}

} // namespace vellicord
