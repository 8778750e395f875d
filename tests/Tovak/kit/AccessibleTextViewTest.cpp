#include "Tovak/kit/AccessibleTextView.h"

#include "Tovak/kit/WrappingTextLayout.h"
#include "Tovak/library/IconCache.h"
#include "Tovak/library/RichMarkdownView.h"
#include "Tovak/library/SelectionDetailView.h"
#include "support/ViewFakes.h"

#include <QAccessible>
#include <QApplication>
#include <QScrollArea>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>

#include <gtest/gtest.h>

using namespace vellicord;

namespace {

const QStringList paragraphs{
    u"Attention lets a model weigh every word of its context against every other, so that meaning flows where it is needed."_qs,
    u"- a list item\n  - a nested item, long enough to wrap onto a second line"_qs,
    u"עברית נכתבת מימין לשמאל, והשורות נשברות במקום שבו המילים נגמרות."_qs,
    u"ภาษาไทยเขียนต่อกัน และเว้นวรรคเมื่อจบประโยค"_qs,
    u"हिन्दी देवनागरी लिपि में लिखी जाती है।"_qs,
    u"A family 👨‍👩‍👧 and flags 🇫🇷🇯🇵 sit between words 👍🏽 that wrap."_qs,
};

// An editor, or the inspector showing a capture of the text as Markdown; either scrolls, or the
// passage does when it is long.
struct Shown {
    ViewFakes fakes;
    IconCache icons{fakes.desktop};
    std::unique_ptr<QWidget> window;
    QPlainTextEdit* view = nullptr;
    QScrollBar* scrolled = nullptr;

    Shown(bool inspector, const QString& text, int width)
    {
        if (inspector) {
            auto* shown = new SelectionDetailView({.store = *fakes.store,
                                                   .pasteboard = fakes.pasteboard,
                                                   .scheduler = fakes.time,
                                                   .desktop = fakes.desktop,
                                                   .icons = icons},
                                                  QLocale(QLocale::English, QLocale::UnitedStates), QTimeZone::utc());
            window.reset(shown);
            const Selection capture(QUuid::createUuid(), text, text, u"Firefox"_qs, {}, {}, {}, {}, {},
                                    QDateTime::currentDateTimeUtc());
            fakes.store->add(capture);
            shown->setSelectionID(capture.id);
            shown->resize(width, 420);
            view = &shown->passage();
            scrolled = (shown->passage().scrollsItself() ? static_cast<QAbstractScrollArea*>(view)
                                                         : shown->findChild<QScrollArea*>())
                           ->verticalScrollBar();
        } else {
            view = new QPlainTextEdit;
            window.reset(view);
            WrappingTextLayout::install(*view);
            view->setPlainText(text);
            view->resize(width, 150);
            scrolled = view->verticalScrollBar();
        }
        window->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(window.get()));
        for (int i = 0; i < 8; ++i)
            QApplication::processEvents();
    }
};

// The paragraph's first letter at or after `from` (a cluster's first character), and whether it
// is written right to left.
std::optional<std::pair<int, bool>> letterAt(const QTextBlock& block, int from)
{
    for (int at = from; at < block.length() - 1; ++at) {
        const QChar c = block.text().at(at);
        if (c.isLetter() && block.layout()->isValidCursorPosition(at))
            return std::pair{block.position() + at, c.direction() == QChar::DirR};
    }
    return std::nullopt;
}

} // namespace

