#include "core/library/DraftEntryEdits.h"

#include "support/Records.h"

#include <QStringList>

#include <gtest/gtest.h>

#include <functional>

using namespace vellicord;
using test::uuid;

namespace {

// e1 to e4 name the captures 11 to 14; e2 is excluded, e3 pinned, e4 carries a note.
ContextDraft draft()
{
    ContextDraft d{uuid(100),
                   QStringLiteral("Prompt"),
                   QString(),
                   QStringLiteral("Sections"),
                   QStringLiteral("gpt-4o"),
                   test::at(10),
                   test::at(20),
                   {},
                   std::nullopt};
    d.entries = {
        {uuid(1), uuid(11), true, false, false, std::nullopt, std::nullopt},
        {uuid(2), uuid(12), false, false, false, std::nullopt, std::nullopt},
        {uuid(3), uuid(13), true, true, false, std::nullopt, std::nullopt},
        {uuid(4), uuid(14), true, false, false, QStringLiteral("keep"), QStringLiteral("trimmed")},
    };
    return d;
}

// "e2x": entry 2 excluded; p pinned, v verbatim, [note]; "+99": a new entry for capture 99.
QString describe(const ContextDraft& d)
{
    QStringList parts;
    for (const ContextDraftEntry& e : d.entries) {
        int capture = 0;
        while (capture < 200 && e.selectionID != uuid(capture))
            ++capture;
        const bool original = capture > 10 && capture <= 14 && e.id == uuid(capture - 10);
        QString part = original ? QStringLiteral("e%1").arg(capture - 10) : QStringLiteral("+%1").arg(capture);
        part += QString(e.include ? "" : "x") + (e.pin ? "p" : "") + (e.verbatim ? "v" : "");
        if (e.note)
            part += u'[' + *e.note + u']';
        parts.append(part);
    }
    return parts.join(u' ');
}

TEST(DraftEntryEdits, EachEditFindsItsEntryByIdAndLeavesTheRest)
{
    using namespace DraftEntryEdits;
    const QUuid missing = uuid(77);
    const struct {
        const char* name;
        std::function<ContextDraft(ContextDraft)> edit;
        const char* expected;
    } cases[] = {
        {"unchanged", [](ContextDraft d) { return d; }, "e1 e2x e3p e4[keep]"},
        {"exclude", [](ContextDraft d) { return toggleInclude(d, uuid(1)); }, "e1x e2x e3p e4[keep]"},
        {"include", [](ContextDraft d) { return toggleInclude(d, uuid(2)); }, "e1 e2 e3p e4[keep]"},
        {"include twice", [](ContextDraft d) { return toggleInclude(toggleInclude(d, uuid(2)), uuid(2)); },
         "e1 e2x e3p e4[keep]"},
        {"unpin", [](ContextDraft d) { return togglePin(d, uuid(3)); }, "e1 e2x e3 e4[keep]"},
        {"verbatim", [](ContextDraft d) { return toggleVerbatim(d, uuid(4)); }, "e1 e2x e3p e4v[keep]"},
        {"toggle a missing entry", [&](ContextDraft d) { return togglePin(d, missing); }, "e1 e2x e3p e4[keep]"},
        {"move up", [](ContextDraft d) { return move(d, uuid(2), -1); }, "e2x e1 e3p e4[keep]"},
        {"move down", [](ContextDraft d) { return move(d, uuid(2), +1); }, "e1 e3p e2x e4[keep]"},
        {"move the first up", [](ContextDraft d) { return move(d, uuid(1), -1); }, "e1 e2x e3p e4[keep]"},
        {"move the last down", [](ContextDraft d) { return move(d, uuid(4), +1); }, "e1 e2x e3p e4[keep]"},
        {"move a missing entry", [&](ContextDraft d) { return move(d, missing, +1); }, "e1 e2x e3p e4[keep]"},
        {"drag e1 onto e3", [](ContextDraft d) { return moveEntry(d, uuid(1), uuid(3)); }, "e2x e3p e1 e4[keep]"},
        {"drag e4 onto e2", [](ContextDraft d) { return moveEntry(d, uuid(4), uuid(2)); }, "e1 e4[keep] e2x e3p"},
        {"drag e2 onto e4", [](ContextDraft d) { return moveEntry(d, uuid(2), uuid(4)); }, "e1 e3p e4[keep] e2x"},
        {"drag e3 onto e1", [](ContextDraft d) { return moveEntry(d, uuid(3), uuid(1)); }, "e3p e1 e2x e4[keep]"},
        {"drag onto itself", [](ContextDraft d) { return moveEntry(d, uuid(3), uuid(3)); }, "e1 e2x e3p e4[keep]"},
        {"drag a missing entry", [&](ContextDraft d) { return moveEntry(d, missing, uuid(1)); }, "e1 e2x e3p e4[keep]"},
        {"drag onto a missing entry", [&](ContextDraft d) { return moveEntry(d, uuid(1), missing); },
         "e1 e2x e3p e4[keep]"},
        {"remove", [](ContextDraft d) { return remove(d, uuid(2)); }, "e1 e3p e4[keep]"},
        {"remove a missing entry", [&](ContextDraft d) { return remove(d, missing); }, "e1 e2x e3p e4[keep]"},
        {"note", [](ContextDraft d) { return setNote(d, uuid(1), QStringLiteral("  see §2 \n")); },
         "e1[  see §2 \n] e2x e3p e4[keep]"},
        {"blank note", [](ContextDraft d) { return setNote(d, uuid(4), QStringLiteral(" \n\t\u00A0")); },
         "e1 e2x e3p e4"},
        {"empty note", [](ContextDraft d) { return setNote(d, uuid(4), QString()); }, "e1 e2x e3p e4"},
        {"note on a missing entry", [&](ContextDraft d) { return setNote(d, missing, QStringLiteral("x")); },
         "e1 e2x e3p e4[keep]"},
        {"add a capture", [](ContextDraft d) { return addToDraft(d, uuid(99)); }, "e1 e2x e3p e4[keep] +99"},
        {"add a capture already there", [](ContextDraft d) { return addToDraft(d, uuid(12)); }, "e1 e2x e3p e4[keep]"},
        {"add several, some there or twice",
         [](ContextDraft d) {
             return addToDraft(d, QList<QUuid>{uuid(99), uuid(12), uuid(98), uuid(99)});
         },
         "e1 e2x e3p e4[keep] +99 +98"},
        {"remove entries",
         [&](ContextDraft d) {
             return removeEntries(d, {uuid(1), uuid(3), missing});
         },
         "e2x e4[keep]"},
        {"remove excluded", [](ContextDraft d) { return removeExcluded(d); }, "e1 e3p e4[keep]"},
        {"remove excluded, none left", [](ContextDraft d) { return removeExcluded(removeExcluded(d)); },
         "e1 e3p e4[keep]"},
    };
    for (const auto& c : cases) {
        const ContextDraft before = draft();
        const ContextDraft after = c.edit(before);
        EXPECT_EQ(describe(after), QString::fromUtf8(c.expected)) << c.name;
        // Nothing but the entries changes; the store stamps the time.
        EXPECT_EQ(after.updatedAt, before.updatedAt) << c.name;
        EXPECT_EQ(after.name, before.name) << c.name;
    }

    const ContextDraft added = DraftEntryEdits::addToDraft(draft(), uuid(99));
    EXPECT_EQ(added.entries.last(),
              (ContextDraftEntry{added.entries.last().id, uuid(99), true, false, false, std::nullopt, std::nullopt}));
    EXPECT_FALSE(added.entries.last().id.isNull());
    EXPECT_EQ(added.entries.last().customText, std::nullopt);
    EXPECT_EQ(DraftEntryEdits::toggleInclude(draft(), uuid(4)).entries[3].customText, QStringLiteral("trimmed"));
}

TEST(DraftEntryEdits, NotesReadEmptyAndDropsOntoThemselvesMoveNothing)
{
    const struct {
        QUuid entry;
        const char* note;
    } notes[] = {{uuid(4), "keep"}, {uuid(1), ""}, {uuid(77), ""}};
    for (const auto& c : notes)
        EXPECT_EQ(DraftEntryEdits::note(draft(), c.entry), QString::fromUtf8(c.note)) << c.note;

    const struct {
        std::optional<QUuid> dragged;
        QUuid target;
        bool moves;
    } drops[] = {
        {std::nullopt, uuid(1), false}, {uuid(1), uuid(1), false}, {uuid(1), uuid(2), true}, {uuid(77), uuid(2), true}};
    for (const auto& c : drops)
        EXPECT_EQ(DraftEntryEdits::dropMoves(c.dragged, c.target), c.moves);
}

} // namespace
