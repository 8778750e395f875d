#pragma once

#include <QLockFile>
#include <QObject>
#include <QString>

#include <memory>

class QLocalServer;

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

    // directory: where the lock and the socket live; empty means the default.
    explicit SingleInstance(QString directory = {}, QObject* parent = nullptr);
    ~SingleInstance() override;

    static QString defaultDirectory();

    // True when this process now holds the lock (it is the only copy).
    bool tryLock();
    // The process id written in the lock by the copy that holds it; 0 when unknown.
    qint64 otherProcessId() const;

    // Holder of the lock: accepts requests; showWindowRequested is emitted for each valid one.
    bool listen();
    // Another copy: delivers the request, retrying while the holder is still starting up.
    bool sendShowWindowRequest(int timeoutMs = 2000) const;

    QString lockPath() const;
    QString socketPath() const;

Q_SIGNALS:
    void showWindowRequested();

private:
    bool takeOverLockWithoutHolder();
    void readRequest();

    QString directory_;
    std::unique_ptr<QLockFile> lock_;
    QLocalServer* server_ = nullptr;
};

} // namespace vellicord
