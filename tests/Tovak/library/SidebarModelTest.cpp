#include "Tovak/library/SidebarModel.h"

#include "core/library/SelectionDragIDs.h"
#include "core/library/StorePersistence.h"
#include "support/TemporaryLibrary.h"

#include <QAbstractItemModelTester>
#include <QRandomGenerator>
#include <QSignalSpy>

#include <gtest/gtest.h>

#include <functional>

using namespace vellicord;

namespace {

using Kind = SidebarModel::Kind;

Selection capture(const QString& app, std::optional<QString> url = {}, std::optional<QString> path = {},
                  QList<QUuid> groups = {})
{
    return Selection(QUuid::createUuid(), QStringLiteral("text of ") + app, std::nullopt, app, std::nullopt,
                     std::move(url), std::nullopt, std::move(path), std::move(groups),
                     QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC));
}

// Each row as "title (count)", with "#" before headers, "~" before footers, "+" before the action
// rows, "/subtitle" after sources, "[off]" for rows that cannot be used.
QStringList rows(const SidebarModel& model)
{
    QStringList shown;
    for (int row = 0; row < model.rowCount(); ++row) {
        const QModelIndex index = model.index(row);
        QString text = index.data().toString();
        switch (model.kind(row)) {
        case Kind::header: text.prepend(u'#'); break;
        case Kind::footer: text.prepend(u'~'); break;
        case Kind::newPrompt:
        case Kind::newGroup: text.prepend(u'+'); break;
        case Kind::source: text += u'/' + index.data(SidebarModel::SubtitleRole).toString(); break;
        default: break;
        }
        if (const QVariant count = index.data(SidebarModel::CountRole); count.isValid())
            text += QStringLiteral(" (%1)").arg(count.toInt());
        if (model.kind(row) == Kind::newPrompt || model.kind(row) == Kind::newGroup)
            text += model.flags(index) & Qt::ItemIsEnabled ? QString() : QStringLiteral(" [off]");
        shown.append(text);
    }
    return shown;
}

