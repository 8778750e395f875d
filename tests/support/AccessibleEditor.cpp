// A Qt Widgets window for the end-to-end tests of the accessibility reading: a focused line edit
// whose text is partly selected, exposed over AT-SPI. Prints "ready" and its window's id once it has
// the focus.
//
//   AccessibleEditor TEXT SELECTION_START SELECTION_LENGTH [--cleared | --password]
//   AccessibleEditor - 0 3 --page | --page-untold [--slow-role | --slow-paragraph]
//   AccessibleEditor - 0 3 --login
//   AccessibleEditor - 1 1 --login-field
//
// --cleared  the selection is made (and put in PRIMARY, as selecting with the mouse does), then
//            cleared again, as a click beside the highlight does; PRIMARY keeps the old text
// --password the line edit is a password field
// --page     the line edit stands for a page as a browser exposes one: its text, all selected, is
//            an object replacement character for each of the three paragraphs inside it, which
//            select "paragraph." to "Third". It copies nothing.
// --page-untold  the same page before its paragraphs tell their selections (a browser still busy
//            with the click): they tell none, while PRIMARY already holds the selected text
// --slow-role  (after --page) the page answers the first question for its role 1.2 s late, after a
//            reader gave up waiting for it; PRIMARY holds the selected text
// --slow-paragraph  the same for the first question which interfaces the second paragraph has
// --login    a page as --page whose paragraphs are "User alice", "Password " with a password field
//            inside it holding "hunter2secret", and "Plain text.", all selected, as Control-A on the
//            page selects them. The field tells its mask as its text, as browsers and GTK do (Qt's
//            own password fields tell nothing)
// --login-field  the same page after Control-A in its password field: the page's selection and
//            that of the paragraph around the field hold the field alone
#include <QAccessibleWidget>
#include <QApplication>
#include <QClipboard>
#include <QDBusMessage>
#include <QKeyEvent>
#include <QLineEdit>
#include <QThread>
#include <QTimer>

#include <cstdio>

// QtDBus's hook on each call the application receives, run on the main thread before the call is
// answered; exported, though in no public header.
void qDBusAddSpyHook(void (*)(const QDBusMessage&));

namespace {

// The question answered late: its name, and the path of the element asked.
std::pair<QString, QString> slowCall;

void answerLate(const QDBusMessage& call)
{
    if (std::pair(call.member(), call.path()) != slowCall)
        return;
    slowCall = {};
    QThread::msleep(1200);
}

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

// A password field's interface that tells its mask; what reading does not ask for does nothing.
class MaskedField final : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit MaskedField(QWidget* field)
        : QAccessibleWidget(field, QAccessible::EditableText)
    {
    }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::TextInterface ? static_cast<QAccessibleTextInterface*>(this)
                                                  : QAccessibleWidget::interface_cast(type);
    }
    QAccessible::State state() const override
    {
        QAccessible::State state = QAccessibleWidget::state();
        state.passwordEdit = true;
        return state;
    }
    QString text(int start, int end) const override { return mask().mid(start, end - start); }
    int characterCount() const override { return int(mask().size()); }
    int selectionCount() const override { return 1; }
    void selection(int, int* start, int* end) const override
    {
        *start = 0;
        *end = characterCount();
    }
    void addSelection(int, int) override {}
    void removeSelection(int) override {}
    void setSelection(int, int, int) override {}
    int cursorPosition() const override { return 0; }
    void setCursorPosition(int) override {}
    QRect characterRect(int) const override { return {}; }
    int offsetAtPoint(const QPoint&) const override { return -1; }
    void scrollToSubstring(int, int) override {}
    QString attributes(int, int* start, int* end) const override
    {
        *start = *end = 0;
        return {};
    }

private:
    QString mask() const { return static_cast<QLineEdit*>(widget())->displayText(); }
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
    const auto paragraph = [](QWidget* parent, const QString& text, int start, int length) {
        auto* line = new QLineEdit(text, parent);
        // Before "ready", once shown: showing the window clears the selections of the line edits
        // without the focus.
        QTimer::singleShot(250, line, [=] { line->setSelection(start, length); });
        return line;
    };
    const QChar placeholder = QChar::ObjectReplacementCharacter;
    const QString slow = argc > 5 ? QString::fromUtf8(argv[5]) : QString();
    if (option.startsWith(u"--page")) {
        const bool untold = option == u"--page-untold";
        edit.setText(QString(3, placeholder));
        edit.copies = false;
        for (const auto& [text, start, length] :
             {std::tuple{"First paragraph.", 6, 10}, {"Second paragraph.", 0, 17}, {"Third paragraph.", 0, 5}})
            paragraph(&edit, QString::fromLatin1(text), start, untold ? 0 : length);
        if (untold || !slow.isEmpty())
            QGuiApplication::clipboard()->setText(QStringLiteral("paragraph.\nSecond paragraph.\nThird"),
                                                  QClipboard::Selection);
        if (!slow.isEmpty()) {
            QWidget* asked = slow == u"--slow-role" ? &edit : edit.findChildren<QLineEdit*>().value(1);
            // The element's path on the bus, as the bridge names it.
            slowCall = {slow == u"--slow-role" ? u"GetRole"_qs : u"GetInterfaces"_qs,
                        u"/org/a11y/atspi/accessible/"_qs
                            + QString::number(QAccessible::uniqueId(QAccessible::queryAccessibleInterface(asked)))};
            qDBusAddSpyHook(answerLate);
        }
    } else if (option.startsWith(u"--login")) {
        edit.setText(QString(3, placeholder));
        edit.copies = false;
        const bool fieldAlone = option == u"--login-field";
        paragraph(&edit, QStringLiteral("User alice"), 0, fieldAlone ? 0 : 10);
        QLineEdit* label
            = paragraph(&edit, QStringLiteral("Password ") + placeholder, fieldAlone ? 9 : 0, fieldAlone ? 1 : 10);
        QLineEdit* field = paragraph(label, QStringLiteral("hunter2secret"), 0, 13);
        field->setEchoMode(QLineEdit::Password);
        QAccessible::installFactory([](const QString&, QObject* object) -> QAccessibleInterface* {
            auto* line = qobject_cast<QLineEdit*>(object);
            return line && line->echoMode() == QLineEdit::Password ? new MaskedField(line) : nullptr;
        });
        paragraph(&edit, QStringLiteral("Plain text."), 0, fieldAlone ? 0 : 11);
    }
    edit.show();
    edit.activateWindow();
    edit.setFocus();
    edit.setSelection(QString::fromUtf8(argv[2]).toInt(), QString::fromUtf8(argv[3]).toInt());
    if (option == u"--cleared") {
        QGuiApplication::clipboard()->setText(edit.selectedText(), QClipboard::Selection);
        edit.deselect();
    }
    QTimer::singleShot(300, [&edit] {
        std::printf("ready %llu\n", static_cast<unsigned long long>(edit.winId()));
        std::fflush(stdout);
    });
    return app.exec();
}
