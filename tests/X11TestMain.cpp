#include <QCoreApplication>
#include <QGuiApplication>
#include <QLocale>

#include <gtest/gtest.h>

#include <cstdlib>
#include <memory>

// The accessibility library keeps a few D-Bus buffers for the life of the process.
extern "C" const char* __lsan_default_suppressions()
{
    return "leak:libdbus-1.so\nleak:libatspi.so\n";
}

// The X11 tests need the real xcb platform (their clipboard writes go to the X server), so they
// have their own entry point; without a display (listing the tests, say) they get a plain
// application and skip themselves.
int main(int argc, char** argv)
{
    setenv("TZ", "UTC", 1);
    tzset();
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    ::testing::InitGoogleTest(&argc, argv);
    std::unique_ptr<QCoreApplication> app;
    const char* display = std::getenv("DISPLAY");
    if (!GTEST_FLAG_GET(list_tests) && display && *display) {
        qputenv("QT_QPA_PLATFORM", "xcb");
        app = std::make_unique<QGuiApplication>(argc, argv);
    } else {
        app = std::make_unique<QCoreApplication>(argc, argv);
    }
    return RUN_ALL_TESTS();
}
