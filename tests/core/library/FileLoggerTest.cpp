#include "core/library/FileLogger.h"

#include "core/library/AppLog.h"
#include "core/library/LibrarySamples.h"
#include "platform/posix/ThreadSerialQueue.h"
#include "support/FaultyFileSystem.h"
#include "support/ManualClock.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <thread>

namespace vellicord {
namespace {

using LibrarySamples::readFile;

const ManualClock fixedTime(QDateTime(QDate(2026, 3, 1), QTime(8, 30, 0, 400), Qt::UTC));

class FileLoggerTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        files.stateDirectory = root.path() + QStringLiteral("/state");
        qputenv(FileLogger::directoryVariable, QByteArray());
    }
    void TearDown() override
    {
        FileLogger::setShared(nullptr);
        qunsetenv(FileLogger::directoryVariable);
    }

    QString defaultLog() const { return root.path() + QStringLiteral("/state/Vellicord/vellicord.log"); }

    QTemporaryDir root;
    FaultyFileSystem files;
    ThreadSerialQueue queue{FileLogger::queueLabel};
};

TEST_F(FileLoggerTest, linesAndMessages)
{
    struct Case {
        const char* name;
        std::function<void()> log;
        QByteArray line;
    };
    const Case cases[] = {
        {"tag alone", [] { logApp(QStringLiteral("Capture started")); }, "[2026-03-01T08:30:00Z] Capture started\n"},
        {"tag with items", [] { logApp(QStringLiteral("Saved"), 1, true); }, "[2026-03-01T08:30:00Z] Saved 1 true\n"},
        {"texts and numbers", [] { logApp(QStringLiteral("Window"), "main", QStringLiteral("shown"), 2.5); },
         "[2026-03-01T08:30:00Z] Window main shown 2.5\n"},
        {"line breaks of another program",
         [] { logApp(QStringLiteral("Capture failed: ") + QStringLiteral("bad\nthing\r\u2028\tend")); },
         "[2026-03-01T08:30:00Z] Capture failed: bad\xEF\xBF\xBDthing\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD"
         "end\n"},
        {"lone surrogate", [] { logApp(QStringLiteral("App ") + QChar(0xD83D)); },
         "[2026-03-01T08:30:00Z] App \xEF\xBF\xBD\n"},
    };
    FileLogger logger(files, queue, fixedTime);
    ASSERT_TRUE(logger.start());
    FileLogger::setShared(&logger);
    QByteArray expected;
    for (const Case& c : cases) {
        c.log();
        expected += c.line;
        queue.sync([] {});
        EXPECT_EQ(readFile(defaultLog()), expected) << c.name;
    }
}

TEST_F(FileLoggerTest, linesBeforeStartAreDropped)
{
    FileLogger logger(files, queue, fixedTime);
    logger.log(QStringLiteral("early"));
    queue.sync([] {});
    ASSERT_TRUE(logger.start());
    logger.log(QStringLiteral("late"));
    queue.sync([] {});
    EXPECT_EQ(readFile(defaultLog()), QByteArray("[2026-03-01T08:30:00Z] late\n"));
}

TEST_F(FileLoggerTest, directoryVariable)
{
    EXPECT_EQ(FileLogger::directory(files), root.path() + QStringLiteral("/state/Vellicord")) << "empty variable";
    qunsetenv(FileLogger::directoryVariable);
    EXPECT_EQ(FileLogger::directory(files), root.path() + QStringLiteral("/state/Vellicord")) << "no variable";
    qputenv(FileLogger::directoryVariable, "relative/logs");
    EXPECT_EQ(FileLogger::directory(files), QStringLiteral("relative/logs")) << "used unchanged";
}

