#include "platform/qt/SingleInstance.h"

#include "core/library/LibrarySamples.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <functional>
#include <sys/resource.h>
#include <unistd.h>

using namespace vellicord;

namespace {

// The program, started as a user would, with the lock folder of the test. `inChild` runs in the
// new process before the program does (to lower its limits).
std::unique_ptr<QProcess> startProgram(const QString& runtime, std::function<void()> inChild = {})
{
    auto program = std::make_unique<QProcess>();
    if (inChild)
        program->setChildProcessModifier(inChild);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), runtime);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), runtime + QStringLiteral("/config"));
    environment.insert(QStringLiteral("XDG_DATA_HOME"), runtime + QStringLiteral("/data"));
    environment.insert(QStringLiteral("VELLICORD_LOG_DIR"), runtime + QStringLiteral("/logs"));
    environment.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    program->setProcessEnvironment(environment);
    program->start(QStringLiteral(VELLICORD_BINARY), {});
    return program;
}

QString logText(const QString& runtime)
{
    QFile file(runtime + QStringLiteral("/logs/vellicord.log"));
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString libraryPath(const QString& runtime)
{
    return runtime + QStringLiteral("/data/Vellicord/Vellicord.json");
}

// Running, the program holds the lock and listens.
bool waitUntilServing(const QString& runtime, QProcess& program)
{
    return QTest::qWaitFor(
               [&] {
                   return program.state() == QProcess::NotRunning
                       || (QFile::exists(runtime + QStringLiteral("/vellicord.socket"))
                           && logText(runtime).contains(u"Vellicord launched"));
               },
               60000)
        && program.state() == QProcess::Running;
}

bool endsNormally(QProcess& program)
{
    ::kill(pid_t(program.processId()), SIGTERM);
    return program.waitForFinished(60000) && program.exitStatus() == QProcess::NormalExit && program.exitCode() == 0;
}

} // namespace

TEST(SingleInstance, SecondProgramDeliversTheRequestAndExits)
{
    QTemporaryDir runtime;
    SingleInstance first(runtime.path());
    ASSERT_TRUE(first.tryLock());
    ASSERT_TRUE(first.listen());
    EXPECT_EQ(QFile::permissions(first.socketPath()) & (QFile::ReadOther | QFile::WriteOther), 0);
    int requests = 0;
    QObject::connect(&first, &SingleInstance::showWindowRequested, [&] { ++requests; });

    auto second = startProgram(runtime.path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return second->state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(second->exitCode(), 0);
    EXPECT_EQ(requests, 1);
    EXPECT_TRUE(logText(runtime.path())
                    .contains(QStringLiteral("Another Vellicord instance found (pid %1); delegating").arg(getpid())));
}

// The running program shows its window for the second one, and a termination signal ends it the
// normal way, with its last line logged.
TEST(SingleInstance, RunningProgramAnswersTheSecondAndEndsOnSignal)
{
    QTemporaryDir runtime;
    auto first = startProgram(runtime.path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return logText(runtime.path()).contains(u"Vellicord launched"); }, 20000));
    auto second = startProgram(runtime.path());
    ASSERT_TRUE(QTest::qWaitFor([&] { return second->state() == QProcess::NotRunning; }, 20000));
    EXPECT_EQ(second->exitCode(), 0);
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return logText(runtime.path()).contains(u"Show-window request from another instance"); }, 5000));
    ::kill(pid_t(first->processId()), SIGHUP);
    ASSERT_TRUE(first->waitForFinished(10000));
    EXPECT_EQ(first->exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(first->exitCode(), 0);
    const QStringList lines = logText(runtime.path()).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    EXPECT_TRUE(lines.last().endsWith(u"] Vellicord terminated")) << qPrintable(lines.last());
    EXPECT_EQ(lines.filter(u"Vellicord launched").size(), 2);
}

