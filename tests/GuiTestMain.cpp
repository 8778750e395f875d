#include <QApplication>
#include <QLocale>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

// The main of the widget tests: a QApplication (offscreen, or on the X server for the x11
// label), with the same locale and time zone as every other test.
int main(int argc, char** argv)
{
    setenv("TZ", "UTC", 1);
    tzset();
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    // CTest lists the tests without the test environment; listing needs no display.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
