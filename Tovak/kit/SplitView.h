#pragma once

#include <QSplitter>

namespace vellicord {

// Panes side by side parted by a hairline in the separator colour, as a split view's columns are.
// The line is one pixel wide and a few wider to grab; the style's own handle would draw its grip's
// dots in the middle of whatever pane stands beside it.
class SplitView final : public QSplitter {
public:
    explicit SplitView(Qt::Orientation orientation, QWidget* parent = nullptr);

protected:
    QSplitterHandle* createHandle() override;
};

} // namespace vellicord
