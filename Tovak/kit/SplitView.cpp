#include "Tovak/kit/SplitView.h"

#include "Tovak/kit/Theme.h"

#include <QPainter>
#include <QSplitterHandle>

namespace vellicord {

namespace {

class Hairline final : public QSplitterHandle {
public:
    using QSplitterHandle::QSplitterHandle;

protected:
    // A handle one pixel wide takes the pointer a few pixels either side (its contents margins) and
    // paints only its middle.
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.fillRect(contentsRect(), Theme::colors(palette()).separator);
    }
};

} // namespace

SplitView::SplitView(Qt::Orientation orientation, QWidget* parent)
    : QSplitter(orientation, parent)
{
    setHandleWidth(1);
}

QSplitterHandle* SplitView::createHandle()
{
    return new Hairline(orientation(), this);
}

} // namespace vellicord
