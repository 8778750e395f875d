#include "Tovak/library/ContentView.h"

#include "Tovak/composer/ComposeDraftPane.h"
#include "Tovak/composer/ComposeEntryRow.h"
#include "Tovak/composer/ComposePreviewPane.h"
#include "Tovak/composer/ComposeView.h"
#include "Tovak/composer/EntryTrimSheet.h"
#include "Tovak/composer/ImportSheet.h"
#include "Tovak/composer/SaveTemplateSheet.h"
#include "Tovak/kit/AppNotification.h"
#include "Tovak/kit/NotificationCenter.h"
#include "Tovak/library/AddToPromptBanner.h"
#include "Tovak/library/LibrarySelectionList.h"
#include "Tovak/library/NameSheet.h"
#include "Tovak/library/SelectionDetailView.h"
#include "Tovak/library/SelectionRowDelegate.h"
#include "Tovak/library/SidebarModel.h"
#include "Tovak/library/SidebarView.h"
#include "Tovak/library/WelcomeView.h"
#include "core/capture/Clipboard.h"
#include "core/foundation/Text.h"
#include "core/foundation/UuidText.h"
#include "core/library/SelectionDragIDs.h"
#include "core/library/Store.h"
#include "support/ViewFakes.h"

#include <QAccessible>
#include <QCoreApplication>
#include <QDir>
#include <QDrag>
#include <QDragEnterEvent>
#include <QEvent>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QScreen>
#include <QScrollArea>
#include <QStackedWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QToolButton>
#include <QToolTip>

#include <gtest/gtest.h>

using namespace vellicord;

// The welcome sheet greets an empty library that can be changed, each time the content comes on
// screen, with the shortcut and the accessibility state as they are then.
TEST(ContentView, WelcomesAnEmptyLibraryEachTimeItIsShown)
{
    struct Case {
        const char* name;
        QByteArray library;
        bool addCapture;
        bool welcomed;
    };
    const Case cases[] = {
        {"empty", {}, false, true},
        {"with a capture", {}, true, false},
        {"unreadable", "not a library", false, false},
    };
    for (const Case& c : cases) {
        ViewFakes fakes(c.library);
        if (c.addCapture) {
            fakes.store->add(Selection(QUuid::createUuid(), QStringLiteral("text"), std::nullopt, QStringLiteral("App"),
                                       std::nullopt, std::nullopt, std::nullopt, std::nullopt, {}, fakes.time.now()));
        }
        QWidget window;
        auto* content = new ContentView(fakes.services(), &window);
        window.show();
        EXPECT_EQ(content->welcomeSheet() != nullptr, c.welcomed) << c.name;
    }

    ViewFakes fakes;
    fakes.accessibility.trusted = false;
    fakes.shortcut = QStringLiteral("Shift+F5");
    QWidget window;
    auto* content = new ContentView(fakes.services(), &window);
    window.show();
    WelcomeView* welcome = content->welcomeSheet();
    ASSERT_TRUE(welcome);
    bool namesShortcut = false;
    for (QLabel* label : welcome->findChildren<QLabel*>())
        namesShortcut |= label->text() == WelcomeView::captureStepText(QStringLiteral("Shift+F5"));
    EXPECT_TRUE(namesShortcut);
    ASSERT_TRUE(welcome->settingsButton());
    welcome->settingsButton()->click();
    EXPECT_EQ(fakes.desktop.accessibilitySettingsOpened, 1);

    // Dismissed, it comes back the next time the window is shown.
    welcome->getStartedButton()->click();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    EXPECT_FALSE(content->welcomeSheet());
    window.hide();
    window.show();
    EXPECT_TRUE(content->welcomeSheet());
}

#include "Tovak/export/SampleData.h"
#include "Tovak/kit/OffscreenRenderer.h"
#include "Tovak/kit/Theme.h"
#include "Tovak/library/ContentViewState.h"
#include "Tovak/shell/AppActions.h"
#include "Tovak/shell/MainWindow.h"
#include <QLineEdit>

