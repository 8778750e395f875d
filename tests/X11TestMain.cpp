#include <QCoreApplication>
#include <QApplication>
#include <QLocale>

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <memory>

#include <unistd.h>

// The X11 tests need the real xcb platform (their clipboard writes go to the X server), so they
// have their own entry point; without a display (listing the tests, say) they get a plain
// application and skip themselves.
namespace {

// Accessibility runs over D-Bus: without a session bus of the caller's, the tests start their own
// (the accessibility bus is then started on demand), and end it when they are done.
pid_t startSessionBus()
{
    if (std::getenv("DBUS_SESSION_BUS_ADDRESS") || access("/usr/bin/dbus-daemon", X_OK) != 0)
        return 0;
    FILE* output = popen("/usr/bin/dbus-daemon --session --fork --print-address=1 --print-pid=1 2>/dev/null", "r");
    if (!output)
        return 0;
    char address[512] = {};
    char pid[32] = {};
    const bool read = std::fgets(address, sizeof address, output) && std::fgets(pid, sizeof pid, output);
    pclose(output);
    if (!read)
        return 0;
    address[std::strcspn(address, "\n")] = '\0';
    setenv("DBUS_SESSION_BUS_ADDRESS", address, 1);
    return pid_t(std::atoi(pid));
}

} // namespace

int main(int argc, char** argv)
{
    setenv("TZ", "UTC", 1);
    tzset();
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    ::testing::InitGoogleTest(&argc, argv);
    const pid_t bus = GTEST_FLAG_GET(list_tests) ? 0 : startSessionBus();
    std::unique_ptr<QCoreApplication> app;
    const char* display = std::getenv("DISPLAY");
    if (!GTEST_FLAG_GET(list_tests) && display && *display) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        app = std::make_unique<QApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    const int status = RUN_ALL_TESTS();
    app.reset();
    if (bus > 0)
        kill(bus, SIGTERM);
    return status;
}
