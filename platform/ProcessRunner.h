#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <chrono>

namespace vellicord {

struct ProcessResult {
    enum class Status { finished, launchFailed, timedOut };
    Status status = Status::launchFailed;
    QByteArray standardOutput;
    QByteArray standardError;
    QString errorDescription; // why the launch failed
};

// Runs an outside program to its end, or stops it at the time limit.
class ProcessRunner {
public:
    virtual ~ProcessRunner() = default;
    virtual bool isExecutable(const QString& program) = 0;
    // Standard input is not redirected; both outputs are read while waiting, so a chatty program
    // never blocks on a full pipe. A program still running at the limit is terminated, killed when
    // it does not end, and reaped before this returns.
    virtual ProcessResult run(const QString& program, const QStringList& arguments,
                              std::chrono::milliseconds limit) = 0;
};

} // namespace vellicord
