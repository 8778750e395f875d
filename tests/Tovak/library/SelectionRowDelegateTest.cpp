#include "Tovak/library/SelectionRowDelegate.h"

#include "Tovak/kit/OffscreenRenderer.h"
#include "Tovak/kit/Theme.h"
#include "Tovak/library/ContentViewState.h"
#include "Tovak/library/IconCache.h"
#include "Tovak/library/LibrarySelectionList.h"
#include "support/ViewFakes.h"

#include <QDir>
#include <QTest>

#include <gtest/gtest.h>

using namespace vellicord;

namespace {

// A list of four captures (newest first): a one-line headline, a two-line one in three groups (one
// of them blue, as the selection is), a blank one and one from an application found nowhere.
struct Rows : ViewFakes {
    std::unique_ptr<ContentViewState> state;
    std::unique_ptr<IconCache> icons;
    std::unique_ptr<LibrarySelectionList> list;
    QList<QUuid> ids;

    Rows()
    {
        const auto blue = store->addGroup(QStringLiteral("Infrastructure"), QStringLiteral("#245BD7"))->id;
        const auto orange = store->addGroup(QStringLiteral("Reading"), QStringLiteral("#FF9500"))->id;
        const auto green = store->addGroup(QStringLiteral("Later"), QStringLiteral("#34C759"))->id;
        struct Capture {
            QString text;
            std::optional<QString> url;
            QList<QUuid> groups;
        };
        const Capture captures[] = {
            {QStringLiteral("Old notes from a terminal"), std::nullopt, {}},
            {QStringLiteral("   "), std::nullopt, {}},
            {QStringLiteral("The dominant sequence transduction models are based on complex recurrent or "
                            "convolutional neural networks that include an encoder and a decoder"),
             QStringLiteral("https://arxiv.org/abs/1706.03762"),
             {blue, orange, green}},
            {QStringLiteral("git rebase -i HEAD~3"), std::nullopt, {blue}},
        };
        int hoursAgo = 4;
        for (const Capture& c : captures) {
            const Selection s(QUuid::createUuid(), c.text, std::nullopt, QStringLiteral("Terminal"), std::nullopt,
                              c.url, std::nullopt, std::nullopt, c.groups, time.now().addSecs(-3600 * hoursAgo--));
            store->add(s);
            ids.prepend(s.id);
        }
        state = std::make_unique<ContentViewState>(*store, time, time);
        icons = std::make_unique<IconCache>(desktop);
        list = std::make_unique<LibrarySelectionList>(*state, *icons, pasteboard, desktop);
        list->resize(380, 360);
        list->show();
        EXPECT_TRUE(QTest::qWaitForWindowExposed(list.get()));
    }
    QRect row(int r) const { return list->visualRect(list->model()->index(r, 0)); }
};

// Rows of one height, parted by a line that leaves the selection's own colour alone; drawn light
// and dark for whoever looks at them (VELLICORD_RENDER_DIR).
TEST(SelectionRowDelegate, RowsOfOneHeightPartedByLines)
{
    Rows rows;
    rows.state->selectInList({rows.ids[1]});
    const QString folder = qEnvironmentVariable("VELLICORD_RENDER_DIR");
    for (Appearance appearance : {Appearance::light, Appearance::dark}) {
        Theme::apply(*rows.list, appearance);
        const QImage image = OffscreenRenderer::render(*rows.list, rows.list->size(), 1.0);
        const QPoint viewport = rows.list->viewport()->mapTo(rows.list.get(), QPoint(0, 0));
        // Under the text column, the foot of each row against the row's own colour just above it.
        const auto parted = [&](int r) {
            const QRect rect = rows.row(r).translated(viewport);
            return image.pixelColor(rect.left() + 120, rect.bottom())
                != image.pixelColor(rect.left() + 120, rect.bottom() - 2);
        };
        struct Case {
            int row;
            bool line;
        };
        for (const Case c : {Case{0, false}, Case{1, false}, Case{2, true}, Case{3, false}}) {
            // Above the selection, under it and under the last row the line is left out.
            EXPECT_EQ(parted(c.row), c.line) << "row " << c.row << ", " << int(appearance);
        }
        for (int r = 1; r < 4; ++r)
            EXPECT_EQ(rows.row(r).height(), rows.row(0).height()) << "row " << r;
        if (!folder.isEmpty()) {
            QDir().mkpath(folder);
            image.save(
                QStringLiteral("%1/list-rows-%2.png").arg(folder, appearance == Appearance::dark ? u"dark" : u"light"));
        }
    }
}

// A one-line headline's row reads as one block: its source line stands right under the headline,
// and the block stands in the middle of the row, as a two-line row's fills it.
TEST(SelectionRowDelegate, AOneLineHeadlineLeavesNoGap)
{
    Rows rows;
    const SelectionRowDelegate& delegate = rows.list->rowDelegate();
    const QRect row = rows.row(0);
    const int width = delegate.geometry(row, 2, false, 60).headline.width();
    EXPECT_EQ(SelectionRowDelegate::headlineLines(QStringLiteral("git rebase -i HEAD~3"), width).size(), 1);
    EXPECT_EQ(SelectionRowDelegate::headlineLines(QStringLiteral("The dominant sequence transduction models are "
                                                                 "based on complex recurrent or convolutional"),
                                                  width)
                  .size(),
              2);
    struct Case {
        int lines;
        bool groups;
    };
    for (const Case c : {Case{1, false}, Case{1, true}, Case{2, false}, Case{2, true}}) {
        const SelectionRowDelegate::Geometry g = delegate.geometry(row, c.lines, c.groups, 60);
        const int bottom = (c.groups ? g.chips : g.source).bottom();
        EXPECT_EQ(g.source.top() - g.headline.bottom() - 1, 4) << c.lines << " lines";
        EXPECT_LE(std::abs((g.headline.top() - row.top()) - (row.bottom() - bottom)), 1)
            << c.lines << " lines, groups " << c.groups << ": the block in the middle";
        EXPECT_EQ(g.icon.top(), g.headline.top());
        EXPECT_EQ(g.time.top(), g.headline.top());
    }
}

} // namespace