// The sidebar over small libraries, row by row: sections, counts, footers and the status row.
TEST(SidebarModel, RowsCountsFootersAndStatus)
{
    const QStringList emptyTail{QStringLiteral("#Library"),
                                QStringLiteral("All Selections (0)"),
                                QStringLiteral("#Groups"),
                                QStringLiteral("+New Group…"),
                                QStringLiteral("#Sources"),
                                QStringLiteral("Nothing captured yet"),
                                QStringLiteral("Local library ready")};
    struct Case {
        const char* name;
        QByteArray file; // the library on disk, when it matters
        std::function<void(Store&, TemporaryLibrary&)> fill;
        QStringList expected;
    };
    const Case cases[] = {
        {"empty",
         {},
         [](Store&, TemporaryLibrary&) {},
         QStringList{QStringLiteral("#Prompt"), QStringLiteral("+New Prompt…")} + emptyTail},
        {"three drafts, the second active: it heads the section, the others follow in store order",
         {},
         [](Store& store, TemporaryLibrary&) {
             store.add(capture(QStringLiteral("Notes")));
             const QUuid b = store.selections().first().id;
             store.newDraft(QStringLiteral("One"));
             const QUuid second = store.newDraft(QStringLiteral("Two"))->id;
             store.addSelectionsToActiveDraft({b});
             store.newDraft(QStringLiteral("Three"));
             store.activateDraft(second);
         },
         {QStringLiteral("#Prompt"), QStringLiteral("Two (1)"), QStringLiteral("One (0)"), QStringLiteral("Three (0)"),
          QStringLiteral("+New Prompt…"), QStringLiteral("~Assemble sources into a prompt"), QStringLiteral("#Library"),
          QStringLiteral("All Selections (1)"), QStringLiteral("#Groups"), QStringLiteral("+New Group…"),
          QStringLiteral("#Sources"), QStringLiteral("Notes/Notes (1)"), QStringLiteral("Local library ready")}},
        {"a prompt counts its included sources only, the active one and the others alike",
         {},
         [](Store& store, TemporaryLibrary&) {
             store.add(capture(QStringLiteral("Notes")));
             store.add(capture(QStringLiteral("Mail")));
             const QSet<QUuid> both{store.selections()[0].id, store.selections()[1].id};
             const QUuid other = store.newDraft(QStringLiteral("Other"))->id;
             store.addSelectionsToActiveDraft(both);
             const QUuid active = store.newDraft(QStringLiteral("Active"))->id;
             store.addSelectionsToActiveDraft(both);
             for (const QUuid& id : {other, active}) {
                 ContextDraft draft = *store.findDraft(id);
                 draft.entries[0].include = false;
                 store.updateDraft(draft);
             }
         },
         {QStringLiteral("#Prompt"), QStringLiteral("Active (1)"), QStringLiteral("Other (1)"),
          QStringLiteral("+New Prompt…"), QStringLiteral("~Assemble sources into a prompt"), QStringLiteral("#Library"),
          QStringLiteral("All Selections (2)"), QStringLiteral("#Groups"), QStringLiteral("+New Group…"),
          QStringLiteral("#Sources"), QStringLiteral("Mail/Mail (1)"), QStringLiteral("Notes/Notes (1)"),
          QStringLiteral("Local library ready")}},
        {"groups: an empty one counts 0; a capture in two groups counts in each and once in the library; one "
         "page from two browsers is one source named by its newest capture",
         {},
         [](Store& store, TemporaryLibrary&) {
             store.addGroup(QStringLiteral("Empty"), QStringLiteral("#000000"));
             const QUuid a = store.addGroup(QStringLiteral("A"), QStringLiteral("#000000"))->id;
             const QUuid b = store.addGroup(QStringLiteral("B"), QStringLiteral("nope"))->id;
             const QString page = QStringLiteral("https://a.example/page");
             store.add(capture(QStringLiteral("Firefox"), page, {}, {a, b}));
             store.add(capture(QStringLiteral("Chromium"), page));
             store.add(capture(QStringLiteral("Writer"), {}, QStringLiteral("/home/u/b.odt"), {a}));
         },
         {QStringLiteral("#Prompt"), QStringLiteral("+New Prompt…"), QStringLiteral("#Library"),
          QStringLiteral("All Selections (3)"), QStringLiteral("#Groups"), QStringLiteral("Empty (0)"),
          QStringLiteral("A (2)"), QStringLiteral("B (1)"), QStringLiteral("+New Group…"),
          QStringLiteral("~Organize selections manually"), QStringLiteral("#Sources"),
          QStringLiteral("Writer//home/u/b.odt (1)"), QStringLiteral("Chromium/https://a.example/page (2)"),
          QStringLiteral("Local library ready")}},
        {"a save that failed asks for attention",
         {},
         [](Store& store, TemporaryLibrary& library) {
             library.files.fail(FaultyFileSystem::Operation::write);
             store.add(capture(QStringLiteral("Notes")));
             library.settle();
         },
         {QStringLiteral("#Prompt"), QStringLiteral("+New Prompt…"), QStringLiteral("#Library"),
          QStringLiteral("All Selections (1)"), QStringLiteral("#Groups"), QStringLiteral("+New Group…"),
          QStringLiteral("#Sources"), QStringLiteral("Notes/Notes (1)"),
          QStringLiteral("Library status needs attention")}},
        {"an unreadable library: the buttons are off",
         "not a library",
         [](Store&, TemporaryLibrary&) {},
         {QStringLiteral("#Prompt"), QStringLiteral("+New Prompt… [off]"), QStringLiteral("#Library"),
          QStringLiteral("All Selections (0)"), QStringLiteral("#Groups"), QStringLiteral("+New Group… [off]"),
          QStringLiteral("#Sources"), QStringLiteral("Nothing captured yet"),
          QStringLiteral("Library status needs attention")}},
    };
    for (const Case& c : cases) {
        TemporaryLibrary library;
        if (!c.file.isEmpty())
            library.writeAll(library.libraryPath, c.file);
        auto store = library.open();
        SidebarModel model(*store);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
        c.fill(*store, library);
        EXPECT_EQ(rows(model), c.expected) << c.name;
        SidebarModel fresh(*store);
        EXPECT_EQ(rows(fresh), c.expected) << c.name << ": made at once";
    }
}

