#include "Tovak/kit/FormSection.h"

#include "Tovak/kit/TextStyles.h"
#include "Tovak/kit/Theme.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>

namespace vellicord {

class FormSection::Box final : public QWidget {
public:
    using QWidget::QWidget;

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        painter.setRenderHint(QPainter::Antialiasing);
        const ThemeColors colors = Theme::colors(palette());
        const QRectF box = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
        painter.setPen(QPen(colors.separator, 1));
        painter.setBrush(colors.formSection);
        painter.drawRoundedRect(box, 8, 8);
        // Dividers between visible rows, inset from the leading edge as in a grouped list.
        bool first = true;
        for (QObject* child : children()) {
            auto* row = qobject_cast<QWidget*>(child);
            if (!row || row->isHidden())
                continue;
            if (!first) {
                const qreal y = row->geometry().top() + 0.5;
                painter.drawLine(QPointF(12, y), QPointF(width() - 12, y));
            }
            first = false;
        }
    }
};

FormSection::FormSection(const QString& title, QWidget* parent)
    : QWidget(parent)
{
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(6);
    auto* heading = new QLabel(title, this);
    heading->setFont(TextStyles::headline());
    heading->setContentsMargins(4, 0, 0, 0);
    layout->addWidget(heading);
    box_ = new Box(this);
    rows_ = new QVBoxLayout(box_);
    rows_->setContentsMargins(0, 0, 0, 0);
    rows_->setSpacing(0);
    layout->addWidget(box_);
}

QWidget* FormSection::addRow(QWidget* content)
{
    auto* row = new QWidget(box_);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(12, 9, 12, 9);
    layout->addWidget(content);
    rows_->addWidget(row);
    return row;
}

QWidget* FormSection::addRow(const QString& label, QWidget* content)
{
    auto* row = new QWidget(box_);
    auto* layout = new QHBoxLayout(row);
    layout->setContentsMargins(12, 9, 12, 9);
    layout->setSpacing(12);
    auto* title = new QLabel(label, row);
    title->setFont(TextStyles::body());
    layout->addWidget(title, 0, Qt::AlignLeft | Qt::AlignVCenter);
    // Content that wants the room takes what the label leaves; other content keeps its size
    // at the trailing edge.
    if (content->sizePolicy().horizontalPolicy() & QSizePolicy::ExpandFlag) {
        layout->addWidget(content, 1, Qt::AlignVCenter);
    } else {
        layout->addStretch(1);
        layout->addWidget(content, 0, Qt::AlignRight | Qt::AlignVCenter);
    }
    rows_->addWidget(row);
    return row;
}

} // namespace vellicord
