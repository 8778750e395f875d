#include "Tovak/kit/EditorFrame.h"

#include "Tovak/kit/Theme.h"

#include <QAbstractScrollArea>
#include <QPainter>
#include <QPainterPath>
#include <QVBoxLayout>

namespace vellicord {

namespace {

constexpr int inset = 3;
constexpr qreal radius = 6;

} // namespace

EditorFrame::EditorFrame(QAbstractScrollArea* editor, QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(inset, inset, inset, inset);
    editor->setFrameShape(QFrame::NoFrame);
    layout->addWidget(editor);
}

void EditorFrame::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    QPainterPath shape;
    shape.addRoundedRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5), radius, radius);
    painter.fillPath(shape, palette().color(QPalette::Base));
    painter.setPen(QPen(Theme::colors(palette()).controlOutline, 1));
    painter.drawPath(shape);
}

} // namespace vellicord