// The window over the sample library, and over the library's states, in both appearances and at
// both scales, for whoever looks at them (VELLICORD_RENDER_DIR).
TEST(ContentView, RendersTheLibraryAndItsStates)
{
    const QString folder = qEnvironmentVariable("VELLICORD_RENDER_DIR");
    struct Case {
        const char* name;
        QByteArray library;
        bool samples;
        bool trusted;
        QString search;
    };
    const Case cases[] = {
        {"library", {}, true, true, {}},
        {"library-search", {}, true, true, QStringLiteral("the")},
        {"no-results", {}, true, true, QStringLiteral("<b>nothing</b> like this")},
        {"welcome", {}, false, false, {}},
        {"unreadable", "not a library", false, true, {}},
    };
    for (const Case& c : cases) {
        ViewFakes fakes(c.library);
        fakes.accessibility.trusted = c.trusted;
        fakes.time.advance(std::chrono::hours(24 * 400));
        if (c.samples) {
            for (const Selection& s : SampleData::sampleSelections(fakes.time.now()))
                fakes.store->add(s);
            const auto group = fakes.store->createGroup(QStringLiteral("Reading"), QStringLiteral("#FF9500"),
                                                        {fakes.store->selections().first().id});
            fakes.store->createGroup(QStringLiteral("Work & <i>notes</i>"), QStringLiteral("#34C759"),
                                     {fakes.store->selections().first().id, fakes.store->selections()[1].id});
            fakes.store->createGroup(QStringLiteral("Later"), QStringLiteral("nope"),
                                     {fakes.store->selections().first().id});
            (void)group;
        }
        AppActions actions;
        MainWindow window(fakes.services(), actions);
        window.contentView()->searchField()->setText(c.search);
        if (c.samples && c.search.isEmpty())
            window.contentView()->state().selectInList({fakes.store->selections()[1].id});
        EXPECT_FALSE(window.contentView()->searchField()->text() != c.search);
        if (folder.isEmpty())
            continue;
        for (Appearance appearance : {Appearance::light, Appearance::dark}) {
            Theme::apply(window, appearance);
            for (qreal scale : {1.0, 2.0}) {
                const QString name
                    = QStringLiteral("%1/window-%2-%3@%4x.png")
                          .arg(folder, QString::fromLatin1(c.name),
                               appearance == Appearance::dark ? QStringLiteral("dark") : QStringLiteral("light"))
                          .arg(int(scale));
                EXPECT_FALSE(OffscreenRenderer::writePng(window, QSize(1120, 660), scale, name)) << c.name;
            }
        }
    }
}

namespace {

struct Shown : ViewFakes {
    QWidget window;
    ContentView* content;
    QUuid group;
    Selection capture;

    explicit Shown(const QByteArray& file = {})
        : ViewFakes(file)
    {
        capture = Selection(QUuid::createUuid(), QStringLiteral("text"), std::nullopt, QStringLiteral("App"),
                            std::nullopt, std::nullopt, std::nullopt, std::nullopt, {}, time.now());
        if (store->canModifyLibrary()) {
            store->add(capture);
            group = store->addGroup(QStringLiteral("G"), QStringLiteral("#000000"))->id;
        }
        content = new ContentView(services(), &window);
        window.resize(1120, 660);
        content->resize(window.size());
        window.show();
    }
    ContentViewState& state() { return content->state(); }
    NameSheet* nameSheet() { return qobject_cast<NameSheet*>(content->groupSheet()); }
};

} // namespace

// The group sheets, worked by the keys: Return acts when the name is not blank, Escape cancels,
// and so does closing the window; a second request while a sheet is up is ignored.
TEST(ContentView, GroupSheetsByTheKeys)
{
    Shown w;
    NotificationCenter::defaultCenter().post(AppNotification::vellicordRequestNewGroup, QVariant::fromValue(w.capture));
    NameSheet* sheet = w.nameSheet();
    ASSERT_TRUE(sheet);
    EXPECT_EQ(sheet->windowTitle(), QStringLiteral("New Group"));
    NotificationCenter::defaultCenter().post(AppNotification::vellicordRequestNewGroup);
    EXPECT_EQ(w.content->groupSheet(), sheet) << "ignored, not queued";
    EXPECT_TRUE(w.state().groupPendingSelection());
    QTest::keyClicks(sheet->nameField(), QStringLiteral("   "));
    QTest::keyClick(sheet->nameField(), Qt::Key_Return);
    EXPECT_EQ(w.content->groupSheet(), sheet) << "a blank name is not submitted";
    QTest::keyClick(sheet->nameField(), Qt::Key_Escape);
    EXPECT_FALSE(w.content->groupSheet());
    EXPECT_FALSE(w.state().groupPendingSelection()) << "Escape drops the capture";

    // Closing the window is a way out too.
    NotificationCenter::defaultCenter().post(AppNotification::vellicordRequestNewGroup, QVariant::fromValue(w.capture));
    ASSERT_TRUE(w.nameSheet());
    w.window.close();
    EXPECT_FALSE(w.content->groupSheet());
    EXPECT_FALSE(w.state().groupPendingSelection());
    EXPECT_FALSE(w.state().showNewGroupSheet());
    w.window.show();

    // From the sidebar's row: typed, then Return.
    SidebarView* sidebar = w.content->sidebar();
    for (int row = 0; row < sidebar->model()->rowCount(); ++row) {
        if (sidebar->sidebarModel().kind(row) == SidebarModel::Kind::newGroup)
            QTest::mouseClick(sidebar->viewport(), Qt::LeftButton, {},
                              sidebar->visualRect(sidebar->model()->index(row, 0)).center());
    }
    ASSERT_TRUE(w.nameSheet());
    QTest::keyClicks(w.nameSheet()->nameField(), QStringLiteral("  Reading "));
    QTest::keyClick(w.nameSheet()->nameField(), Qt::Key_Return);
    EXPECT_FALSE(w.content->groupSheet());
    EXPECT_EQ(w.store->groups().last().name, QStringLiteral("Reading"));
    EXPECT_EQ(w.state().sidebarSelection(), SidebarItem::group(w.store->groups().last().id));

    // The rename sheet comes up filled in.
    ASSERT_TRUE(w.state().requestRenameGroup(*w.store->findGroup(w.group)));
    ASSERT_TRUE(w.nameSheet());
    EXPECT_EQ(w.nameSheet()->nameField()->text(), QStringLiteral("G"));
    w.nameSheet()->nameField()->setText(QStringLiteral(" Renamed "));
    QTest::keyClick(w.nameSheet()->nameField(), Qt::Key_Return);
    EXPECT_FALSE(w.content->groupSheet());
    EXPECT_EQ(w.store->findGroup(w.group)->name, QStringLiteral("Renamed"));
}

