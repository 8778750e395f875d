#include "Tovak/kit/FirstFitLayout.h"

#include <QWidget>

#include <gtest/gtest.h>

using namespace vellicord;

namespace {

class Box final : public QWidget {
public:
    Box(QSize hint, QWidget* parent)
        : QWidget(parent)
        , hint_(hint)
    {
    }
    QSize sizeHint() const override { return hint_; }

private:
    QSize hint_;
};

// Actions 150 × 20 and a label 80 × 12: a row of them needs 238 points, spacing included.
TEST(FirstFitLayout, TakesTheFirstArrangementThatFitsAndTheLastWhenNoneDoes)
{
    struct Case {
        const char* name;
        int width;
        bool actionsShown;
        int arrangement;
        QRect actions;
        QRect label;
        int height;
    };
    const Case cases[] = {
        {"wide: a row, the label at the far end", 400, true, 0, {0, 0, 150, 20}, {320, 4, 80, 12}, 20},
        {"exactly wide enough", 238, true, 0, {0, 0, 150, 20}, {158, 4, 80, 12}, 20},
        {"one point short: a column", 237, true, 1, {0, 0, 150, 20}, {0, 26, 80, 12}, 38},
        {"narrower than the actions: cut to the width", 120, true, 1, {0, 0, 120, 20}, {0, 26, 80, 12}, 38},
        {"hidden actions take no room", 100, false, 0, {}, {20, 0, 80, 12}, 12},
    };
    for (const Case& c : cases) {
        QWidget container;
        auto* layout = new FirstFitLayout({{.orientation = Qt::Horizontal, .spacing = 8, .stretchAfter = 0},
                                           {.orientation = Qt::Vertical, .spacing = 6}},
                                          &container);
        layout->setContentsMargins(0, 0, 0, 0);
        auto* actions = new Box({150, 20}, &container);
        auto* label = new Box({80, 12}, &container);
        layout->addWidget(actions);
        layout->addWidget(label);
        actions->setVisible(c.actionsShown);
        EXPECT_EQ(layout->heightForWidth(c.width), c.height) << c.name;
        container.resize(c.width, layout->heightForWidth(c.width));
        layout->setGeometry(container.rect());
        EXPECT_EQ(layout->currentArrangement(), c.arrangement) << c.name;
        if (c.actionsShown) {
            EXPECT_EQ(actions->geometry(), c.actions) << c.name;
        }
        EXPECT_EQ(label->geometry(), c.label) << c.name;
    }
}

} // namespace