// Whoever finds the program running may end it: a signal the moment its socket appears ends it the
// normal way too, and leaves no socket behind.
TEST(SingleInstance, ASignalAsTheSocketAppearsEndsTheProgramNormally)
{
    QTemporaryDir runtime;
    const QByteArray socket = QFile::encodeName(runtime.filePath(QStringLiteral("vellicord.socket")));
    auto program = startProgram(runtime.path());
    ASSERT_TRUE(program->waitForStarted(10000));
    QElapsedTimer waited;
    waited.start();
    while (::access(socket.constData(), F_OK) != 0 && waited.elapsed() < 60000) {}
    EXPECT_TRUE(endsNormally(*program));
    EXPECT_NE(::access(socket.constData(), F_OK), 0);
}

TEST(SingleInstance, OnlyTheExactRequestIsAccepted)
{
    QTemporaryDir runtime;
    SingleInstance first(runtime.path());
    ASSERT_TRUE(first.tryLock());
    ASSERT_TRUE(first.listen());
    int requests = 0;
    QObject::connect(&first, &SingleInstance::showWindowRequested, [&] { ++requests; });
    for (const QByteArray& message : {QByteArray("VellicordShowWindowRequestX\n"), QByteArray(4096, 'x'),
                                      QByteArray("vellicordshowwindowrequest\n")}) {
        QLocalSocket socket;
        socket.connectToServer(first.socketPath());
        ASSERT_TRUE(socket.waitForConnected(2000));
        socket.write(message);
        socket.flush();
        // Gives the server the time to read and refuse the message.
        (void)QTest::qWaitFor([&] { return socket.state() == QLocalSocket::UnconnectedState; }, 2000);
    }
    EXPECT_EQ(requests, 0);
}

TEST(SingleInstance, LockOfAKilledProgramIsTakenOver)
{
    QTemporaryDir runtime;
    auto program = startProgram(runtime.path());
    SingleInstance probe(runtime.path());
    // Running, the program holds the lock.
    ASSERT_TRUE(QTest::qWaitFor([&] { return QFile::exists(probe.socketPath()); }, 20000));
    EXPECT_FALSE(probe.tryLock());
    ::kill(pid_t(program->processId()), SIGKILL);
    ASSERT_TRUE(program->waitForFinished(5000));
    EXPECT_TRUE(probe.tryLock());
    EXPECT_TRUE(probe.listen());
}

TEST(SingleInstance, TwoSimultaneousStartsLeaveOne)
{
    QTemporaryDir runtime;
    auto a = startProgram(runtime.path());
    auto b = startProgram(runtime.path());
    // One hands over and ends; the other keeps running.
    ASSERT_TRUE(QTest::qWaitFor(
        [&] { return a->state() == QProcess::NotRunning || b->state() == QProcess::NotRunning; }, 20000));
    QThread::msleep(300);
    QProcess& ended = a->state() == QProcess::NotRunning ? *a : *b;
    QProcess& running = a->state() == QProcess::NotRunning ? *b : *a;
    EXPECT_EQ(ended.exitCode(), 0);
    EXPECT_EQ(running.state(), QProcess::Running);
    running.terminate();
    running.waitForFinished(5000);
}

TEST(SingleInstance, ALockThatNamesNoLiveProcessIsTakenOver)
{
    struct Case {
        const char* name;
        QByteArray lock;
    };
    const Case cases[] = {
        {"empty", ""},
        {"garbage", QByteArray("\x7f\x01 not a lock\n", 15)},
        {"process id 0", "0\nvellicord\nhost\n"},
        {"negative process id", "-12\nvellicord\nhost\n"},
        {"no process id", "\nvellicord\nhost\n"},
    };
    for (const Case& c : cases) {
        QTemporaryDir runtime;
        SingleInstance instance(runtime.path());
        LibrarySamples::writeFile(instance.lockPath(), c.lock);
        EXPECT_TRUE(instance.tryLock()) << c.name;
        EXPECT_TRUE(instance.listen()) << c.name;
    }

    // A live holder keeps its lock, also against a copy in its own process.
    QTemporaryDir runtime;
    SingleInstance holder(runtime.path());
    ASSERT_TRUE(holder.tryLock());
    SingleInstance later(runtime.path());
    EXPECT_FALSE(later.tryLock());
    EXPECT_EQ(later.otherProcessId(), getpid());
}

