#include "platform/qt/QtProcessRunner.h"

#include <QDeadlineTimer>
#include <QFileInfo>
#include <QProcess>

namespace vellicord {

namespace {

constexpr int terminateGraceMs = 200;

} // namespace

bool QtProcessRunner::isExecutable(const QString& program)
{
    const QFileInfo info(program);
    return info.isFile() && info.isExecutable();
}

ProcessResult QtProcessRunner::run(const QString& program, const QStringList& arguments,
                                   std::chrono::milliseconds limit)
{
    ProcessResult result;
    QProcess process;
    process.setInputChannelMode(QProcess::ForwardedInputChannel);
    process.setProcessChannelMode(QProcess::SeparateChannels);
    const QDeadlineTimer deadline(limit);
    process.start(program, arguments);
    if (!process.waitForStarted(int(std::max<qint64>(deadline.remainingTime(), 1)))) {
        result.status = ProcessResult::Status::launchFailed;
        result.errorDescription = process.errorString();
        return result;
    }
    // waitForFinished keeps reading both pipes while it waits, so the program never blocks on a
    // full pipe.
    const bool finished = process.waitForFinished(int(std::max<qint64>(deadline.remainingTime(), 1)));
    if (!finished && process.state() != QProcess::NotRunning) {
        process.terminate();
        if (!process.waitForFinished(terminateGraceMs)) {
            process.kill();
            process.waitForFinished(-1);
        }
        result.status = ProcessResult::Status::timedOut;
        return result;
    }
    result.status = ProcessResult::Status::finished;
    result.standardOutput = process.readAllStandardOutput();
    result.standardError = process.readAllStandardError();
    return result;
}

} // namespace vellicord
