#include "platform/qt/QtProcessRunner.h"

#include <QElapsedTimer>

#include <gtest/gtest.h>

using namespace std::chrono_literals;

namespace vellicord {
namespace {

ProcessResult runShell(const QString& script, std::chrono::milliseconds limit = 1500ms)
{
    QtProcessRunner runner;
    return runner.run(QStringLiteral("/bin/sh"), {QStringLiteral("-c"), script}, limit);
}

TEST(QtProcessRunnerTest, ScriptThatSleepsPastTheLimitIsStopped)
{
    QElapsedTimer timer;
    timer.start();
    // Ignoring the polite request to end, so that only the kill stops it.
    const ProcessResult result = runShell(QStringLiteral("trap '' TERM; echo started; sleep 5"), 300ms);
    EXPECT_EQ(result.status, ProcessResult::Status::timedOut);
    EXPECT_LT(timer.elapsed(), 2000);
}

TEST(QtProcessRunnerTest, OutputLargerThanAPipeIsReadWhole)
{
    const ProcessResult result = runShell(QStringLiteral("head -c 200000 /dev/zero | tr '\\0' a; echo; echo err >&2"));
    EXPECT_EQ(result.status, ProcessResult::Status::finished);
    EXPECT_EQ(result.standardOutput.size(), 200001);
    EXPECT_EQ(result.standardError, "err\n");
}

TEST(QtProcessRunnerTest, StandardErrorOnly)
{
    const ProcessResult result = runShell(QStringLiteral("echo 'script error' >&2; exit 1"));
    EXPECT_EQ(result.status, ProcessResult::Status::finished);
    EXPECT_TRUE(result.standardOutput.isEmpty());
    EXPECT_EQ(result.standardError, "script error\n");
}

TEST(QtProcessRunnerTest, MissingProgram)
{
    QtProcessRunner runner;
    EXPECT_FALSE(runner.isExecutable(QStringLiteral("/usr/bin/osascript")));
    const ProcessResult result = runner.run(QStringLiteral("/nonexistent/program"), {}, 1500ms);
    EXPECT_EQ(result.status, ProcessResult::Status::launchFailed);
    EXPECT_FALSE(result.errorDescription.isEmpty());
}

} // namespace
} // namespace vellicord