// The delete alert, answered by the injected runner: Cancel keeps the group, "Delete Group"
// deletes it and takes the window back to the whole library.
TEST(ContentView, DeleteGroupAlert)
{
    for (const QString& answer : {QStringLiteral("Cancel"), QStringLiteral("Delete Group")}) {
        Shown w;
        QString title, text;
        w.answerSheet = [&](QDialog& sheet) {
            auto* alert = qobject_cast<QMessageBox*>(&sheet);
            ASSERT_TRUE(alert);
            title = alert->text();
            text = alert->informativeText();
            for (QAbstractButton* button : alert->buttons()) {
                if (button->text() == answer)
                    button->click();
            }
        };
        w.state().setSidebarSelection(SidebarItem::group(w.group));
        w.state().requestDeleteGroup(*w.store->findGroup(w.group));
        EXPECT_EQ(title, QStringLiteral("Delete Group?"));
        EXPECT_EQ(text,
                  QStringLiteral(
                      "The captures will stay in the library, but their membership in this group will be removed."));
        const bool deleted = answer != QStringLiteral("Cancel");
        EXPECT_EQ(!w.store->findGroup(w.group), deleted) << qPrintable(answer);
        EXPECT_EQ(w.state().sidebarSelection(), deleted ? SidebarItem::allSelections() : SidebarItem::group(w.group));
        EXPECT_EQ(w.state().presentation(), ContentViewState::Presentation::none);
        EXPECT_EQ(w.store->selections().size(), 1);
    }
}

// The compose column: the prompt shown, or "No prompt yet" with its button, which makes one; the
// window is titled after the prompt.
TEST(ContentView, ComposeColumnAndTitle)
{
    Shown w;
    w.state().setSidebarSelection(SidebarItem::prompt());
    EXPECT_EQ(w.content->sidebar(), w.content->composeSidebar());
    EXPECT_EQ(w.content->composeColumn()->currentWidget(), w.content->missingDraftPlaceholder());
    EXPECT_EQ(w.window.windowTitle(), QStringLiteral("Vellicord"));
    ASSERT_TRUE(w.content->newPromptButton()->isEnabled());
    w.content->newPromptButton()->click();
    const auto shownName = [&] {
        ComposeView* composer = w.content->composer();
        EXPECT_EQ(w.content->composeColumn()->currentWidget(), composer);
        return composer && composer->draftPane() ? composer->draftPane()->nameField()->text() : QString();
    };
    EXPECT_EQ(shownName(), QStringLiteral("Prompt 1"));
    EXPECT_EQ(w.window.windowTitle(), QStringLiteral("Vellicord \u2014 Prompt 1"));
    // A draft that is gone shows the placeholder, and the window is named after the active prompt.
    const QUuid second = w.store->newDraft(QStringLiteral("Second"))->id;
    w.state().setSidebarSelection(SidebarItem::draft(second));
    EXPECT_EQ(shownName(), QStringLiteral("Second"));
    w.store->deleteDraft(second);
    EXPECT_EQ(w.content->composeColumn()->currentWidget(), w.content->missingDraftPlaceholder());
    EXPECT_EQ(w.content->composer(), nullptr) << "the composer goes with its prompt";
    EXPECT_EQ(w.window.windowTitle(), QStringLiteral("Vellicord \u2014 Prompt 1"));

    Shown unreadable("not a library");
    unreadable.state().setSidebarSelection(SidebarItem::prompt());
    EXPECT_FALSE(unreadable.content->newPromptButton()->isEnabled());
}

