#include "Tovak/library/CaptureIndex.h"

#include "core/foundation/Text.h"
#include "core/library/SortMode.h"
#include "core/library/SourceIdentity.h"
#include "support/TemporaryLibrary.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

using namespace vellicord;

namespace {

// What the window shows, computed the plain way: the scope's captures, those matching the query,
// sorted by the mode.
QList<QUuid> reference(const Store& store, const SidebarItem& scope, const QString& query, SortMode mode)
{
    QList<Selection> kept;
    for (const Selection& s : store.selections()) {
        if (const auto* group = scope.as<SidebarItem::Group>(); group && !s.groupIDs.contains(group->id))
            continue;
        // One source for canonically equal identifiers, as the sidebar counts it.
        if (const auto* source = scope.as<SidebarItem::Source>();
            source && !Text::equal(SourceIdentity::from(s).identifier, source->identity.identifier))
            continue;
        if (SortModes::matches(query, s))
            kept.append(s);
    }
    QList<QUuid> ids;
    for (const Selection& s : SortModes::sort(mode, kept))
        ids.append(s.id);
    return ids;
}

QList<QUuid> ids(const CaptureIndex& index, const std::vector<CaptureIndex::Slot>& slots)
{
    QList<QUuid> result;
    for (CaptureIndex::Slot slot : slots)
        result.append(index.id(slot));
    return result;
}

// The index follows a library that changes in every way the store allows, and agrees with the plain
// derivation for every order, scope and query after each change. Names that differ only in case
// are left out: there the library's own sort keeps input order, which a filtered list may not.
TEST(CaptureIndex, AgreesWithThePlainDerivationThroughChanges)
{
    TemporaryLibrary library;
    auto store = library.open();
    QRandomGenerator random(5);
    const QStringList apps{QStringLiteral("Firefox"), QStringLiteral("Terminal"), QStringLiteral("Caf\u00E9"),
                           QStringLiteral("Cafe\u0301"), QStringLiteral("Notes")};
    const QStringList words{QStringLiteral("alpha"), QStringLiteral("beta"), QStringLiteral("gamma"),
                            QStringLiteral("\u00C9t\u00E9"), QStringLiteral("delta")};
    const auto text = [&] {
        QString t;
        for (int n = int(random.bounded(1, 4)); n > 0; --n)
            t += words[int(random.bounded(words.size()))] + QChar(random.bounded(4) == 0 ? u'\n' : u' ');
        return t;
    };
    for (int i = 0; i < 30; ++i) {
        store->add(Selection(QUuid::createUuid(), text(), std::nullopt, apps[int(random.bounded(apps.size()))],
                             std::nullopt, std::nullopt, std::nullopt, std::nullopt, {},
                             QDateTime::fromSecsSinceEpoch(1'700'000'000 + random.bounded(20), Qt::UTC)));
    }
    const auto group = store->addGroup(QStringLiteral("G"), QStringLiteral("#000000"));

    CaptureIndex index(*store);
    QObject::connect(store.get(), &Store::selectionsChanged, [&](const Store::SelectionsChange& c) { index.apply(c); });

    const QStringList queries{QString(),
                              QStringLiteral("a"),
                              QStringLiteral("al"),
                              QStringLiteral("alpha"),
                              QStringLiteral("\u00E9t\u00E9"),
                              QStringLiteral("ta b"),
                              QStringLiteral("zz")};
    for (int step = 0; step < 150; ++step) {
        const SelectionList& all = store->selections();
        const auto any = [&] { return all[qsizetype(random.bounded(int(all.size())))]; };
        switch (random.bounded(5)) {
        case 0:
        case 1: {
            std::optional<QString> url, path;
            if (random.bounded(3) == 0)
                url = QStringLiteral("https://site.example/") + QString::number(random.bounded(4));
            else if (random.bounded(3) == 0)
                path = QStringLiteral("/home/u/doc") + QString::number(random.bounded(4));
            // Times repeat on purpose: ties keep the library's order.
            store->add(Selection(QUuid::createUuid(), text(), std::nullopt, apps[int(random.bounded(apps.size()))],
                                 std::nullopt, url, std::nullopt, path, {},
                                 QDateTime::fromSecsSinceEpoch(1'700'000'000 + random.bounded(20), Qt::UTC)));
            break;
        }
        case 2:
            if (all.size() > 5)
                store->remove(QSet<QUuid>{any().id, any().id});
            break;
        case 3: store->addToGroup(group->id, {any().id, any().id}); break;
        case 4: store->removeFromGroups({group->id}, {any().id}); break;
        }
        const Selection sample = store->selections()[qsizetype(random.bounded(int(store->selections().size())))];
        const SidebarItem scopes[] = {SidebarItem::allSelections(), SidebarItem::group(group->id),
                                      SidebarItem::source(SourceIdentity::from(sample)), SidebarItem::prompt()};
        const SidebarItem& scope = scopes[random.bounded(4)];
        // No search for a while: the changes wait for the search index, which is started part way
        // and made while more come.
        if (step == 10)
            index.prepareSearch();
        const QString& query = step < 20 ? queries.first() : queries[qsizetype(random.bounded(int(queries.size())))];
        for (SortMode mode : SortModes::allCases()) {
            ASSERT_EQ(ids(index, index.visible(scope, query, mode)), reference(*store, scope, query, mode))
                << "step " << step << ", " << qPrintable(SortModes::rawValue(mode)) << ", scope "
                << qPrintable(scope.id()) << ", query \"" << qPrintable(query) << "\"";
        }
    }
}

// Deleting most of a large library numbers the slots anew, and the lists stay right.
TEST(CaptureIndex, ManyDeletionsRenumberTheSlots)
{
    TemporaryLibrary library;
    auto store = library.open();
    for (int i = 0; i < 10000; ++i) {
        store->add(Selection(QUuid::createUuid(), QStringLiteral("capture %1").arg(i), std::nullopt,
                             QStringLiteral("App"), std::nullopt, std::nullopt, std::nullopt, std::nullopt, {},
                             QDateTime::fromSecsSinceEpoch(1'700'000'000 + i, Qt::UTC)));
    }
    CaptureIndex index(*store);
    QObject::connect(store.get(), &Store::selectionsChanged, [&](const Store::SelectionsChange& c) { index.apply(c); });
    const int generation = index.generation();
    ASSERT_EQ(index.visible(SidebarItem::allSelections(), QStringLiteral("capture 99"), SortMode::oldestFirst).size(),
              111u);
    QSet<QUuid> doomed;
    for (qsizetype i = 0; i < 7000; ++i)
        doomed.insert(store->selections()[i].id);
    store->remove(doomed);
    EXPECT_GT(index.generation(), generation);
    EXPECT_EQ(index.slotCount(), 3000u);
    const auto kept = index.visible(SidebarItem::allSelections(), QStringLiteral("capture 99"), SortMode::oldestFirst);
    EXPECT_EQ(ids(index, kept),
              reference(*store, SidebarItem::allSelections(), QStringLiteral("capture 99"), SortMode::oldestFirst));
}

} // namespace
