// A Qt Widgets window for the end-to-end tests of the accessibility reading: a focused line edit
// whose text is partly selected, exposed over AT-SPI. Prints "ready" once it has the focus.
//
//   AccessibleEditor TEXT SELECTION_START SELECTION_LENGTH [--cleared | --password]
//   AccessibleEditor - 0 3 --page
//
// --cleared  the selection is made (and put in PRIMARY, as selecting with the mouse does), then
//            cleared again, as a click beside the highlight does; PRIMARY keeps the old text
// --password the line edit is a password field
// --page     the line edit stands for a page as a browser exposes one: its text, all selected, is
//            an object replacement character for each of the three paragraphs inside it, which
//            select "paragraph." to "Third". It copies nothing.
#include <QApplication>
#include <QClipboard>
#include <QKeyEvent>
#include <QLineEdit>
#include <QTimer>

#include <cstdio>

namespace {

class Editor final : public QLineEdit {
public:
    bool copies = true;

private:
    void keyPressEvent(QKeyEvent* event) override
    {
        if (copies || !event->matches(QKeySequence::Copy))
            QLineEdit::keyPressEvent(event);
    }
};

} // namespace

int main(int argc, char** argv)
{
    qputenv("QT_QPA_PLATFORM", "xcb");
    qputenv("QT_LINUX_ACCESSIBILITY_ALWAYS_ON", "1");
    QApplication app(argc, argv);
    if (argc < 4)
        return 2;
    const QString option = argc > 4 ? QString::fromUtf8(argv[4]) : QString();
    Editor edit;
    edit.setText(QString::fromUtf8(argv[1]));
    edit.setEchoMode(option == u"--password" ? QLineEdit::Password : QLineEdit::Normal);
    if (option == u"--page") {
        edit.setText(QString(3, QChar::ObjectReplacementCharacter));
        edit.copies = false;
        for (const auto& [text, start, length] :
             {std::tuple{"First paragraph.", 6, 10}, {"Second paragraph.", 0, 17}, {"Third paragraph.", 0, 5}}) {
            auto* paragraph = new QLineEdit(QString::fromLatin1(text), &edit);
            // Before "ready", once shown: showing the window clears the selections of the line edits
            // without the focus.
            QTimer::singleShot(250, paragraph, [=] { paragraph->setSelection(start, length); });
        }
    }
    edit.show();
    edit.activateWindow();
    edit.setFocus();
    edit.setSelection(QString::fromUtf8(argv[2]).toInt(), QString::fromUtf8(argv[3]).toInt());
    if (option == u"--cleared") {
        QGuiApplication::clipboard()->setText(edit.selectedText(), QClipboard::Selection);
        edit.deselect();
    }
    QTimer::singleShot(300, [] {
        std::printf("ready\n");
        std::fflush(stdout);
    });
    return app.exec();
}
