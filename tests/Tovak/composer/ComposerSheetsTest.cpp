#include "Tovak/composer/EntryTrimSheet.h"
#include "Tovak/composer/ImportSheet.h"
#include "Tovak/composer/SaveTemplateSheet.h"

#include "Tovak/kit/OffscreenRenderer.h"
#include "Tovak/kit/Theme.h"

#include <QAccessible>
#include <QDir>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace vellicord;

namespace {

// What a button shows, as a screen reader reads it.
QString shownText(QWidget* widget)
{
    return QAccessible::queryAccessibleInterface(widget)->text(QAccessible::Name);
}

struct Kind {
    const char* name;
    const char* title;
    const char* main;
    std::function<ComposerSheet*(QWidget*, const QString&)> make; // given its text
    std::function<QWidget*(ComposerSheet&)> input; // where the keyboard goes on opening
    bool enabled; // the main button, as opened
    QSize minimum; // a height of 0: whatever the content takes
    QSize ideal;
};

const Kind kinds[] = {
    {"trim",
     "Trim this source",
     "Apply Trim",
     [](QWidget* parent, const QString& text) { return new EntryTrimSheet(ModelProfile::gpt4o(), text, parent); },
     [](ComposerSheet& s) -> QWidget* { return static_cast<EntryTrimSheet&>(s).editor(); },
     true,
     {440, 320},
     {520, 380}},
    {"import",
     "Import text",
     "Split & Add",
     [](QWidget* parent, const QString& text) { return new ImportSheet(text, parent); },
     [](ComposerSheet& s) -> QWidget* { return static_cast<ImportSheet&>(s).editor(); },
     false,
     {460, 360},
     {540, 420}},
    {"template",
     "Save Task Template",
     "Save",
     [](QWidget* parent, const QString& text) { return new SaveTemplateSheet(text, parent); },
     [](ComposerSheet& s) -> QWidget* { return static_cast<SaveTemplateSheet&>(s).nameField(); },
     false,
     {320, 0},
     {360, 0}},
};

// Opened as the pane opens them: the input has the keyboard at once, the main button waits for
// what it needs (a blank template name is not saved by Return), and Escape closes the sheet
// without its action.
TEST(ComposerSheets, OpenWithTheFocusInTheirInputAndEscapeClosesWithoutActing)
{
    for (const Kind& kind : kinds) {
        QWidget window;
        window.show();
        std::unique_ptr<ComposerSheet> sheet(kind.make(&window, QString()));
        QSignalSpy acted(sheet.get(), &ComposerSheet::mainClicked);
        QSignalSpy finished(sheet.get(), &QDialog::finished);
        sheet->open();
        EXPECT_EQ(sheet->windowModality(), Qt::WindowModal) << kind.name;
        EXPECT_EQ(sheet->windowTitle(), QString::fromUtf8(kind.title)) << kind.name;
        EXPECT_EQ(shownText(sheet->mainButton()), QString::fromUtf8(kind.main)) << kind.name;
        EXPECT_EQ(shownText(sheet->cancelButton()), QStringLiteral("Cancel")) << kind.name;
        EXPECT_EQ(sheet->focusWidget(), kind.input(*sheet)) << kind.name;
        EXPECT_EQ(sheet->mainButton()->isEnabled(), kind.enabled) << kind.name;
        EXPECT_TRUE(sheet->mainButton()->isDefault()) << kind.name;
        EXPECT_EQ(sheet->minimumWidth(), kind.minimum.width()) << kind.name;
        EXPECT_GE(sheet->minimumHeight(), kind.minimum.height()) << kind.name;
        // The offscreen screen is too small for some of them; a real one is not.
        EXPECT_GE(sheet->sizeHint().width(), kind.ideal.width()) << kind.name;
        EXPECT_GE(sheet->sizeHint().height(), kind.ideal.height()) << kind.name;
        // Return in an editor breaks the line; a disabled main button ignores it.
        QTest::keyClick(kind.input(*sheet), Qt::Key_Return);
        EXPECT_EQ(acted.count(), 0) << kind.name;
        QTest::keyClick(kind.input(*sheet), Qt::Key_Escape);
        EXPECT_FALSE(sheet->isVisible()) << kind.name;
        EXPECT_EQ(finished.count(), 1) << kind.name;
        EXPECT_EQ(finished.value(0).value(0), QVariant(int(QDialog::Rejected))) << kind.name;
        EXPECT_EQ(acted.count(), 0) << kind.name;
    }
}

// The editor's scroll bar comes and goes as its text needs, whatever text the sheet opened with:
// none for a passage, a long text scrolls to its end, and none once that text is deleted.
TEST(ComposerSheets, EditorsScrollAsTheirTextNeeds)
{
    const QString passage = QStringLiteral("One short paragraph.\n\nAnother.");
    const QString longText = QStringLiteral("word ").repeated(20000);
    const struct {
        const char* name;
        QString text;
        bool deleted; // all of it selected and deleted, once the sheet is open
        bool scrolls;
    } cases[] = {
        {"a passage", passage, false, false},
        {"a long text", longText, false, true},
        {"a long text, deleted", longText, true, false},
    };
    for (const Kind& kind : kinds) {
        for (const auto& c : cases) {
            QWidget window;
            window.show();
            std::unique_ptr<ComposerSheet> sheet(kind.make(&window, c.text));
            auto* editor = qobject_cast<QPlainTextEdit*>(kind.input(*sheet));
            if (!editor)
                continue;
            sheet->open();
            if (c.deleted) {
                QTest::keyClick(editor, Qt::Key_A, Qt::ControlModifier);
                QTest::keyClick(editor, Qt::Key_Delete);
            }
            QTest::keyClick(editor, Qt::Key_End, Qt::ControlModifier);
            QCoreApplication::sendPostedEvents();
            EXPECT_EQ(editor->verticalScrollBar()->isVisible(), c.scrolls) << kind.name << ", " << c.name;
            EXPECT_TRUE(editor->viewport()->rect().contains(editor->cursorRect()))
                << kind.name << ", " << c.name << ": its end is in sight";
        }
    }
}

TEST(ComposerSheets, TrimCountsTokensAndCharactersOfTheTextAsEdited)
{
    const struct {
        QString text;
        const char* line;
    } cases[] = {
        {QString(), "0 tokens · 0 chars"},
        {QStringLiteral("a"), "1 tokens · 1 chars"},
        {QStringLiteral("abcde"), "2 tokens · 5 chars"},
        {QStringLiteral("abcdefgh"), "2 tokens · 8 chars"},
        {QStringLiteral("e\u0301\U0001F44D\U0001F3FD\r\n"), "1 tokens · 3 chars"},
        {QString(5000, u'x'), "1,250 tokens · 5,000 chars"},
        {QStringLiteral(
             "\u0939\u093F\u0928\u094D\u0926\u0940 \u092D\u093E\u0937\u093E "
             "\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466 \u200F\u05E9\u05DC\u05D5\u05DD\u200F"),
         "4 tokens · 14 chars"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(EntryTrimSheet::countText(c.text, ModelProfile::gpt4o()), QString::fromUtf8(c.line)) << c.line;

    EntryTrimSheet sheet(ModelProfile::claude(), QStringLiteral("abcd"), nullptr);
    QSignalSpy edits(&sheet, &EntryTrimSheet::textEdited);
    EXPECT_EQ(edits.count(), 0) << "the text given is not an edit";
    sheet.editor()->moveCursor(QTextCursor::End);
    sheet.editor()->insertPlainText(QStringLiteral("e\u00A0"));
    EXPECT_EQ(sheet.countLine()->text(), QStringLiteral("2 tokens · 6 chars"));
    EXPECT_EQ(edits.last().value(0).toString(), QStringLiteral("abcde\u00A0")) << "a no-break space stays one";
}

TEST(ComposerSheets, ImportCountsTheChunksTheImportMakesAndWaitsForText)
{
    const struct {
        QString text;
        const char* line;
    } cases[] = {
        {QString(), "0 chunks ready"},
        {QStringLiteral(" \n\t\n "), "0 chunks ready"},
        {QStringLiteral("One short paragraph."), "1 chunk ready"},
        {QStringLiteral("One.\n\nTwo."), "2 chunks ready"},
        {QStringLiteral("One.\r\n\r\n\r\n\r\nTwo."), "2 chunks ready"},
        {QString(4000, u'x'), "1 chunk ready"},
        {QString(4001, u'x'), "2 chunks ready"},
        {QStringLiteral("word ").repeated(2000), "3 chunks ready"},
    };
    for (const auto& c : cases) {
        ImportSheet sheet(c.text, nullptr);
        EXPECT_EQ(sheet.countLine()->text(), QString::fromUtf8(c.line)) << c.line;
        EXPECT_EQ(sheet.mainButton()->isEnabled(), !c.text.trimmed().isEmpty()) << c.line;
    }
}

// The three sheets as the user sees them, light and dark, for whoever looks at them
// (VELLICORD_RENDER_DIR).
TEST(ComposerSheets, Renders)
{
    const QString folder = qEnvironmentVariable("VELLICORD_RENDER_DIR");
    const QString passage = QStringLiteral(
        "The dominant sequence transduction models are based on complex recurrent or convolutional neural networks "
        "that include an encoder and a decoder.\n\nThe best performing models also connect the encoder and decoder "
        "through an attention mechanism.");
    const struct {
        const char* name;
        std::function<ComposerSheet*()> make;
    } sheets[] = {
        {"trim", [&] { return new EntryTrimSheet(ModelProfile::gpt4o(), passage, nullptr); }},
        {"import", [&] { return new ImportSheet(passage, nullptr); }},
        {"template", [] { return new SaveTemplateSheet(QStringLiteral("Weekly Report"), nullptr); }},
    };
    for (const auto& s : sheets) {
        for (Appearance appearance : {Appearance::light, Appearance::dark}) {
            std::unique_ptr<ComposerSheet> sheet(s.make());
            Theme::apply(*sheet, appearance);
            const QImage image = OffscreenRenderer::render(*sheet, QSize(), 2.0);
            EXPECT_EQ(image.size(), sheet->size() * 2) << s.name;
            EXPECT_GE(sheet->width(), sheet->minimumWidth()) << s.name;
            if (!folder.isEmpty()) {
                QDir().mkpath(folder);
                image.save(
                    QStringLiteral("%1/sheet-%2-%3.png")
                        .arg(folder, QString::fromLatin1(s.name), appearance == Appearance::dark ? u"dark" : u"light"));
            }
        }
    }
}

} // namespace
