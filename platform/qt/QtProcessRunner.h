#pragma once

#include "platform/ProcessRunner.h"

namespace vellicord {

// Runs programs with QProcess on the calling thread.
class QtProcessRunner final : public ProcessRunner {
public:
    bool isExecutable(const QString& program) override;
    ProcessResult run(const QString& program, const QStringList& arguments, std::chrono::milliseconds limit) override;
};

} // namespace vellicord