// An empty or damaged lock file once stopped every start with "Another Vellicord instance found
// (pid 0)" and status 1.
TEST(SingleInstance, ProgramStartsOverADamagedLockFile)
{
    for (const QByteArray& lock : {QByteArray(), QByteArray("garbage\x01\n")}) {
        QTemporaryDir runtime;
        LibrarySamples::writeFile(runtime.filePath(QStringLiteral("vellicord.lock")), lock);
        auto program = startProgram(runtime.path());
        ASSERT_TRUE(waitUntilServing(runtime.path(), *program))
            << lock.size() << program->readAllStandardError().data();
        SingleInstance probe(runtime.path());
        EXPECT_FALSE(probe.tryLock()) << "the program holds the lock";
        EXPECT_EQ(probe.otherProcessId(), program->processId());
        EXPECT_FALSE(logText(runtime.path()).contains(u"Another Vellicord instance found"));
        EXPECT_TRUE(endsNormally(*program));
    }
}

TEST(SingleInstance, EachConnectionServesOneRequestAndIdleOnesAreClosed)
{
    QTemporaryDir runtime;
    SingleInstance first(runtime.path());
    ASSERT_TRUE(first.tryLock());
    ASSERT_TRUE(first.listen());
    int requests = 0;
    QObject::connect(&first, &SingleInstance::showWindowRequested, [&] { ++requests; });

    // More silent clients than are served at once: the oldest give way at once, the rest when
    // their time is up.
    std::vector<std::unique_ptr<QLocalSocket>> idle;
    for (int i = 0; i < SingleInstance::maxConnections + 12; ++i) {
        idle.push_back(std::make_unique<QLocalSocket>());
        idle.back()->connectToServer(first.socketPath());
        ASSERT_TRUE(idle.back()->waitForConnected(2000));
    }
    idle.back()->write("VellicordShowWindow"); // half a request, never finished
    const auto closed = [&] {
        return std::count_if(idle.cbegin(), idle.cend(),
                             [](const auto& socket) { return socket->state() == QLocalSocket::UnconnectedState; });
    };
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed() >= 12; }, 1000));

    // A request among them is answered, and its connection closed after the one answer.
    QLocalSocket client;
    client.connectToServer(first.socketPath());
    ASSERT_TRUE(client.waitForConnected(2000));
    client.write(SingleInstance::showWindowRequest.toUtf8() + "\n" + SingleInstance::showWindowRequest.toUtf8() + "\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return client.state() == QLocalSocket::UnconnectedState; }, 1000));
    EXPECT_EQ(client.readAll(), QByteArray("ok\n"));
    EXPECT_EQ(requests, 1);

    QElapsedTimer time;
    time.start();
    ASSERT_TRUE(QTest::qWaitFor([&] { return closed() == qsizetype(idle.size()); }, 5000));
    EXPECT_GE(time.elapsed(), SingleInstance::idleTimeoutMs / 2) << "silent clients get some time";
}

// About 1,000 silent connections used to take every descriptor: the program closed its socket
// for good, later launches ended with status 1, and the save at quit lost the backup.
TEST(SingleInstance, AFloodOfConnectionsNeitherJamsTheProgramNorItsSave)
{
    constexpr int flood = 1100;
    rlimit limit = {};
    ASSERT_EQ(::getrlimit(RLIMIT_NOFILE, &limit), 0);
    if (limit.rlim_max < flood + 200)
        GTEST_SKIP() << "this process may open only " << limit.rlim_max << " files";
    const rlimit own = limit;
    limit.rlim_cur = limit.rlim_max;
    ASSERT_EQ(::setrlimit(RLIMIT_NOFILE, &limit), 0);

    QTemporaryDir runtime;
    // The usual limit of a desktop session.
    auto first = startProgram(runtime.path(), [] {
        const rlimit usual = {1024, 1024};
        ::setrlimit(RLIMIT_NOFILE, &usual);
    });
    ASSERT_TRUE(waitUntilServing(runtime.path(), *first));
    std::vector<std::unique_ptr<QLocalSocket>> sockets;
    for (int i = 0; i < flood; ++i) {
        sockets.push_back(std::make_unique<QLocalSocket>());
        sockets.back()->connectToServer(runtime.filePath(QStringLiteral("vellicord.socket")));
        ASSERT_TRUE(sockets.back()->waitForConnected(5000)) << "connection " << i;
    }

    auto second = startProgram(runtime.path());
    ASSERT_TRUE(second->waitForFinished(30000));
    EXPECT_EQ(second->exitCode(), 0) << second->readAllStandardError().data();
    EXPECT_TRUE(QTest::qWaitFor(
        [&] { return logText(runtime.path()).contains(u"Show-window request from another instance"); }, 5000));

    EXPECT_TRUE(endsNormally(*first));
    EXPECT_FALSE(logText(runtime.path()).contains(u"Store save failed")) << qPrintable(logText(runtime.path()));
    const QByteArray library = LibrarySamples::readFile(libraryPath(runtime.path()));
    EXPECT_FALSE(library.isEmpty());
    EXPECT_EQ(LibrarySamples::readFile(StorePersistence::backupURL(libraryPath(runtime.path()))), library);
    sockets.clear();
    ::setrlimit(RLIMIT_NOFILE, &own);
}

