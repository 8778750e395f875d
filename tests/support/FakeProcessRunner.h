#pragma once

#include "platform/ProcessRunner.h"

#include <QList>

namespace vellicord {

// Answers every run with the same result and remembers what was asked.
class FakeProcessRunner final : public ProcessRunner {
public:
    bool programExists = true;
    ProcessResult result;
    QList<QStringList> runs; // the arguments of each run

    bool isExecutable(const QString&) override { return programExists; }
    ProcessResult run(const QString&, const QStringList& arguments, std::chrono::milliseconds) override
    {
        runs.append(arguments);
        return result;
    }
};

} // namespace vellicord