TEST_F(FileLoggerTest, folderThatCannotBeCreated)
{
    LibrarySamples::writeFile(root.path() + QStringLiteral("/plain"), "not a folder");
    const QString folder = root.path() + QStringLiteral("/plain/logs");
    qputenv(FileLogger::directoryVariable, folder.toUtf8());
    FileLogger logger(files, queue, fixedTime);
    ::testing::internal::CaptureStderr();
    const bool started = logger.start();
    const std::string standardError = ::testing::internal::GetCapturedStderr();
    EXPECT_FALSE(started);
    EXPECT_EQ(standardError, "FileLogger could not open " + folder.toStdString() + ": Not a directory\n");
    logger.log(QStringLiteral("lost"));
    queue.sync([] {});
    EXPECT_FALSE(QFileInfo::exists(folder));

    // A later start tries again.
    QFile::remove(root.path() + QStringLiteral("/plain"));
    EXPECT_TRUE(logger.start());
    logger.log(QStringLiteral("kept"));
    queue.sync([] {});
    EXPECT_EQ(readFile(folder + QStringLiteral("/vellicord.log")), QByteArray("[2026-03-01T08:30:00Z] kept\n"));
}

TEST_F(FileLoggerTest, twoWritersAndARestartAppend)
{
    QDir().mkpath(root.path() + QStringLiteral("/state/Vellicord"));
    LibrarySamples::writeFile(defaultLog(), "[2026-02-28T00:00:00Z] earlier run\n");
    ThreadSerialQueue otherQueue(FileLogger::queueLabel);
    FileLogger first(files, queue, fixedTime);
    FileLogger second(files, otherQueue, fixedTime);
    ASSERT_TRUE(first.start());
    ASSERT_TRUE(second.start());
    const int lines = 300;
    std::thread a([&] {
        for (int i = 0; i < lines; ++i)
            first.log(QStringLiteral("first %1 ").arg(i) + QString(40, QLatin1Char('a')));
    });
    std::thread b([&] {
        for (int i = 0; i < lines; ++i)
            second.log(QStringLiteral("second %1 ").arg(i) + QString(40, QLatin1Char('b')));
    });
    a.join();
    b.join();
    queue.sync([] {});
    otherQueue.sync([] {});

    const QList<QByteArray> written = readFile(defaultLog()).split('\n');
    ASSERT_EQ(written.size(), 1 + 2 * lines + 1);
    EXPECT_EQ(written.first(), QByteArray("[2026-02-28T00:00:00Z] earlier run"));
    int nextFirst = 0;
    int nextSecond = 0;
    for (qsizetype i = 1; i < written.size() - 1; ++i) {
        const QByteArray& line = written[i];
        if (line.contains("] first "))
            EXPECT_EQ(line,
                      "[2026-03-01T08:30:00Z] first " + QByteArray::number(nextFirst++) + ' ' + QByteArray(40, 'a'));
        else
            EXPECT_EQ(line,
                      "[2026-03-01T08:30:00Z] second " + QByteArray::number(nextSecond++) + ' ' + QByteArray(40, 'b'));
    }
    EXPECT_EQ(nextFirst, lines);
    EXPECT_EQ(nextSecond, lines);
}

// Another thread logging through the shared logger while it is destroyed: the destructor waits
// for the line on its way instead of leaving it to a freed logger (AddressSanitizer would tell).
TEST_F(FileLoggerTest, destroyingTheSharedLoggerWaitsForLinesOnTheirWay)
{
    for (int round = 0; round < 30; ++round) {
        auto logger = std::make_unique<FileLogger>(files, queue, fixedTime);
        ASSERT_TRUE(logger->start());
        FileLogger::setShared(logger.get());
        std::atomic<bool> stop = false;
        std::thread worker([&] {
            while (!stop)
                FileLogger::logToShared(QStringLiteral("from the worker"));
        });
        std::this_thread::sleep_for(std::chrono::microseconds(200));
        logger.reset();
        stop = true;
        worker.join();
        EXPECT_EQ(FileLogger::shared(), nullptr);
    }
}

} // namespace
} // namespace vellicord
