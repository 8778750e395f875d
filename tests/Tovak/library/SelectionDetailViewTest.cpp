#include "Tovak/library/SelectionDetailView.h"

#include "Tovak/kit/CappedLabel.h"
#include "Tovak/kit/OffscreenRenderer.h"
#include "Tovak/kit/Theme.h"
#include "Tovak/library/IconCache.h"
#include "Tovak/library/RichMarkdownView.h"
#include "core/capture/Clipboard.h"
#include "core/library/LibrarySamples.h"
#include "support/ViewFakes.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QDir>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QToolButton>

#include <gtest/gtest.h>

using namespace vellicord;
using namespace std::chrono_literals;

namespace {

struct Capture {
    QString text;
    std::optional<QString> url;
    std::optional<QString> title;
    std::optional<QString> file;
    std::optional<QString> markdown = std::nullopt;
    QString app = QStringLiteral("Firefox");
};

struct Inspector : ViewFakes {
    IconCache icons{desktop};
    std::unique_ptr<SelectionDetailView> view;

    // locked: a library opened read-only from its backup, the library file could not be restored.
    explicit Inspector(int width = 420, bool locked = false)
    {
        if (locked) {
            writeAll(backupPath, LibrarySamples::bytes(LibrarySamples::library(2)));
            files.fail(FaultyFileSystem::Operation::write);
            store = open();
        }
        view = std::make_unique<SelectionDetailView>(
            SelectionDetailView::Services{
                .store = *store, .pasteboard = pasteboard, .scheduler = time, .desktop = desktop, .icons = icons},
            QLocale(QLocale::English, QLocale::UnitedStates), QTimeZone::utc());
        view->resize(width, 660);
        view->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(view.get()));
    }

    QUuid add(const Capture& c, QList<QUuid> groups = {})
    {
        const Selection s(QUuid::createUuid(), c.text, c.markdown, c.app, std::nullopt, c.url, c.title, c.file,
                          std::move(groups), QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC));
        store->add(s);
        return s.id;
    }
    QUuid inspect(const Capture& c, QList<QUuid> groups = {})
    {
        const QUuid id = add(c, std::move(groups));
        view->setSelectionID(id);
        return id;
    }
    // Opens a menu as a click would, and names its items; "-" for a divider, "(off)" after a disabled item.
    static QStringList items(QMenu* menu)
    {
        Q_EMIT menu->aboutToShow();
        QStringList names;
        for (QAction* action : menu->actions())
            names.append(action->isSeparator() ? QStringLiteral("-")
                                               : action->text() + (action->isEnabled() ? QString() : u" (off)"_qs));
        return names;
    }
    static QAction* item(QMenu* menu, const QString& text)
    {
        Q_EMIT menu->aboutToShow();
        for (QAction* action : menu->actions()) {
            if (action->text() == text)
                return action;
        }
        return nullptr;
    }
    QString clipboard() { return Clipboard::plainText(pasteboard).value_or(QString()); }
};

const QString page = QStringLiteral("https://example.com/articles/attention?ref=home");