// A screen reader, a magnifier and mouse review read the text where it is drawn: the box of the
// first and of a middle letter of every paragraph is where the view puts the caret before it, on
// the screen, from the left edge (the right one for right-to-left text), and the point at the
// box's centre names the letter; a point beyond a paragraph's end names none.
// So at two widths, scrolled to the top, the middle and the end (asked before and after within one
// turn of the event loop): an editor, the passage in the inspector that scrolls around it, and a
// passage long enough to scroll itself, whose paragraphs in sight are checked and which is laid
// out no further by being asked. The rest is the toolkit's: name, role, editing.
TEST(AccessibleTextView, CharactersAreWhereTheyAreDrawn)
{
    QString longText;
    while (longText.size() < RichMarkdownView::scrollingLength)
        longText += (paragraphs + paragraphs.first(1)).join(u"\n\n") + u"\n\n"_qs;
    const struct {
        const char* name;
        bool inspector;
        QString text;
        int widths[2];
    } cases[] = {
        {"an editor", false, (paragraphs + paragraphs.first(1)).join(u'\n'), {260, 420}},
        {"the passage", true, (paragraphs + paragraphs.first(1)).join(u"\n\n"), {340, 520}},
        {"a passage that scrolls itself", true, longText, {340, 520}},
    };
    for (const auto& c : cases) {
        for (const int width : c.widths) {
            Shown shown(c.inspector, c.text, width);
            const QPlainTextEdit& view = *shown.view;
            QAccessibleInterface* read = QAccessible::queryAccessibleInterface(shown.view);
            QAccessibleTextInterface* text = read->textInterface();
            EXPECT_TRUE(read->role() == QAccessible::EditableText && read->editableTextInterface()
                        && read->state().readOnly == c.inspector
                        && read->text(QAccessible::Name) == (c.inspector ? u"Captured Passage"_qs : QString()));
            const bool scrollsItself = view.verticalScrollBar() == shown.scrolled && c.inspector;
            const auto laidOut = [&view] {
                int count = 0;
                for (QTextBlock block = view.document()->begin(); block.isValid(); block = block.next())
                    count += block.layout()->lineCount() > 0;
                return count;
            };
            for (const int step : {0, 1, 2}) {
                const std::string row
                    = c.name + (" at " + std::to_string(width)) + ", scrolled " + std::to_string(step) + "/2";
                ASSERT_GT(shown.scrolled->maximum(), 0) << row;
                text->characterRect(0);
                shown.scrolled->setValue(shown.scrolled->maximum() * step / 2);
                shown.window->repaint();
                QTextBlock block = view.document()->begin();
                QTextBlock last = view.document()->lastBlock();
                if (scrollsItself) {
                    block = view.cursorForPosition(QPoint(0, 0)).block();
                    last = view.cursorForPosition(QPoint(0, view.viewport()->height() - 1)).block();
                    const int before = laidOut();
                    text->characterRect(text->characterCount() - 1);
                    text->offsetAtPoint(view.viewport()->mapToGlobal(QPoint(4, 40 * view.viewport()->height())));
                    EXPECT_EQ(laidOut(), before) << row << ": nothing laid out by asking";
                }
                for (int checked = 0;; block = block.next()) {
                    for (const int from : {0, int(block.length() / 2)}) {
                        const auto letter = letterAt(block, from);
                        if (!letter)
                            continue;
                        const auto [at, rightToLeft] = *letter;
                        const QRect box = text->characterRect(at);
                        QTextCursor cursor(view.document());
                        cursor.setPosition(at);
                        const QRect caret = view.cursorRect(cursor).translated(view.viewport()->mapToGlobal(QPoint()));
                        const int leading = rightToLeft ? box.left() + box.width() : box.left();
                        EXPECT_TRUE(box.width() > 0 && std::abs(leading - caret.left()) <= 1
                                    && std::abs(box.top() - caret.top()) <= 1
                                    && std::abs(box.bottom() - caret.bottom()) <= 1)
                            << row << ", letter " << at << " at " << box.x() << "," << box.y() << ", the caret at "
                            << caret.x();
                        EXPECT_EQ(text->offsetAtPoint(box.center()), at) << row << ", letter " << at;
                        ++checked;
                    }
                    const QRect end = text->characterRect(block.position() + block.length() - 2);
                    const QPoint beyond = block.textDirection() == Qt::RightToLeft ? end.topLeft() - QPoint(6, 0)
                                                                                   : end.topRight() + QPoint(6, 0);
                    if (block.length() > 1
                        && view.viewport()->rect().contains(view.viewport()->mapFromGlobal(beyond))) {
                        EXPECT_EQ(text->offsetAtPoint(beyond), -1) << row << ", after " << block.position();
                    }
                    if (block == last) {
                        EXPECT_GE(checked, 4) << row;
                        break;
                    }
                }
            }
        }
    }
}
