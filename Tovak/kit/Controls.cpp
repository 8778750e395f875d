#include "Tovak/kit/Controls.h"

#include "Tovak/kit/TextStyles.h"
#include "Tovak/kit/Theme.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPainter>
#include <QPushButton>
#include <QStyleOption>
#include <QVBoxLayout>

#include <algorithm>

namespace vellicord::Controls {

namespace {

class ProminentButton final : public QPushButton {
public:
    ProminentButton(const QString& title, QWidget* parent)
        : QPushButton(title, parent)
    {
        setFont(TextStyles::body());
        setAutoDefault(false);
    }

    QSize sizeHint() const override
    {
        const QFontMetrics metrics(font());
        const int symbol = icon().isNull() ? 0 : iconSize().width() + gap();
        // A symbol alone needs less room than a title.
        const int margins = text().isEmpty() ? 18 : 28;
        return {metrics.horizontalAdvance(text()) + symbol + margins,
                std::max(metrics.height(), iconSize().height()) + 12};
    }
    QSize minimumSizeHint() const override { return sizeHint(); }

protected:
    void paintEvent(QPaintEvent*) override
    {
        QPainter painter(this);
        QStyleOption option;
        option.initFrom(this);
        if (isDown())
            option.state |= QStyle::State_Sunken;
        Theme::paintProminentBezel(painter, rect(), palette(), option.state);
        const QColor ink = Theme::prominentInk(option.state);
        painter.setPen(ink);
        painter.setFont(font());
        if (icon().isNull()) {
            painter.drawText(rect(), Qt::AlignCenter, text());
            return;
        }
        // The symbol and the title are centred together, the symbol drawn in the title's ink.
        const int textWidth = painter.fontMetrics().horizontalAdvance(text());
        const QSize symbol = iconSize();
        const int left = (width() - symbol.width() - gap() - textWidth) / 2;
        if (!isEnabled())
            painter.setOpacity(ink.alphaF());
        icon().paint(&painter, QRect(QPoint(left, (height() - symbol.height()) / 2), symbol));
        painter.setOpacity(1);
        painter.drawText(QRect(left + symbol.width() + gap(), 0, textWidth + 1, height()), Qt::AlignVCenter, text());
    }

private:
    int gap() const { return text().isEmpty() ? 0 : 6; }
};

} // namespace

QPushButton* prominentButton(const QString& title, QWidget* parent)
{
    return new ProminentButton(title, parent);
}

QPushButton* button(const QString& title, Size size, QWidget* parent)
{
    auto* button = new QPushButton(title, parent);
    button->setAutoDefault(false);
    const bool small = size == Size::small;
    button->setFont(small ? TextStyles::subheadline() : TextStyles::body());
    // Fusion leaves the title nearly touching the bezel; give it room on both sides.
    button->setMinimumWidth(QFontMetrics(button->font()).horizontalAdvance(title) + (small ? 22 : 30));
    return button;
}

QPushButton* defaultButton(const QString& title, QWidget* parent)
{
    QPushButton* button = Controls::button(title, Size::regular, parent);
    button->setDefault(true);
    return button;
}

void tint(QWidget& widget, const QColor& color)
{
    QPalette palette = widget.palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget.setPalette(palette);
}

QLabel* plainLabel(const QString& text, const QFont& font, QWidget* parent)
{
    auto* label = new QLabel(text, parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    return label;
}

QWidget* padded(QWidget* content, const QMargins& margins, QWidget* parent)
{
    auto* frame = new QWidget(parent);
    auto* layout = new QVBoxLayout(frame);
    layout->setContentsMargins(margins);
    layout->addWidget(content);
    return frame;
}

} // namespace vellicord::Controls
