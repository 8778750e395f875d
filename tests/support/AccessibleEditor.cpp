// A Qt Widgets window for the end-to-end tests of the accessibility reading: a focused line edit
// whose text is partly selected, exposed over AT-SPI. Prints "ready" once it has the focus.
//
//   AccessibleEditor TEXT SELECTION_START SELECTION_LENGTH [--cleared]
//
// --cleared  the selection is made (and put in PRIMARY, as selecting with the mouse does), then
//            cleared again, as a click beside the highlight does; PRIMARY keeps the old text
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QTimer>

#include <cstdio>

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    QApplication app(argc, argv);
    if (argc < 4)
        return 2;
    QLineEdit edit;
    edit.setText(QString::fromUtf8(argv[1]));
    edit.show();
    edit.activateWindow();
    edit.setFocus();
    edit.setSelection(QString::fromUtf8(argv[2]).toInt(), QString::fromUtf8(argv[3]).toInt());
    if (argc > 4 && qstrcmp(argv[4], "--cleared") == 0) {
        QGuiApplication::clipboard()->setText(edit.selectedText(), QClipboard::Selection);
        edit.deselect();
    }
    QTimer::singleShot(300, [] {
        std::printf("ready\n");
        std::fflush(stdout);
    });
    return app.exec();
}