// A keystroke in a prompt changes the draft, mostly in what no row shows: those changes leave the
// rows alone (no update to repaint), and the rest show as a model made afresh shows them.
TEST(SidebarModel, APromptsRowsFollowOnlyWhatTheyShow)
{
    TemporaryLibrary library;
    auto store = library.open();
    store->add(capture(QStringLiteral("Notes")));
    store->add(capture(QStringLiteral("Mail")));
    const QUuid other = store->newDraft(QStringLiteral("Other"))->id;
    const QUuid active = store->newDraft(QStringLiteral("Active"))->id;
    store->addSelectionsToActiveDraft({store->selections()[0].id, store->selections()[1].id});
    SidebarModel model(*store);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    const struct {
        const char* name;
        QUuid draft;
        std::function<void(ContextDraft&)> edit;
        bool shows;
    } edits[] = {
        {"a character typed in the task", active, [](ContextDraft& d) { d.task += u'x'; }, false},
        {"a note typed", active, [](ContextDraft& d) { d.entries[0].note = QStringLiteral("n"); }, false},
        {"the preview edited", active, [](ContextDraft& d) { d.previewText = QStringLiteral("p"); }, false},
        {"the layout chosen", active, [](ContextDraft& d) { d.templateName = QStringLiteral("Plain"); }, false},
        {"a source pinned", active, [](ContextDraft& d) { d.entries[1].pin = true; }, false},
        {"a source excluded", active, [](ContextDraft& d) { d.entries[0].include = false; }, true},
        {"the active prompt renamed", active, [](ContextDraft& d) { d.name = QStringLiteral("Renamed"); }, true},
        {"another prompt renamed", other, [](ContextDraft& d) { d.name = QStringLiteral("Else"); }, true},
        {"another prompt's task typed", other, [](ContextDraft& d) { d.task = QStringLiteral("t"); }, false},
    };
    for (const auto& e : edits) {
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy removed(&model, &QAbstractItemModel::rowsRemoved);
        ContextDraft draft = *store->findDraft(e.draft);
        e.edit(draft);
        store->updateDraft(draft);
        EXPECT_EQ(changed.count() + inserted.count() + removed.count() > 0, e.shows) << e.name;
        SidebarModel fresh(*store);
        EXPECT_EQ(rows(model), rows(fresh)) << e.name;
    }
    EXPECT_EQ(rows(model).mid(0, 3),
              (QStringList{QStringLiteral("#Prompt"), QStringLiteral("Renamed (1)"), QStringLiteral("Else (0)")}));
}

// The counts follow every kind of change the library allows, row by row and never by a reset, and
// agree with the library's own aggregation of its sources (texts that differ only in case or in
// their Unicode form included) and with its groups.
TEST(SidebarModel, CountsFollowEveryChange)
{
    TemporaryLibrary library;
    auto store = library.open();
    SidebarModel model(*store);
    QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
    QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
    QRandomGenerator random(11);
    const QStringList apps{QStringLiteral("Notes"), QStringLiteral("notes"), QStringLiteral("Caf\u00E9"),
                           QStringLiteral("Cafe\u0301"), QStringLiteral("Terminal")};
    const auto any = [&] { return store->selections()[qsizetype(random.bounded(int(store->selections().size())))].id; };
    QList<QUuid> groups;
    for (int step = 0; step < 300; ++step) {
        switch (store->selections().size() < 4 ? 0 : random.bounded(7)) {
        case 0:
        case 1: {
            std::optional<QString> url, path;
            if (random.bounded(3) == 0)
                url = QStringLiteral("https://site.example/") + QString::number(random.bounded(3));
            else if (random.bounded(3) == 0)
                path = QStringLiteral("/home/u/doc") + QString::number(random.bounded(3));
            QList<QUuid> in;
            if (!groups.isEmpty() && random.bounded(3) == 0)
                in.append(groups[int(random.bounded(groups.size()))]);
            store->add(capture(apps[int(random.bounded(apps.size()))], url, path, in));
            break;
        }
        case 2: store->remove(QSet<QUuid>{any(), any(), any()}); break;
        case 3:
            if (groups.size() < 3)
                groups.append(store->addGroup(QStringLiteral("G%1").arg(step), QStringLiteral("#000000"))->id);
            break;
        case 4:
            if (!groups.isEmpty())
                store->addToGroup(groups[int(random.bounded(groups.size()))], {any(), any()});
            break;
        case 5:
            if (!groups.isEmpty())
                store->removeFromGroups({groups[int(random.bounded(groups.size()))]}, {any()});
            break;
        case 6:
            if (!groups.isEmpty() && random.bounded(4) == 0)
                store->deleteGroup(groups.takeAt(int(random.bounded(groups.size()))));
            break;
        }

        QList<SourceAggregate> shown;
        QHash<QUuid, int> groupCounts;
        for (int row = 0; row < model.rowCount(); ++row) {
            if (const std::optional<SourceIdentity> identity = model.sourceIdentity(row)) {
                const QList<QUuid> ids = model.selectionIDs(row);
                shown.append({*identity, ids.size(), ids});
                EXPECT_EQ(model.index(row).data(SidebarModel::CountRole).toInt(), ids.size());
            } else if (const std::optional<SelectionGroup> group = model.group(row)) {
                groupCounts.insert(group->id, model.index(row).data(SidebarModel::CountRole).toInt());
            }
        }
        ASSERT_EQ(shown, store->sourceAggregates()) << "step " << step;
        for (const SelectionGroup& group : store->groups())
            ASSERT_EQ(groupCounts.value(group.id), store->selections(group.id).size()) << "step " << step;
        ASSERT_EQ(model.index(model.rowOf(SidebarItem::allSelections())).data(SidebarModel::CountRole).toInt(),
                  store->selections().size());
    }
    EXPECT_EQ(resets.count(), 0);
}

