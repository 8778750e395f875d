// Start-up of the real program with a library of 10,000 captures: from the start of the process to
// its event loop answering a show-window request (the first thing it can do for anyone).
// Needs an X server: without DISPLAY it runs itself under xvfb-run.
#include "bench/X11BenchMain.h"
#include "platform/qt/SingleInstance.h"
#include "tests/core/library/LibrarySamples.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLocalSocket>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <benchmark/benchmark.h>

#include <algorithm>
#include <csignal>
#include <unistd.h>
#include <vector>

namespace {

using namespace vellicord;

// True once the running program answered the request.
bool answered(const QString& socketPath)
{
    QLocalSocket socket;
    socket.connectToServer(socketPath);
    if (!socket.waitForConnected(50))
        return false;
    socket.write(SingleInstance::showWindowRequest.toUtf8() + '\n');
    socket.flush();
    while (!socket.canReadLine())
        if (!socket.waitForReadyRead(2000))
            return false;
    return socket.readLine() == "ok\n";
}

void LaunchToEventLoop(benchmark::State& state)
{
    QTemporaryDir home;
    const QString data = home.filePath(QStringLiteral("data"));
    QDir().mkpath(data + QStringLiteral("/Vellicord"));
    LibrarySamples::writeFile(data + QStringLiteral("/Vellicord/Vellicord.json"),
                              LibrarySamples::bytes(LibrarySamples::library(10000)));
    QDir().mkpath(home.filePath(QStringLiteral("run")));
    QFile::setPermissions(home.filePath(QStringLiteral("run")), QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("XDG_DATA_HOME"), data);
    environment.insert(QStringLiteral("XDG_CONFIG_HOME"), home.filePath(QStringLiteral("config")));
    environment.insert(QStringLiteral("XDG_STATE_HOME"), home.filePath(QStringLiteral("state")));
    environment.insert(QStringLiteral("XDG_RUNTIME_DIR"), home.filePath(QStringLiteral("run")));
    const QString socketPath = SingleInstance(home.filePath(QStringLiteral("run"))).socketPath();

    std::vector<double> milliseconds;
    for (auto _ : state) {
        QProcess program;
        program.setProcessEnvironment(environment);
        QElapsedTimer clock;
        clock.start();
        program.start(QStringLiteral(VELLICORD_BINARY), {});
        while (!answered(socketPath) && clock.elapsed() < 20000)
            QThread::usleep(500);
        const double elapsed = double(clock.nsecsElapsed()) / 1e6;
        state.SetIterationTime(elapsed / 1e3);
        milliseconds.push_back(elapsed);
        ::kill(pid_t(program.processId()), SIGTERM);
        program.waitForFinished(10000);
    }
    bench::reportLatencies(state, milliseconds);
}
BENCHMARK(LaunchToEventLoop)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

int main(int argc, char** argv)
{
    return vellicord::bench::runOnX11(argc, argv, vellicord::bench::Application::core);
}
