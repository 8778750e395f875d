#include "Tovak/kit/Theme.h"

#include <QApplication>
#include <QLocale>

#include <gtest/gtest.h>

#include <clocale>
#include <cstdlib>
#include <cstring>

namespace {

QtMessageHandler defaultHandler = nullptr;

// A view that names a symbol we do not draw shows a blank where its icon belongs; that is reported
// on this category, and here it fails the test that drew it.
void failOnSymbolReports(QtMsgType type, const QMessageLogContext& context, const QString& message)
{
    defaultHandler(type, context, message);
    if (context.category && std::strcmp(context.category, "com.ruvo.vellicord.symbols") == 0)
        ADD_FAILURE() << qPrintable(message);
}

} // namespace

// The main of the widget tests: a QApplication (offscreen, or on the X server for the x11
// label), with the same locale and time zone as every other test.
int main(int argc, char** argv)
{
    setenv("TZ", "UTC", 1);
    tzset();
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
    // Listing the tests needs no display: CTest lists them outside xvfb-run.
    const bool listing = argc > 1 && QByteArray(argv[1]).startsWith("--gtest_list_tests");
    qputenv("QT_QPA_PLATFORM", listing ? "offscreen" : VELLICORD_TEST_PLATFORM);
    QApplication app(argc, argv);
    // Views draw with the application's own style, as in the program.
    app.setStyle(vellicord::Theme::makeStyle());
    ::testing::InitGoogleTest(&argc, argv);
    defaultHandler = qInstallMessageHandler(failOnSymbolReports);
    return RUN_ALL_TESTS();
}
