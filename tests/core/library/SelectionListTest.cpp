#include "core/library/SelectionList.h"

#include "support/Records.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

#include <functional>

using namespace vellicord;

namespace {

QList<int> numbersOf(const SelectionList& list)
{
    QList<int> numbers;
    for (const Selection& s : list)
        numbers.append(s.text.toString().toInt());
    return numbers;
}

Selection numbered(int n)
{
    return test::capture({.text = QString::number(n), .id = n});
}

// Every operation agrees with a plain list through a long random run, across chunk boundaries,
// and every chunk stays neither empty nor overfull; a copy taken now and then (a save's snapshot)
// keeps what it held, whether the changes after it share its chunks or not.
TEST(SelectionListTest, AgreesWithAPlainList)
{
    QRandomGenerator random(5);
    SelectionList list;
    QList<Selection> plain;
    SelectionList held;
    QList<Selection> heldPlain;
    int next = 0;
    for (int step = 0; step < 3000; ++step) {
        if (step % 97 == 0) {
            ASSERT_TRUE(held.toList() == heldPlain) << step;
            held = step % 2 == 0 ? list : SelectionList();
            heldPlain = held.toList();
        }
        const int what = int(random.bounded(10));
        if (what < 4) {
            list.prepend(numbered(next));
            plain.prepend(numbered(next++));
        } else if (what < 6) {
            list.append(numbered(next));
            plain.append(numbered(next++));
        } else if (what < 8 && !plain.isEmpty()) {
            std::vector<qsizetype> indices;
            for (qsizetype i = 0; i < plain.size(); ++i) {
                if (random.bounded(what == 6 ? 3 : 40) == 0)
                    indices.push_back(i);
            }
            list.removeAt(indices);
            for (auto it = indices.rbegin(); it != indices.rend(); ++it)
                plain.removeAt(*it);
        } else if (!plain.isEmpty()) {
            const qsizetype at = qsizetype(random.bounded(int(plain.size())));
            list[at].groupIDs.append(test::uuid(step));
            plain[at].groupIDs.append(test::uuid(step));
        }
        ASSERT_EQ(list.size(), plain.size()) << step;
        ASSERT_TRUE(list.toList() == plain) << step;
        for (qsizetype c = 0; c < list.chunkCount(); ++c) {
            ASSERT_GT(list.chunk(c).size(), 0) << step;
            ASSERT_LE(list.chunk(c).size(), SelectionList::chunkCapacity) << step;
            ASSERT_EQ(list.chunkOf(list.chunkStart(c)), c) << step;
        }
        if (!plain.isEmpty()) {
            const qsizetype at = qsizetype(random.bounded(int(plain.size())));
            ASSERT_EQ(list.at(at), plain.at(at)) << step;
        }
    }
}

// A copy (a save's snapshot) keeps what it held whatever the list does next, and each change
// copies only the chunks it touches: the others stay shared with the copy.
TEST(SelectionListTest, ChangesCopyOnlyWhatTheyTouch)
{
    const qsizetype n = 10 * SelectionList::chunkCapacity;
    QList<Selection> plain;
    for (int i = 0; i < n; ++i)
        plain.append(numbered(i));
    struct Case {
        const char* name;
        std::function<void(SelectionList&)> change;
        qsizetype chunksCopied; // of the ten shared with the copy
    };
    const Case cases[] = {
        {"a capture put at the front of a full chunk", [](SelectionList& l) { l.prepend(numbered(-1)); }, 0},
        {"one capture changed",
         [](SelectionList& l) { l[5 * SelectionList::chunkCapacity + 3].groupIDs.append(test::uuid(1)); }, 1},
        {"one capture removed", [](SelectionList& l) { l.removeAt({7}); }, 1},
        {"captures removed from two chunks",
         [](SelectionList& l) {
             l.removeAt({3, 2 * SelectionList::chunkCapacity});
         },
         2},
        {"nothing removed", [](SelectionList& l) { l.removeAt({}); }, 0},
        {"read only", [](SelectionList& l) { (void)std::as_const(l).at(9); }, 0},
    };
    for (const Case& c : cases) {
        SelectionList list(plain);
        const SelectionList snapshot = list;
        c.change(list);
        EXPECT_TRUE(snapshot.toList() == plain) << c.name;
        qsizetype shared = 0;
        for (qsizetype a = 0; a < list.chunkCount(); ++a) {
            for (qsizetype b = 0; b < snapshot.chunkCount(); ++b)
                shared += list.chunk(a).constData() == snapshot.chunk(b).constData() ? 1 : 0;
        }
        EXPECT_EQ(snapshot.chunkCount() - shared, c.chunksCopied) << c.name;
    }
    EXPECT_EQ(numbersOf(SelectionList::fromChunks({{}, plain.mid(0, 3), {}, plain.mid(3, 600)})),
              numbersOf(SelectionList(plain.mid(0, 603))));
}

} // namespace