// A copy launched while the running one saves its library at quit used to wait 2 s for an answer
// that never came and end with status 1, showing nothing.
TEST(SingleInstance, ALaunchDuringTheSaveAtQuitStartsOnceTheSaveIsDone)
{
    QTemporaryDir runtime;
    const StoreSnapshot library = LibrarySamples::library(20000);
    QDir().mkpath(QFileInfo(libraryPath(runtime.path())).path());
    LibrarySamples::writeFile(libraryPath(runtime.path()), LibrarySamples::bytes(library));
    const QString socket = runtime.filePath(QStringLiteral("vellicord.socket"));

    const QString lock = runtime.filePath(QStringLiteral("vellicord.lock"));
    // Quitting, the program stops listening before it saves; it is held right there, as a slow
    // disk would hold it, with the lock still taken. With nothing to save it lets go of the lock
    // a moment later, and a hold that comes after that is tried again.
    std::unique_ptr<QProcess> first;
    pid_t firstPid = 0;
    for (int attempt = 0; attempt < 20; ++attempt) {
        first = startProgram(runtime.path());
        ASSERT_TRUE(waitUntilServing(runtime.path(), *first));
        firstPid = pid_t(first->processId());
        ::kill(firstPid, SIGTERM);
        QElapsedTimer waited;
        waited.start();
        while (QFile::exists(socket) && waited.elapsed() < 60000)
            QThread::usleep(100);
        ::kill(firstPid, SIGSTOP);
        ASSERT_FALSE(QFile::exists(socket));
        if (QFile::exists(lock) && first->state() == QProcess::Running)
            break;
        ::kill(firstPid, SIGCONT);
        ASSERT_TRUE(first->waitForFinished(60000));
        first.reset();
    }
    ASSERT_TRUE(first) << "the quit never could be held with its lock taken";

    auto second = startProgram(runtime.path());
    // Longer than the 2 s after which the second copy used to give up.
    QTest::qWait(3000);
    EXPECT_EQ(second->state(), QProcess::Running) << second->readAllStandardError().data();
    EXPECT_TRUE(logText(runtime.path()).contains(u"Another Vellicord instance found"));
    ::kill(firstPid, SIGCONT);

    ASSERT_TRUE(first->waitForFinished(60000));
    EXPECT_EQ(first->exitCode(), 0);
    ASSERT_TRUE(waitUntilServing(runtime.path(), *second)) << second->readAllStandardError().data();
    const QString log = logText(runtime.path());
    EXPECT_TRUE(log.contains(u"The other Vellicord instance has ended; starting"));
    EXPECT_FALSE(log.contains(u"Store save failed"));
    SingleInstance probe(runtime.path());
    EXPECT_FALSE(probe.tryLock());
    EXPECT_EQ(probe.otherProcessId(), second->processId());
    EXPECT_TRUE(endsNormally(*second));
    EXPECT_EQ(StorePersistence::decode(LibrarySamples::readFile(libraryPath(runtime.path()))), library);
}