// The rows that drag carry all their captures; the targets a navigation names are found by id.
TEST(SidebarModel, DragTextsAndTargets)
{
    TemporaryLibrary library;
    auto store = library.open();
    const QUuid empty = store->addGroup(QStringLiteral("Empty"), QStringLiteral("#000000"))->id;
    const QUuid full = store->addGroup(QStringLiteral("Full"), QStringLiteral("#000000"))->id;
    const Selection a = capture(QStringLiteral("Firefox"), QStringLiteral("https://a.example/"), {}, {full});
    const Selection b = capture(QStringLiteral("Chromium"), QStringLiteral("https://a.example/"), {}, {full});
    store->add(a);
    store->add(b);
    store->newDraft();
    SidebarModel model(*store);

    const int emptyRow = model.rowOf(SidebarItem::group(empty));
    EXPECT_TRUE(model.hasDragGrip(emptyRow));
    EXPECT_EQ(model.dragPayload(emptyRow), QStringLiteral("vellicordsel:"));
    EXPECT_EQ(SelectionDragIDs::ids(model.dragPayload(model.rowOf(SidebarItem::group(full)))),
              (QSet<QUuid>{a.id, b.id}));
    // The source's row is found under either browser's identity: the identifier decides.
    const int sourceRow = model.rowOf(SidebarItem::source(a.sourceIdentity()));
    EXPECT_EQ(sourceRow, model.rowOf(SidebarItem::source(b.sourceIdentity())));
    EXPECT_EQ(model.item(sourceRow), SidebarItem::source(b.sourceIdentity())) << "the newest capture names it";
    EXPECT_EQ(SelectionDragIDs::ids(model.dragPayload(sourceRow)), (QSet<QUuid>{a.id, b.id}));

    struct Case {
        SidebarItem item;
        bool found, dropTarget, grip;
    };
    const Case cases[] = {
        {SidebarItem::prompt(), true, true, false},
        {SidebarItem::allSelections(), true, false, false},
        {SidebarItem::group(full), true, true, true},
        {SidebarItem::source(a.sourceIdentity()), true, false, true},
        {SidebarItem::draft(store->activeDraftID().value()), false, false, false}, // the active draft heads the section
        {SidebarItem::group(QUuid::createUuid()), false, false, false},
    };
    for (const Case& c : cases) {
        const int row = model.rowOf(c.item);
        EXPECT_EQ(row >= 0, c.found) << qPrintable(c.item.id());
        EXPECT_EQ(model.isDropTarget(row), c.dropTarget) << qPrintable(c.item.id());
        EXPECT_EQ(model.hasDragGrip(row), c.grip) << qPrintable(c.item.id());
    }
}

