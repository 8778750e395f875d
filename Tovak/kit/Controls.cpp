#include "Tovak/kit/Controls.h"

#include "Tovak/kit/TextStyles.h"

#include <QFontMetrics>
#include <QPushButton>

namespace vellicord::Controls {

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

void tint(QWidget& widget, const QColor& color)
{
    QPalette palette = widget.palette();
    palette.setColor(QPalette::WindowText, color);
    palette.setColor(QPalette::Text, color);
    widget.setPalette(palette);
}

} // namespace vellicord::Controls