// "Reveal Library Folder" shows the library file in use and makes no folder on the way.
TEST(ContentView, RevealShowsTheFileInUse)
{
    Shown w("not a library");
    QTemporaryDir elsewhere;
    w.files.dataDirectory = elsewhere.path();
    int clicked = 0;
    for (QPushButton* button : w.content->findChildren<QPushButton*>()) {
        if (button->text() == QStringLiteral("Reveal Library Folder") && button->isVisibleTo(&w.window)) {
            button->click();
            ++clicked;
        }
    }
    ASSERT_EQ(clicked, 1);
    EXPECT_EQ(w.desktop.revealed, QStringList{w.store->storeURL()});
    EXPECT_EQ(w.store->storeURL(), w.libraryPath);
    EXPECT_FALSE(QDir(elsewhere.path()).exists(QStringLiteral("Vellicord")));
}

namespace {

// The list's rows as read, in their order.
QStringList listed(ContentView& content)
{
    QStringList rows;
    const QAbstractItemModel& model = content.state().model();
    for (int row = 0; row < model.rowCount(); ++row)
        rows.append(model.index(row, 0).data().toString());
    return rows;
}

// The sidebar's source rows as read, in their order.
QStringList sources(ContentView& content)
{
    QStringList rows;
    const SidebarModel& model = content.sidebar()->sidebarModel();
    for (int row = 0; row < model.rowCount(); ++row) {
        if (model.kind(row) == SidebarModel::Kind::source)
            rows.append(model.index(row).data().toString() + u' '
                        + model.index(row).data(SidebarModel::CountRole).toString());
    }
    return rows;
}

} // namespace