TEST(SelectionDetailView, HeaderAndProvenanceAsTheReaderSeesThem)
{
    const QString full = QStringLiteral("Tuesday, November 14, 2023 at 10:13:20 PM");
    struct Case {
        const char* name;
        Capture capture;
        QString title;
        std::pair<QString, QString> source;
        QList<std::pair<QString, QString>> rows;
    };
    const Case cases[] = {
        {"page and file",
         {QStringLiteral("Passage"), page, QStringLiteral("  Attention \n"), QStringLiteral("/home/u/paper.pdf")},
         QStringLiteral("Attention"),
         {page, QStringLiteral("safari")},
         {{"Application", "Firefox"},
          {"Source", page},
          {"File", "/home/u/paper.pdf"},
          {"Captured", full},
          {"Length", "7 characters"},
          {"Prompt", "Not included"}}},
        {"file, blank title",
         {QStringLiteral("a\r\nb"), std::nullopt, QStringLiteral("  "), QStringLiteral("/home/u/notes.txt")},
         QStringLiteral("Firefox"),
         {QStringLiteral("/home/u/notes.txt"), QStringLiteral("doc")},
         {{"Application", "Firefox"},
          {"File", "/home/u/notes.txt"},
          {"Captured", full},
          {"Length", "3 characters"},
          {"Prompt", "Not included"}}},
        {"neither; one emoji of several code points",
         {QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467")},
         QStringLiteral("Firefox"),
         {QStringLiteral("Firefox"), QStringLiteral("app")},
         {{"Application", "Firefox"}, {"Captured", full}, {"Length", "1 characters"}, {"Prompt", "Not included"}}},
        {"captured text stays text",
         {QStringLiteral("<b>x</b>"), std::nullopt, QStringLiteral("<i>Title</i> & more")},
         QStringLiteral("<i>Title</i> & more"),
         {QStringLiteral("Firefox"), QStringLiteral("app")},
         {{"Application", "Firefox"}, {"Captured", full}, {"Length", "8 characters"}, {"Prompt", "Not included"}}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Inspector inspector;
        inspector.inspect(c.capture);
        const SelectionDetailView& view = *inspector.view;
        EXPECT_EQ(view.recordTitle(), c.title);
        EXPECT_EQ(view.sourceInfo(), c.source);
        EXPECT_EQ(view.headerDate(), QStringLiteral("Nov 14, 2023 at 10:13 PM"));
        EXPECT_EQ(view.provenance(), c.rows);
        EXPECT_EQ(view.promptSymbol(), QStringLiteral("circle"));
    }
}

// Groups in the capture's own order; an id of no group is skipped, and without any the box goes.
TEST(SelectionDetailView, GroupsInTheCapturesOrder)
{
    Inspector inspector;
    Store& store = *inspector.store;
    const QUuid a = store.addGroup(QStringLiteral("Alpha"), QStringLiteral("#FF0000"))->id;
    const QUuid b = store.addGroup(QStringLiteral("Beta & <b>"), QStringLiteral("nope"))->id;
    inspector.inspect({QStringLiteral("x")}, {b, QUuid::createUuid(), a});
    struct Step {
        const char* name;
        std::function<void()> change;
        QStringList shown;
    };
    const Step steps[] = {
        {"as captured", [] {}, {QStringLiteral("Beta & <b>"), QStringLiteral("Alpha")}},
        {"renamed",
         [&] { store.renameGroup(a, QStringLiteral("First")); },
         {QStringLiteral("Beta & <b>"), QStringLiteral("First")}},
        {"one deleted", [&] { store.deleteGroup(b); }, {QStringLiteral("First")}},
        {"none left", [&] { store.deleteGroup(a); }, {}},
    };
    for (const Step& step : steps) {
        step.change();
        EXPECT_EQ(inspector.view->groupNames(), step.shown) << step.name;
    }
}

// The prompt row and button read the active prompt: an excluded entry still counts as in it.
TEST(SelectionDetailView, PromptRowAndButtonFollowTheActivePrompt)
{
    Inspector inspector;
    Store& store = *inspector.store;
    const QUuid id = inspector.inspect({QStringLiteral("x")});
    SelectionDetailView& view = *inspector.view;
    struct Step {
        const char* name;
        std::function<void()> change;
        bool in;
    };
    const Step steps[] = {
        {"no prompt at all", [] {}, false},
        {"added: the first prompt is made", [&] { view.promptButton()->click(); }, true},
        {"excluded",
         [&] {
             ContextDraft draft = *store.activeDraft();
             draft.entries[0].include = false;
             store.updateDraft(draft);
         },
         true},
        {"another prompt active", [&] { store.newDraft(); }, false},
        {"removed from the first, which is active again",
         [&] {
             ContextDraft first = store.drafts().first();
             first.entries.clear();
             store.updateDraft(first);
             store.activateDraft(first.id);
         },
         false},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.name);
        step.change();
        EXPECT_EQ(view.isInActivePrompt(), step.in);
        EXPECT_EQ(view.provenance().last().second, step.in ? u"Included"_qs : u"Not included"_qs);
        EXPECT_EQ(view.promptSymbol(), step.in ? u"checkmark.circle.fill"_qs : u"circle"_qs);
        EXPECT_EQ(view.promptButton()->isEnabled(), !step.in);
        EXPECT_EQ(view.promptButton()->toolTip(),
                  step.in ? u"Already in the active prompt"_qs : u"Add to the active prompt"_qs);
        EXPECT_EQ(view.promptButton()->accessibleName(), step.in ? u"Already in prompt"_qs : u"Add to prompt"_qs);
    }
    EXPECT_EQ(store.drafts().size(), 2);
    EXPECT_EQ(store.drafts().first().name, u"Prompt 1");
    (void)id;
}

// "Copied" shows for 1.4 s after a copy the clipboard took, never after a refused one; each copy
// ends its own, so a second copy does not stretch the first.
TEST(SelectionDetailView, CopiedShowsOnlyForACopyTheClipboardTook)
{
    enum class Action { markdown, plain, allFromSource };
    struct Case {
        const char* name;
        Action action;
        bool taken;
        QString clipboard;
        bool markdownCopied;
        bool plainCopied;
    };
    const Case cases[] = {
        {"Markdown", Action::markdown, true, QStringLiteral("**bold** text"), true, false},
        {"plain", Action::plain, true, QStringLiteral("bold text"), false, true},
        {"all from source", Action::allFromSource, true, {}, true, false},
        {"Markdown refused", Action::markdown, false, QStringLiteral("before"), false, false},
        {"plain refused", Action::plain, false, QStringLiteral("before"), false, false},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Inspector inspector;
        inspector.add({QStringLiteral("other page"), QStringLiteral("https://other.example")});
        inspector.add({QStringLiteral("same page, hidden elsewhere"), page});
        inspector.inspect({QStringLiteral("bold text"), page, {}, {}, QStringLiteral("**bold** text")});
        Clipboard::writePlain(QStringLiteral("before"), inspector.pasteboard);
        inspector.pasteboard.writesSucceed = c.taken;
        SelectionDetailView& view = *inspector.view;
        switch (c.action) {
        case Action::markdown: view.copyMarkdownButton()->click(); break;
        case Action::plain: view.copyPlainButton()->click(); break;
        case Action::allFromSource: inspector.item(view.moreMenu(), u"Copy All from Source"_qs)->trigger(); break;
        }
        if (c.action == Action::allFromSource) {
            EXPECT_TRUE(inspector.clipboard().contains(u"same page, hidden elsewhere"));
            EXPECT_TRUE(inspector.clipboard().contains(u"**bold** text"));
            EXPECT_FALSE(inspector.clipboard().contains(u"other page"));
        } else {
            EXPECT_EQ(inspector.clipboard(), c.clipboard);
        }
        EXPECT_EQ(view.copiedMarkdown(), c.markdownCopied);
        EXPECT_EQ(view.copiedPlain(), c.plainCopied);
        EXPECT_EQ(view.copyMarkdownButton()->toolTip(), u"Copy as Markdown");
        inspector.time.advance(1399ms);
        EXPECT_EQ(view.copiedMarkdown() || view.copiedPlain(), c.markdownCopied || c.plainCopied);
        inspector.time.advance(1ms);
        EXPECT_FALSE(view.copiedMarkdown() || view.copiedPlain());
    }

    Inspector inspector(800);
    inspector.inspect({QStringLiteral("x")});
    SelectionDetailView& view = *inspector.view;
    view.copyMarkdown();
    EXPECT_EQ(view.copyMarkdownButton()->text(), u"Copied");
    inspector.time.advance(1000ms);
    view.copyMarkdown();
    inspector.time.advance(400ms);
    EXPECT_FALSE(view.copiedMarkdown()) << "the first copy ends it";
    EXPECT_EQ(view.copyMarkdownButton()->text(), u"Copy Markdown");
    view.copyPlain();
    view.copyMarkdown();
    EXPECT_TRUE(view.copiedPlain() && view.copiedMarkdown()) << "the two marks are independent";
}

TEST(SelectionDetailView, FooterRowByWidth)
{
    struct Case {
        int width;
        bool wide;
    };
    for (const Case c : {Case{900, true}, Case{420, false}, Case{320, false}}) {
        Inspector inspector(c.width);
        inspector.inspect({QStringLiteral("x")});
        SelectionDetailView& view = *inspector.view;
        EXPECT_EQ(view.showsWideFooter(), c.wide) << c.width;
        EXPECT_EQ(view.copyMarkdownButton()->text(), c.wide ? u"Copy Markdown"_qs : QString()) << c.width;
        EXPECT_EQ(view.promptButton()->text(), c.wide ? u"Add to Prompt"_qs : QString()) << c.width;
        EXPECT_EQ(view.groupButton() != nullptr, c.wide) << c.width;
        EXPECT_TRUE(view.copyMarkdownButton()->isVisible()) << c.width;
        // Without the "Group" menu, the groups stay under "More".
        EXPECT_TRUE(inspector.item(view.moreMenu(), u"Add to Group"_qs)) << c.width;
    }
}

// What "More" offers depends on the capture; a page opens only through the allow-list, and a file
// is revealed only by an absolute path.
TEST(SelectionDetailView, MoreMenuPerKindOfCapture)
{
    const QStringList tail{QStringLiteral("-"), QStringLiteral("Add to Group"), QStringLiteral("-"),
                           QStringLiteral("Delete")};
    struct Case {
        const char* name;
        Capture capture;
        QStringList items;
        QStringList opened;
        QStringList revealed;
    };
    const Case cases[] = {
        {"web page",
         {QStringLiteral("x"), page},
         QStringList{u"Copy All from Source"_qs, u"Open in Browser"_qs, u"Copy URL"_qs} + tail,
         {page},
         {}},
        {"script address",
         {QStringLiteral("x"), QStringLiteral("javascript:alert(1)")},
         QStringList{u"Copy All from Source"_qs, u"Open in Browser (off)"_qs, u"Copy URL"_qs} + tail,
         {},
         {}},
        {"file address",
         {QStringLiteral("x"), QStringLiteral("file:///etc/passwd")},
         QStringList{u"Copy All from Source"_qs, u"Open in Browser (off)"_qs, u"Copy URL"_qs} + tail,
         {},
         {}},
        {"file",
         {QStringLiteral("x"), std::nullopt, std::nullopt, QStringLiteral("/home/u/notes.md")},
         QStringList{u"Copy All from Source"_qs, u"Open Containing Folder"_qs} + tail,
         {},
         {u"/home/u/notes.md"_qs}},
        {"relative file",
         {QStringLiteral("x"), std::nullopt, std::nullopt, QStringLiteral("notes.md")},
         QStringList{u"Copy All from Source"_qs, u"Open Containing Folder (off)"_qs} + tail,
         {},
         {}},
        {"neither", {QStringLiteral("x")}, QStringList{u"Copy All from Source"_qs} + tail, {}, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Inspector inspector;
        inspector.inspect(c.capture);
        QMenu* more = inspector.view->moreMenu();
        EXPECT_EQ(Inspector::items(more), c.items);
        for (const QString& open : {u"Open in Browser"_qs, u"Open Containing Folder"_qs}) {
            if (QAction* action = Inspector::item(more, open))
                action->trigger();
        }
        EXPECT_EQ(inspector.desktop.opened, c.opened);
        EXPECT_EQ(inspector.desktop.revealed, c.revealed);
        if (c.capture.url) {
            Inspector::item(more, u"Copy URL"_qs)->trigger();
            EXPECT_EQ(inspector.clipboard(), *c.capture.url);
            EXPECT_FALSE(inspector.view->copiedMarkdown() || inspector.view->copiedPlain());
        }
    }
}

TEST(SelectionDetailView, GroupItemsAddButNeverRemove)
{
    Inspector inspector;
    Store& store = *inspector.store;
    const QUuid id = inspector.inspect({QStringLiteral("x")});
    SelectionDetailView& view = *inspector.view;
    QMenu* groups = view.groupMenu();
    EXPECT_EQ(Inspector::items(groups), QStringList{u"No groups yet (off)"_qs});
    const QUuid work = store.addGroup(QStringLiteral("R&D"), QStringLiteral("#00FF00"))->id;
    store.addGroup(QStringLiteral("Later"), QStringLiteral("#0000FF"));
    EXPECT_EQ(Inspector::items(groups), (QStringList{u"R&&D"_qs, u"Later"_qs}));
    Inspector::item(groups, u"R&&D"_qs)->trigger();
    EXPECT_TRUE(Inspector::item(groups, u"R&&D"_qs)->isChecked());
    EXPECT_FALSE(Inspector::item(groups, u"Later"_qs)->isChecked());
    Inspector::item(groups, u"R&&D"_qs)->trigger();
    EXPECT_EQ(store.findByID(id)->groupIDs, QList<QUuid>{work}) << "chosen twice, in it once";
    EXPECT_EQ(view.groupNames(), QStringList{u"R&D"_qs});

    QSignalSpy deletions(&view, &SelectionDetailView::deleteRequested);
    Inspector::item(view.moreMenu(), u"Delete"_qs)->trigger();
    ASSERT_EQ(deletions.size(), 1);
    EXPECT_EQ(deletions.first().first().value<QUuid>(), id);
}

// A library that cannot be changed: what would change it is off, as in the toolbar; the copies and
// what only shows stay on.
TEST(SelectionDetailView, ALibraryThatCannotChangeOffersNoChange)
{
    Inspector inspector(900, true);
    ASSERT_FALSE(inspector.store->canModifyLibrary());
    SelectionDetailView& view = *inspector.view;
    // The capture that is not in the library's prompt.
    const QUuid inPrompt = inspector.store->activeDraft()->entries.first().selectionID;
    const QUuid id = inspector.store->selections()[0].id == inPrompt ? inspector.store->selections()[1].id
                                                                     : inspector.store->selections()[0].id;
    view.setSelectionID(id);
    EXPECT_FALSE(view.promptButton()->isEnabled());
    EXPECT_EQ(view.promptButton()->text(), QStringLiteral("Add to Prompt"));
    EXPECT_TRUE(view.copyMarkdownButton()->isEnabled());
    EXPECT_EQ(Inspector::items(view.groupMenu()), QStringList{u"Reading (off)"_qs});
    const QStringList more = Inspector::items(view.moreMenu());
    EXPECT_EQ(more.first(), QStringLiteral("Copy All from Source"));
    EXPECT_EQ(more.last(), QStringLiteral("Delete (off)"));
    view.addToPrompt();
    EXPECT_EQ(inspector.store->activeDraft()->entries.size(), 1);
}

// A link in the passage is never followed by the view: a click hands its address to the desktop,
// whose allow-list opens web and mail addresses only.
TEST(SelectionDetailView, LinksInThePassageGoThroughTheAllowList)
{
    Inspector inspector;
    inspector.inspect({QStringLiteral("links"), std::nullopt, std::nullopt, std::nullopt,
                       QStringLiteral("[web](https://example.com/a) [script](javascript:alert(1)) "
                                      "[file](file:///etc/passwd) [relative](notes.md) [mail](mailto:a@example.com)\n\n"
                                      "![image](file:///etc/hosts)")});
    RichMarkdownView& passage = inspector.view->passage();
    QTextDocument* document = passage.document();
    const int replaced = passage.replacements();
    QStringList clicked;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        for (auto it = block.begin(); !it.atEnd(); ++it) {
            const QTextFragment fragment = it.fragment();
            EXPECT_FALSE(fragment.charFormat().isImageFormat()) << "nothing to load";
            if (!fragment.charFormat().isAnchor())
                continue;
            QTextCursor at(document);
            at.setPosition(fragment.position() + 1);
            QTest::mouseClick(passage.viewport(), Qt::LeftButton, {}, passage.cursorRect(at).center());
            clicked.append(fragment.charFormat().anchorHref());
        }
    }
    EXPECT_EQ(clicked,
              (QStringList{u"https://example.com/a"_qs, u"javascript:alert(1)"_qs, u"file:///etc/passwd"_qs,
                           u"notes.md"_qs, u"mailto:a@example.com"_qs}));
    EXPECT_EQ(inspector.desktop.opened, (QStringList{u"https://example.com/a"_qs, u"mailto:a@example.com"_qs}));
    EXPECT_EQ(passage.replacements(), replaced) << "the view went nowhere";
    EXPECT_TRUE(document->toPlainText().contains(u"image")) << "an image shows its description";
}

// The passage is laid out again only when the capture's Markdown changed: a selection in it
// survives whatever else the library does.
TEST(SelectionDetailView, PassageReplacedOnlyWhenItsMarkdownChanges)
{
    Inspector inspector;
    Store& store = *inspector.store;
    const QUuid id = inspector.inspect({QStringLiteral("x"), std::nullopt, std::nullopt, std::nullopt,
                                        QStringLiteral("# Heading\n\nSome *text* to select.")});
    const QUuid other = inspector.add(
        {QStringLiteral("other"), std::nullopt, std::nullopt, std::nullopt, QStringLiteral("Other **text**")});
    RichMarkdownView& passage = inspector.view->passage();
    QTextCursor selection(passage.document());
    selection.setPosition(2);
    selection.setPosition(6, QTextCursor::KeepAnchor);
    passage.setTextCursor(selection);
    struct Step {
        const char* name;
        std::function<void()> change;
        int replacements; // since the capture was first shown
        bool selectionKept;
    };
    const Step steps[] = {
        {"a capture added", [&] { inspector.add({QStringLiteral("new")}); }, 0, true},
        {"this capture grouped", [&] { store.addToGroup(store.addGroup(QStringLiteral("G"), {})->id, {id}); }, 0, true},
        {"a prompt made with it", [&] { store.addSelectionToActiveDraft(id); }, 0, true},
        {"the same text given again", [&] { passage.setAttributedText(passage.attributedText()); }, 0, true},
        {"another capture shown", [&] { inspector.view->setSelectionID(other); }, 1, false},
        {"and this one again", [&] { inspector.view->setSelectionID(id); }, 2, false},
        {"same characters, other attributes",
         [&] {
             AttributedText plain;
             plain.append(passage.attributedText().string(), {});
             passage.setAttributedText(plain);
         },
         3, false},
    };
    const int first = passage.replacements();
    for (const Step& step : steps) {
        step.change();
        EXPECT_EQ(passage.replacements() - first, step.replacements) << step.name;
        EXPECT_EQ(passage.textCursor().selectedText() == u"adin", step.selectionKept) << step.name;
    }
}

// A passage is as tall as its text, inside the body that scrolls; one too long to lay out at once
// scrolls itself instead, most of the body's height, with the boxes below it still in sight.
// Either way the whole text is there to read to its end, a long run of it broken into lines, and
// copied whole. Rendered for whoever looks at them (VELLICORD_RENDER_DIR).
TEST(SelectionDetailView, LongPassageScrollsItself)
{
    const QString folder = qEnvironmentVariable("VELLICORD_RENDER_DIR");
    const QString section = QStringLiteral(
        "## A section heading\n\nA paragraph with **strong** and *emphasised* words, a [link](https://example.com) "
        "and `code`.\n\n- an item\n  - a nested item\n- another item\n\n");
    QString hex;
    for (int i = 0; hex.size() < 200'000; ++i)
        hex += QString::number(i * 2654435761u % 4294967291u, 16);
    struct Case {
        const char* name;
        Capture capture;
        bool scrolls;
    };
    const Case cases[] = {
        {"small", {u"long"_qs, {}, {}, {}, section.repeated(3)}, false},
        {"just under the threshold", {u"long"_qs, {}, {}, {}, section.repeated(400)}, false},
        {"one megabyte", {u"long"_qs, {}, {}, {}, section.repeated(6500)}, true},
        {"a paragraph of one word repeated", {QStringLiteral("abcdefghij ").repeated(10'000)}, true},
        {"an unbroken run", {hex}, true},
        {"a short unbroken run", {hex.left(6000)}, false},
    };
    for (const Case& c : cases) {
        Inspector inspector;
        inspector.inspect(c.capture);
        for (int i = 0; i < 8; ++i)
            QApplication::processEvents();
        RichMarkdownView& passage = inspector.view->passage();
        EXPECT_EQ(passage.scrollsItself(), c.scrolls) << c.name;
        const auto* body = inspector.view->findChild<QScrollArea*>();
        ASSERT_NE(body, nullptr);
        if (c.scrolls) {
            EXPECT_GE(passage.height(), body->viewport()->height() / 2) << c.name;
            EXPECT_LT(passage.height(), body->viewport()->height()) << c.name << ": the boxes below stay in sight";
        } else {
            EXPECT_EQ(passage.height(), passage.textHeight()) << c.name;
            EXPECT_EQ(passage.verticalScrollBar()->maximum(), 0) << c.name << ": none of it out of sight";
        }
        // Read from its start: the keys select from there.
        QTest::keyClick(&passage, Qt::Key_End, Qt::ShiftModifier);
        QTest::keyClick(&passage, Qt::Key_C, Qt::ControlModifier);
        const QString firstLine = QGuiApplication::clipboard()->text();
        EXPECT_TRUE(!firstLine.isEmpty() && passage.toPlainText().startsWith(firstLine))
            << c.name << ": from its start";
        passage.moveCursor(QTextCursor::End);
        EXPECT_TRUE(passage.viewport()->rect().contains(passage.cursorRect().center()))
            << c.name << ": its end in sight";
        if (!c.capture.markdown) {
            EXPECT_EQ(passage.toPlainText(), c.capture.text) << c.name;
            passage.selectAll();
            QTest::keyClick(&passage, Qt::Key_C, Qt::ControlModifier);
            EXPECT_EQ(QGuiApplication::clipboard()->text(), c.capture.text) << c.name;
        }
        if (!folder.isEmpty()) {
            QDir().mkpath(folder);
            const QImage image = OffscreenRenderer::render(*inspector.view, QSize(420, 660), 2.0);
            image.save(QStringLiteral("%1/inspector-passage-%2.png").arg(folder, QString::fromUtf8(c.name)));
        }
    }
}

// Long names, titles and addresses are elided or wrapped within the pane: the body is never wider
// than what shows it, and every group's name ends inside it.
TEST(SelectionDetailView, LongTextsStayWithinThePane)
{
    const QString words = QStringLiteral("Readings for the quarterly planning meeting with the infrastructure team");
    const QString unbroken = QStringLiteral("https://example.com/") + QString(300, u'x');
    struct Case {
        const char* name;
        QString group;
        Capture capture;
    };
    const Case cases[] = {
        {"a 79-character group name", words + QStringLiteral(" (Q3)"), {QStringLiteral("text")}},
        {"a group name without a break", QString(120, u'g'), {QStringLiteral("text")}},
        {"a long title and address", QStringLiteral("G"), {QStringLiteral("text"), unbroken, words + words}},
        {"a long path",
         QStringLiteral("G"),
         {QStringLiteral("text"), std::nullopt, std::nullopt, u"/home/"_qs + QString(200, u'p')}},
    };
    for (int width : {380, 520}) {
        for (const Case& c : cases) {
            Inspector inspector(width);
            const QUuid group = inspector.store->addGroup(c.group, QStringLiteral("#245BD7"))->id;
            inspector.inspect(c.capture, {group});
            for (int i = 0; i < 8; ++i)
                QApplication::processEvents();
            const auto* body = inspector.view->findChild<QScrollArea*>();
            ASSERT_TRUE(body);
            const int viewport = body->viewport()->width();
            EXPECT_LE(body->widget()->width(), viewport) << c.name << " at " << width;
            for (const QLabel* label : inspector.view->findChildren<QLabel*>()) {
                if (!label->isVisible() || !body->widget()->isAncestorOf(label))
                    continue;
                const int right = label->mapTo(body->viewport(), QPoint(label->width(), 0)).x();
                EXPECT_LE(right, viewport) << c.name << " at " << width << ": " << qPrintable(label->text().left(40));
            }
        }
    }
}

// A value the inspector draws cut short or broken into lines is copied whole, however it is
// selected, by Control-C and by its menu's Copy; a value drawn as it is copies the part selected.
// A screen reader hears the value, or the start of a very long one.
TEST(SelectionDetailView, SelectedValuesAreCopiedAsTheyAre)
{
    QString address = QStringLiteral("https://example.com/");
    while (address.size() < 200'000)
        address += QStringLiteral("segment-%1/").arg(address.size());
    const QString path = QStringLiteral("/home/u/Documents/Reading list for the quarterly planning meeting.pdf");
    const QString app = QStringLiteral("Mozilla Firefox");
    struct Case {
        const char* name;
        Capture capture;
        QString value;
        int which; // of the selectable labels showing it: the header's, then the row's
        bool drag; // else a double click at its end
        QString copied;
    };
    const Case cases[] = {
        {"the header's address of 200,000 characters", {u"text"_qs, address}, address, 0, true, address},
        {"a path broken into two lines", {u"text"_qs, std::nullopt, std::nullopt, path}, path, 1, true, path},
        {"a name drawn as it is", {.text = u"text"_qs, .app = app}, app, 1, false, u"Firefox"_qs},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        Inspector inspector;
        inspector.inspect(c.capture);
        QList<CappedLabel*> labels;
        for (QLabel* label : inspector.view->findChildren<QLabel*>()) {
            auto* capped = dynamic_cast<CappedLabel*>(label);
            if (capped && capped->fullText() == c.value && label->textInteractionFlags() & Qt::TextSelectableByMouse)
                labels.append(capped);
        }
        ASSERT_GT(labels.size(), c.which);
        CappedLabel* label = labels[c.which];
        const QRect drawn = label->contentsRect();
        const QPoint end(drawn.right() - 4, drawn.center().y());
        if (c.drag) {
            QTest::mousePress(label, Qt::LeftButton, {}, drawn.topLeft() + QPoint(4, 4));
            QTest::mouseMove(label, end);
            QTest::mouseRelease(label, Qt::LeftButton, {}, end);
        } else {
            QTest::mouseDClick(label, Qt::LeftButton, {}, end);
        }
        QClipboard* clipboard = QGuiApplication::clipboard();
        clipboard->clear();
        QWidget* keys = QApplication::focusWidget();
        QTest::keyClick(keys ? keys : inspector.view.get(), Qt::Key_C, Qt::ControlModifier);
        EXPECT_EQ(clipboard->text(), c.copied) << "Control-C";

        clipboard->clear();
        QContextMenuEvent click(QContextMenuEvent::Mouse, end, label->mapToGlobal(end));
        QApplication::sendEvent(label, &click);
        auto* menu = label->findChild<QMenu*>();
        ASSERT_TRUE(menu);
        EXPECT_EQ(Inspector::items(menu), (QStringList{u"Copy"_qs, u"Select All"_qs}));
        Inspector::item(menu, QStringLiteral("Copy"))->trigger();
        EXPECT_EQ(clipboard->text(), c.copied) << "the menu's Copy";

        const QString heard = QAccessible::queryAccessibleInterface(label)->text(QAccessible::Name);
        const bool start = heard.endsWith(QChar(0x2026)) && c.value.startsWith(heard.chopped(1));
        EXPECT_TRUE(heard == c.value || (start && heard.size() < 10'000)) << qPrintable(heard.left(300));
    }
}

// The inspector at the size it is used at, over a capture with a heading, a nested list, code and
// a link, in both appearances; for whoever looks at them (VELLICORD_RENDER_DIR).
TEST(SelectionDetailView, Renders)
{
    const QString folder = qEnvironmentVariable("VELLICORD_RENDER_DIR");
    const QString markdown = QStringLiteral(
        "# Attention Is All You Need\n\n"
        "The dominant sequence transduction models are based on **complex recurrent** or *convolutional* neural "
        "networks. See [the paper](https://arxiv.org/abs/1706.03762) and ~~older work~~.\n\n"
        "1. Encoder\n   - six identical layers\n   - multi-head `self-attention`\n2. Decoder\n\n"
        "> Attention weights are computed in parallel.\n\n"
        "```\nscores = softmax(Q K^T / sqrt(d_k)) V\n```\n");
    for (int width : {420, 900}) {
        Inspector inspector(width);
        Store& store = *inspector.store;
        const QUuid reading = store.addGroup(QStringLiteral("Reading"), QStringLiteral("#FF9500"))->id;
        const QUuid work = store.addGroup(QStringLiteral("Work"), QStringLiteral("#34C759"))->id;
        const QString planningName = QStringLiteral("Readings for the quarterly planning meeting with the "
                                                    "infrastructure and platform teams");
        const QUuid planning = store.addGroup(planningName, QStringLiteral("#245BD7"))->id;
        const QUuid id = inspector.inspect({QStringLiteral("Attention"), u"https://arxiv.org/abs/1706.03762"_qs,
                                            u"Attention Is All You Need"_qs, std::nullopt, markdown},
                                           {work, reading, planning});
        store.addSelectionToActiveDraft(id);
        inspector.view->copyMarkdown();
        // The layouts the new capture asked for, each asking its parent's in turn, as the event loop would.
        for (int i = 0; i < 8; ++i)
            QApplication::processEvents();
        const QSize size(width, 660);
        for (Appearance appearance : {Appearance::light, Appearance::dark}) {
            Theme::apply(*inspector.view, appearance);
            const QImage image = OffscreenRenderer::render(*inspector.view, size, 2.0);
            EXPECT_EQ(image.size(), size * 2);
            if (!folder.isEmpty()) {
                QDir().mkpath(folder);
                image.save(
                    QStringLiteral("%1/inspector-%2-%3.png")
                        .arg(folder, QString::number(width), appearance == Appearance::dark ? u"dark" : u"light"));
            }
        }
    }
}

} // namespace