// A large library's sources are counted on another thread: the sidebar has its other rows at once,
// and the sources and group counts come in later as inserted and changed rows, the changes made
// meanwhile included, never by a reset.
TEST(SidebarModel, LargeLibraryCountedAside)
{
    struct Case {
        const char* name;
        std::function<void(Store&, const QUuid& group)> change;
    };
    const auto newest = [](const Store& store, int count) {
        QSet<QUuid> ids;
        for (int i = 0; i < count; ++i)
            ids.insert(store.selections()[i].id);
        return ids;
    };
    const Case cases[] = {
        {"no change", [](Store&, const QUuid&) {}},
        {"captures added",
         [](Store& store, const QUuid& group) {
             store.add(capture(QStringLiteral("Newcomer")));
             store.add(capture(QStringLiteral("App 3"), {}, {}, {group}));
         }},
        {"newest captures removed", [&](Store& store, const QUuid&) { store.remove(newest(store, 40)); }},
        {"group filled and emptied",
         [&](Store& store, const QUuid& group) {
             store.addToGroup(group, newest(store, 300));
             store.removeFromGroups({group}, newest(store, 7));
         }},
        {"group deleted", [](Store& store, const QUuid& group) { store.deleteGroup(group); }},
    };
    for (const Case& c : cases) {
        TemporaryLibrary library;
        StoreSnapshot snapshot;
        snapshot.version = StoreSnapshot::currentVersion;
        const SelectionGroup group{QUuid::createUuid(), QStringLiteral("G"), QStringLiteral("#000000"),
                                   QDateTime::fromSecsSinceEpoch(1'700'000'000, Qt::UTC)};
        snapshot.groups.append(group);
        QList<Selection> captures;
        for (int n = 0; n < int(SidebarModel::backgroundCountThreshold) + 50; ++n) {
            const QString app = QStringLiteral("App %1").arg(n % 7);
            std::optional<QString> url;
            if (n % 5 == 0)
                url = QStringLiteral("https://site.example/") + QString::number(n % 3);
            captures.append(capture(app, url, {}, n % 3 == 0 ? QList<QUuid>{group.id} : QList<QUuid>{}));
        }
        snapshot.selections = SelectionList(captures);
        TemporaryLibrary::writeAll(library.libraryPath, StorePersistence::encode(snapshot));
        auto store = library.open();
        ASSERT_EQ(store->selections().size(), captures.size()) << c.name;

        SidebarModel model(*store);
        QAbstractItemModelTester tester(&model, QAbstractItemModelTester::FailureReportingMode::Warning);
        QSignalSpy resets(&model, &QAbstractItemModel::modelReset);
        QSignalSpy counted(&model, &SidebarModel::counted);
        EXPECT_FALSE(model.isCounted()) << c.name;
        EXPECT_FALSE(model.index(model.rowOf(SidebarItem::group(group.id))).data(SidebarModel::CountRole).isValid())
            << c.name;
        for (int row = 0; row < model.rowCount(); ++row) {
            EXPECT_NE(model.kind(row), Kind::source) << c.name;
            EXPECT_NE(model.kind(row), Kind::noSources) << c.name;
        }

        c.change(*store, group.id);
        EXPECT_FALSE(model.isCounted()) << "counting waits until it is asked for, " << c.name;
        model.startCounting();
        ASSERT_TRUE(counted.wait(20000)) << c.name;
        EXPECT_TRUE(model.isCounted()) << c.name;

        QList<SourceAggregate> shown;
        for (int row = 0; row < model.rowCount(); ++row) {
            if (const std::optional<SourceIdentity> identity = model.sourceIdentity(row)) {
                const QList<QUuid> ids = model.selectionIDs(row);
                shown.append({*identity, ids.size(), ids});
                EXPECT_EQ(model.index(row).data(SidebarModel::CountRole).toInt(), ids.size()) << c.name;
            }
        }
        EXPECT_EQ(shown, store->sourceAggregates()) << c.name;
        for (const SelectionGroup& g : store->groups())
            EXPECT_EQ(model.index(model.rowOf(SidebarItem::group(g.id))).data(SidebarModel::CountRole).toInt(),
                      store->selections(g.id).size())
                << c.name;
        EXPECT_EQ(resets.count(), 0) << c.name;
    }
}

} // namespace