// One source, one answer: an application name written composed (NFC) and decomposed (NFD) is one
// source in the sidebar; choosing it lists both captures, and "Copy All from Source" copies both.
TEST(ContentView, OneSourceForCanonicallyEqualNames)
{
    ViewFakes fakes;
    const QString composed = QStringLiteral("Caf\u00E9");
    const QString decomposed = QStringLiteral("Cafe\u0301");
    const auto add = [&](const QString& text, const QString& app, qint64 at) {
        fakes.store->add(Selection(QUuid::createUuid(), text, std::nullopt, app, std::nullopt, std::nullopt,
                                   std::nullopt, std::nullopt, {}, QDateTime::fromSecsSinceEpoch(at, Qt::UTC)));
    };
    add(QStringLiteral("composed"), composed, 1'700'000'000);
    add(QStringLiteral("decomposed"), decomposed, 1'700'000'100);
    add(QStringLiteral("elsewhere"), QStringLiteral("Notes"), 1'700'000'200);
    QWidget window;
    auto* content = new ContentView(fakes.services(), &window);
    window.resize(1120, 660);
    content->resize(window.size());
    window.show();
    // Titled as the newest capture writes it.
    ASSERT_EQ(sources(*content), (QStringList{decomposed + QStringLiteral(" 2"), u"Notes 1"_qs}));

    SidebarModel& sidebar = content->sidebar()->sidebarModel();
    for (int row = 0; row < sidebar.rowCount(); ++row) {
        if (sidebar.kind(row) == SidebarModel::Kind::source
            && Text::equal(sidebar.index(row).data().toString(), composed))
            content->state().setSidebarSelection(*sidebar.item(row));
    }
    EXPECT_EQ(listed(*content), (QStringList{u"decomposed"_qs, u"composed"_qs}));

    for (int row : {0, 1}) {
        content->state().selectInList({content->state().model().idAt(row)});
        content->inspector()->copyAllFromSource();
        const QString copied = Clipboard::plainText(fakes.pasteboard).value_or(QString());
        EXPECT_TRUE(copied.contains(u"composed"_qs) && copied.contains(u"decomposed"_qs)) << "from row " << row;
        EXPECT_FALSE(copied.contains(u"elsewhere"_qs));
    }
}

// An address of 200,000 characters: its source's tooltip in the sidebar and its row's menu show it
// cut short in the middle, well within the screen.
TEST(ContentView, AVeryLongAddressKeepsTooltipAndMenuOnScreen)
{
    ViewFakes fakes;
    const QString address = u"https://example.com/"_qs + QString(200'000, u'a') + u"/end"_qs;
    const Selection capture(QUuid::createUuid(), u"text"_qs, std::nullopt, u"Firefox"_qs, std::nullopt, address,
                            std::nullopt, std::nullopt, {}, fakes.time.now());
    fakes.store->add(capture);
    QWidget window;
    auto* content = new ContentView(fakes.services(), &window);
    window.show();
    const int screen = window.screen()->availableGeometry().width();
    SidebarView& sidebar = *content->sidebar();
    const SidebarModel& model = sidebar.sidebarModel();
    const QPoint row
        = sidebar.visualRect(model.index(model.rowOf(SidebarItem::source(capture.sourceIdentity())))).center();
    QHelpEvent rest(QEvent::ToolTip, row, sidebar.viewport()->mapToGlobal(row));
    QApplication::sendEvent(sidebar.viewport(), &rest);
    EXPECT_TRUE(QToolTip::text().startsWith(u"https://example.com/aaa") && QToolTip::text().endsWith(u"aa/end"));
    EXPECT_LT(QFontMetrics(QToolTip::font()).horizontalAdvance(QToolTip::text()), screen * 3 / 4);
    std::unique_ptr<QMenu> menu(content->list()->contextMenu(0));
    EXPECT_LT(menu->sizeHint().width(), screen * 3 / 4);
    const QList<QAction*> items = menu->actions();
    EXPECT_TRUE(std::any_of(items.cbegin(), items.cend(), [](QAction* item) {
        return item->text().startsWith(u"Copy All from \"https://example.com/aaa")
            && item->text().endsWith(u"aa/end\"");
    })) << "the start and the end of the address show";
}

// The orders by name ignore case whatever the locale, a machine set to no language included: the
// list "By app" and the sidebar's sources read the same under C.UTF-8 as under en_US.UTF-8.
TEST(ContentView, OrdersByNameIgnoreCaseInEveryLocale)
{
    for (const char* locale : {"C.UTF-8", "en_US.UTF-8"}) {
        QLocale::setDefault(QLocale(QString::fromLatin1(locale)));
        ViewFakes fakes;
        qint64 at = 1'700'000'000;
        for (const QString& app : {u"Banana"_qs, u"Date"_qs, u"apple"_qs, u"cherry"_qs, u"XTerm"_qs}) {
            fakes.store->add(Selection(QUuid::createUuid(), app.toLower(), std::nullopt, app, std::nullopt,
                                       std::nullopt, std::nullopt, std::nullopt, {},
                                       QDateTime::fromSecsSinceEpoch(at++, Qt::UTC)));
        }
        fakes.store->add(Selection(QUuid::createUuid(), QStringLiteral("notes"), std::nullopt, QStringLiteral("Editor"),
                                   std::nullopt, std::nullopt, std::nullopt, QStringLiteral("file:notes"), {},
                                   QDateTime::fromSecsSinceEpoch(at, Qt::UTC)));
        QWidget window;
        auto* content = new ContentView(fakes.services(), &window);
        window.resize(1120, 660);
        content->resize(window.size());
        window.show();
        content->state().setSortMode(SortMode::byApp);
        EXPECT_EQ(listed(*content),
                  (QStringList{u"apple"_qs, u"banana"_qs, u"cherry"_qs, u"date"_qs, u"notes"_qs, u"xterm"_qs}))
            << locale;
        EXPECT_EQ(
            sources(*content),
            (QStringList{u"apple 1"_qs, u"Banana 1"_qs, u"cherry 1"_qs, u"Date 1"_qs, u"Editor 1"_qs, u"XTerm 1"_qs}))
            << locale << ": the file's source sorts by its path, file:notes";
    }
    QLocale::setDefault(QLocale(QStringLiteral("en_US")));
}

// Both layouts and the sheets, light and dark, drawn (a symbol unknown fails here) and written
// for whoever looks at them (VELLICORD_RENDER_DIR).
TEST(ContentView, RendersBothLayoutsAndTheSheets)
{
    const QString folder = qEnvironmentVariable("VELLICORD_RENDER_DIR");
    ViewFakes fakes;
    fakes.time.advance(std::chrono::hours(24 * 400));
    for (const Selection& s : SampleData::sampleSelections(fakes.time.now()))
        fakes.store->add(s);
    const QUuid reading = fakes.store
                              ->createGroup(QStringLiteral("Reading"), QStringLiteral("#FF9500"),
                                            {fakes.store->selections().first().id})
                              ->id;
    fakes.store->createGroup(QStringLiteral("A group with a long name that will not fit"), QStringLiteral("#34C759"),
                             {fakes.store->selections()[1].id});
    AppActions actions;
    MainWindow window(fakes.services(), actions);
    ContentView& content = *window.contentView();
    const auto write = [&](QWidget& widget, QSize size, const QString& name) {
        for (Appearance appearance : {Appearance::light, Appearance::dark}) {
            Theme::apply(widget, appearance);
            if (folder.isEmpty()) {
                EXPECT_FALSE(OffscreenRenderer::render(widget, size, 1.0).isNull()) << qPrintable(name);
                continue;
            }
            const QString path
                = QStringLiteral("%1/%2-%3.png")
                      .arg(folder, name,
                           appearance == Appearance::dark ? QStringLiteral("dark") : QStringLiteral("light"));
            EXPECT_FALSE(OffscreenRenderer::writePng(widget, size, 1.0, path)) << qPrintable(name);
        }
    };
    content.state().setSidebarSelection(SidebarItem::group(reading));
    content.toolBar()->button(LibraryToolbar::Item::selectAll)->click();
    content.addToPromptBanner()->flash(1, 3);
    write(window, QSize(1120, 660), QStringLiteral("layout-library-group"));
    content.state().setSidebarSelection(SidebarItem::prompt());
    write(window, QSize(1120, 660), QStringLiteral("layout-compose-placeholder"));
    content.state().newPrompt();
    fakes.store->addSelectionsToActiveDraft({fakes.store->selections()[2].id, fakes.store->selections()[3].id});
    fakes.store->newDraft(QStringLiteral("Release notes"));
    fakes.store->activateDraft(fakes.store->drafts().first().id);
    write(window, QSize(1120, 660), QStringLiteral("layout-compose-prompt"));

    content.state().requestNewGroup();
    ASSERT_TRUE(content.groupSheet());
    qobject_cast<NameSheet*>(content.groupSheet())->nameField()->setText(QStringLiteral("Research"));
    write(*content.groupSheet(), QSize(), QStringLiteral("sheet-new-group"));
    content.state().dismissNewGroupSheet();
    content.state().requestRenameGroup(*fakes.store->findGroup(reading));
    write(*content.groupSheet(), QSize(), QStringLiteral("sheet-rename-group"));
    content.state().dismissRenameSheet();
    content.state().requestDeleteGroup(*fakes.store->findGroup(reading));
    write(*content.groupSheet(), QSize(), QStringLiteral("alert-delete-group"));
    content.state().dismissDeleteAlert();
}

// The detail pane shows the inspector of the inspected capture; deleting it there removes it from
// the library, and the pane falls back as the window's selection moves on.
TEST(ContentView, DetailPaneInspectsAndFallsBackAfterADelete)
{
    ViewFakes fakes;
    QList<QUuid> ids;
    for (const char* text : {"first", "second"}) {
        const Selection s(QUuid::createUuid(), QString::fromUtf8(text), std::nullopt, QStringLiteral("App"),
                          std::nullopt, std::nullopt, std::nullopt, std::nullopt, {}, fakes.time.now());
        fakes.store->add(s);
        ids.append(s.id);
    }
    QWidget window;
    auto* content = new ContentView(fakes.services(), &window);
    window.show();
    QStackedWidget* pane = content->detailPane();
    SelectionDetailView* inspector = content->inspector();
    struct Step {
        const char* name;
        std::function<void()> act;
        bool inspecting;
        std::optional<QUuid> shown;
    };
    const Step steps[] = {
        {"nothing inspected", [] {}, false, std::nullopt},
        {"a capture chosen", [&] { content->state().selectInList({ids[0]}); }, true, ids[0]},
        {"deleted from the inspector",
         [&] {
             QMenu* more = inspector->moreMenu();
             Q_EMIT more->aboutToShow();
             more->actions().last()->trigger();
         },
         false, std::nullopt},
    };
    for (const Step& step : steps) {
        step.act();
        EXPECT_EQ(pane->currentWidget() == inspector, step.inspecting) << step.name;
        EXPECT_EQ(inspector->selectionID(), step.shown) << step.name;
    }
    EXPECT_FALSE(fakes.store->findByID(ids[0]));
    EXPECT_TRUE(fakes.store->findByID(ids[1]));
}

// Every stop of the Tab key shows that it holds the keyboard: the list marks the row the keyboard
// is on (and tells it focused) while it holds the keyboard, also when a new list left it none;
// areas that only scroll what they hold are no stops, their controls are. Both layouts.
TEST(ContentView, EveryTabStopShowsItsFocus)
{
    ViewFakes fakes;
    for (const char* text : {"First passage", "Second passage", "Third passage"})
        fakes.store->add(Selection(QUuid::createUuid(), QString::fromUtf8(text), std::nullopt, u"App"_qs,
                                   std::nullopt, std::nullopt, std::nullopt, std::nullopt, {}, fakes.time.now()));
    const QUuid first = fakes.store->selections().first().id;
    fakes.store->addSelectionToActiveDraft(first);
    AppActions actions;
    MainWindow window(fakes.services(), actions);
    window.show();
    window.activateWindow();
    ASSERT_TRUE(QTest::qWaitFor([&] { return QApplication::activeWindow() == &window; }));
    ContentView& content = *window.contentView();
    LibrarySelectionList& list = *content.list();
    // The rows drawn otherwise with the keyboard in the list than elsewhere, and those told focused.
    const auto rowsMarked = [&](const std::function<void()>& act) {
        QAccessibleInterface* rows = QAccessible::queryAccessibleInterface(&list);
        list.setFocus(Qt::TabFocusReason);
        act();
        const QImage focused = list.viewport()->grab().toImage();
        QStringList marked;
        for (int row = 0; row < list.model()->rowCount(); ++row)
            marked.append(rows->child(row)->state().focused ? u" told"_qs : QString());
        content.searchField()->setFocus(Qt::TabFocusReason);
        const QImage elsewhere = list.viewport()->grab().toImage();
        for (int row = 0; row < list.model()->rowCount(); ++row) {
            const QRect band = list.visualRect(list.model()->index(row, 0));
            marked[row].prepend(focused.copy(band) != elsewhere.copy(band) ? u" drawn"_qs : QString());
            marked[row] = marked[row].isEmpty() ? QString() : QString::number(row) + marked[row];
            EXPECT_FALSE(rows->child(row)->state().focused) << row << " told focused with the keyboard elsewhere";
        }
        marked.removeAll(QString());
        return marked.join(u", ");
    };
    const auto scrollAreasTabbedTo = [](QWidget* from) {
        from->setFocus(Qt::TabFocusReason);
        QStringList areas;
        for (QWidget* at = from; areas.size() < 60; at = QApplication::focusWidget()) {
            if (qobject_cast<QScrollArea*>(at))
                areas.append(at->objectName());
            QTest::keyClick(at, Qt::Key_Tab);
            if (QApplication::focusWidget() == from)
                break;
        }
        return areas;
    };
    const QUuid second = fakes.store->selections()[1].id;
    const struct {
        const char* name;
        std::function<void()> act; // while the list holds the keyboard
        const char* marked;
    } cases[] = {
        {"at first", [] {}, "0 drawn told"},
        {"the inspected row, chosen", [&] { content.state().setSelection({second}, second); }, "1 drawn told"},
        {"nothing chosen, a new order",
         [&] { content.state().setSelection({}, std::nullopt), content.state().setSortMode(SortMode::oldestFirst); },
         "0 drawn told"},
    };
    for (const auto& c : cases)
        EXPECT_EQ(rowsMarked(c.act), QString::fromUtf8(c.marked)) << c.name;
    content.state().setSelection({second}, second);
    EXPECT_EQ(scrollAreasTabbedTo(&list), QStringList()) << "the library, a capture inspected";
    content.state().setSidebarSelection(SidebarItem::prompt());
    QCoreApplication::processEvents();
    EXPECT_EQ(scrollAreasTabbedTo(content.sidebar()), QStringList()) << "the composer";
}

// Every text field of the window, the composer's and its sheets' included, refuses the data of a
// drag of ours (the library's rows, a source's grip: ids as text) and keeps its text; text from
// another application still drops into each.
TEST(ContentView, TextFieldsRefuseTheIdsOurDragsCarryAndTakeOtherText)
{
    ViewFakes w;
    const Selection capture(QUuid::createUuid(), QStringLiteral("text"), std::nullopt, QStringLiteral("App"),
                            std::nullopt, std::nullopt, std::nullopt, std::nullopt, {}, w.time.now());
    w.store->add(capture);
    ContextDraft draft = *w.store->newDraft(QStringLiteral("Reading list"));
    draft.entries.append({QUuid::createUuid(), capture.id, true, false, false, QStringLiteral("Cite it"), {}});
    w.store->updateDraft(draft);
    const QUuid entry = draft.entries[0].id;
    AppActions actions;
    MainWindow window(w.services(), actions);
    window.resize(1120, 660);
    window.show();
    ContentView& content = *window.contentView();

    // What each grip drags, kept as a copy: a drag's data goes with the drag.
    std::vector<std::pair<const char*, std::unique_ptr<QMimeData>>> ours;
    const auto keep = [&](const char* name, const QMimeData& data) {
        QMimeData& copy = *ours.emplace_back(name, std::make_unique<QMimeData>()).second;
        for (const QString& format : data.formats())
            copy.setData(format, data.data(format));
    };
    const auto dragFrom = [](QWidget* widget, QPoint at) {
        QTest::mousePress(widget, Qt::LeftButton, {}, at);
        QTest::mouseMove(widget, at + QPoint(0, 30));
        QTest::mouseRelease(widget, Qt::LeftButton, {}, at + QPoint(0, 30));
    };
    LibrarySelectionList& list = *content.list();
    dragFrom(list.viewport(), list.rowDelegate().gripRect(list.visualRect(list.model()->index(0, 0))).center());
    ASSERT_TRUE(list.findChild<QDrag*>());
    keep("the library's rows", *list.findChild<QDrag*>()->mimeData());
    content.state().setSidebarSelection(SidebarItem::draft(draft.id));
    const auto pane = [&] { return content.composer()->draftPane(); };
    pane()->setDragRunner([&](QDrag& drag) {
        keep("a source's grip", *drag.mimeData());
        return Qt::IgnoreAction;
    });
    dragFrom(pane()->row(entry)->grip(), pane()->row(entry)->grip()->rect().center());
    QCoreApplication::processEvents();
    ASSERT_EQ(ours.size(), 2u);
    EXPECT_EQ(ours[0].second->text(), SelectionDragIDs::encode({capture.id}));
    EXPECT_EQ(ours[1].second->text(), UuidText::format(entry)) << "dropped elsewhere, the id as plain text";

    // Each field as its user reaches it; the widget a drop lands on (an editor's viewport).
    const std::pair<const char*, std::function<QWidget*()>> fields[] = {
        {"search",
         [&] {
             content.state().setSidebarSelection(SidebarItem::allSelections());
             QCoreApplication::processEvents();
             return content.searchField();
         }},
        {"group name sheet",
         [&] {
             content.state().requestNewGroup();
             auto* sheet = qobject_cast<NameSheet*>(content.groupSheet());
             return sheet ? sheet->nameField() : nullptr;
         }},
        {"prompt name",
         [&] {
             content.state().setSidebarSelection(SidebarItem::draft(draft.id));
             return pane()->nameField();
         }},
        {"task", [&] { return pane()->taskField()->viewport(); }},
        {"source note", [&] { return pane()->row(entry)->noteField(); }},
        {"preview", [&] { return content.composer()->previewPane()->editor()->viewport(); }},
        {"trim sheet", [&] { return pane()->beginTrim(entry), pane()->trimSheet()->editor()->viewport(); }},
        {"import sheet", [&] { return pane()->showImportSheet(), pane()->importSheet()->editor()->viewport(); }},
        {"template sheet", [&] { return pane()->showSaveTemplateSheet(), pane()->saveTemplateSheet()->nameField(); }},
    };
    const auto textOf = [](QWidget* target) {
        auto* field = qobject_cast<QLineEdit*>(target);
        return field ? field->text() : qobject_cast<QPlainTextEdit*>(target->parentWidget())->toPlainText();
    };
    // Enters the field, moves over it and lets go, as a drag does.
    const auto drop = [](QWidget* target, QMimeData* data) {
        const QPoint at = target->rect().center();
        QDragEnterEvent enter(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, {});
        QDragMoveEvent move(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, {});
        QDropEvent dropped(at, Qt::CopyAction | Qt::MoveAction, data, Qt::LeftButton, {});
        for (QEvent* event : std::initializer_list<QEvent*>{&enter, &move, &dropped})
            QCoreApplication::sendEvent(target, event);
    };
    QMimeData other;
    other.setText(QStringLiteral("Mix สวัสดี नमस्ते שלום 👩🏽‍💻"));
    for (const auto& [name, open] : fields) {
        SCOPED_TRACE(name);
        QWidget* target = open();
        ASSERT_TRUE(target && target->isVisible());
        const QString before = textOf(target);
        for (const auto& [drag, data] : ours) {
            drop(target, data.get());
            EXPECT_EQ(textOf(target), before) << "refused: " << drag;
        }
        drop(target, &other);
        EXPECT_TRUE(textOf(target).size() == before.size() + other.text().size()
                    && textOf(target).contains(other.text()))
            << "taken: " << qPrintable(textOf(target));
        for (const QPointer<QDialog>& sheet : std::as_const(w.sheets)) {
            if (sheet && sheet->isVisible())
                sheet->reject();
        }
    }
}
