#pragma once

#include <QList>
#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QLocalSocket;
class QSocketNotifier;

namespace vellicord {

// Keeps one running copy per user. The first copy holds a lock file and listens on a local
// socket, both in a folder only the user can enter ($XDG_RUNTIME_DIR, else a private folder in
// the temporary directory); a later copy finds the lock taken, sends the show-window request and
// ends. A lock left by a copy that was killed is taken over, since its process is gone; so is a
// lock that names no process at all (empty or damaged).
class SingleInstance final : public QObject {
    Q_OBJECT
public:
    static inline const QString showWindowRequest = QStringLiteral("VellicordShowWindowRequest");

    // Connections served at once; a further one closes the oldest, so that clients that connect
    // and say nothing can never use up the process's descriptors.
    static constexpr int maxConnections = 8;
    // How long a connection may stay silent; a launching copy writes its request at once.
    static constexpr int idleTimeoutMs = 2000;
    // How long a later copy waits for the holder to answer or to let go of the lock: the holder
    // may be starting, or quitting (it stops listening, saves the library, then lets go).
    static constexpr int handOverTimeoutMs = 15000;

    // directory: where the lock and the socket live; empty means the default.
    explicit SingleInstance(QString directory = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    static QString defaultDirectory();

    // True when this process now holds the lock (it is the only copy).
    bool tryLock();
    // The process id written in the lock by the copy that holds it; 0 when unknown.
    qint64 otherProcessId() const;

    // Holder of the lock: accepts requests; showWindowRequested is emitted for each valid one.
    // Every connection is closed after its one request.
    bool listen();
    // Holder of the lock, when it quits: a later copy then waits for the lock instead of for an
    // answer that will not come.
    void stopListening();
    // Holder of the lock, ending without destroying this object: lets go of the lock now.
    void release() { lock_.reset(); }
    // Another copy: delivers the request, retrying while the holder is still starting up.
    bool sendShowWindowRequest(int timeoutMs = 2000) const;

    enum class HandOver {
        delivered, // the holder shows its window; this copy ends
        lockTaken, // the holder ended meanwhile: this copy holds the lock now and starts
        noAnswer, // the holder neither answered nor ended in time
    };
    // Another copy: delivers the request, or takes the lock once the holder lets go of it.
    HandOver handOver(int timeoutMs = handOverTimeoutMs);

    QString lockPath() const;
    QString socketPath() const;

Q_SIGNALS:
    void showWindowRequested();

private:
    bool takeOverLockWithoutHolder();
    bool requestShowWindow(int timeoutMs) const;
    void acceptConnections();
    void serve(int descriptor);
    void readRequest(QLocalSocket* socket);
    void drop(QLocalSocket* socket);

    QString directory_;
    std::unique_ptr<QLockFile> lock_;
    int listener_ = -1;
    QSocketNotifier* acceptNotifier_ = nullptr;
    QList<QLocalSocket*> connections_; // oldest first
};

} // namespace vellicord
