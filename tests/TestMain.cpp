#include <QCoreApplication>
#include <QLocale>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>

int main(int argc, char** argv)
{
    // Every test starts from the same locale and time zone, whatever the machine says;
    // tests that need another set it themselves.
    setenv("TZ", "UTC", 1);
    tzset();
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    QCoreApplication app(argc, argv);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
