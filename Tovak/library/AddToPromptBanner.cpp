#include "Tovak/library/AddToPromptBanner.h"

#include "Tovak/kit/Material.h"
#include "Tovak/kit/Symbols.h"
#include "Tovak/kit/TextStyles.h"
#include "Tovak/kit/Theme.h"

#include <QEvent>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QPointer>

#include <cmath>

namespace vellicord {

namespace {

// Room around the capsule for its shadow (8 points soft, 3 down).
constexpr int shadowMargin = 11;
constexpr int symbolGap = 5;

} // namespace

AddToPromptBanner::AddToPromptBanner(Scheduler& scheduler, QWidget* parent)
    : QWidget(parent)
    , scheduler_(scheduler)
{
    setObjectName(QStringLiteral("AddToPromptBanner"));
    // It floats over the list: clicks go through to the rows below it.
    setAttribute(Qt::WA_TransparentForMouseEvents);
    setFont(TextStyles::caption());
    if (parent)
        parent->installEventFilter(this);
    hide();
}

AddToPromptBanner::~AddToPromptBanner()
{
    pendingHide_.cancel();
}

QString AddToPromptBanner::text(qsizetype added, qsizetype total)
{
    if (added == 0)
        return QStringLiteral("Already in the prompt");
    // The noun follows what was offered, not what was added.
    return QStringLiteral("Added %1 of %2 selection%3 to the prompt")
        .arg(added)
        .arg(total)
        .arg(total == 1 ? QString() : QStringLiteral("s"));
}

QString AddToPromptBanner::text() const
{
    return content_ ? text(content_->added, content_->total) : QString();
}

void AddToPromptBanner::flash(qsizetype added, qsizetype total)
{
    content_ = Content{added, total, true};
    const quint64 flash = ++flashes_;
    setAccessibleName(text());
    place();
    show();
    raise();
    update();
    // Only the latest showing hides the banner: an earlier one's time ends nothing of a later one.
    pendingHide_ = scheduler_.after(duration, [self = QPointer<AddToPromptBanner>(this), flash] {
        if (!self || flash != self->flashes_ || !self->isShowing())
            return;
        self->content_->show = false;
        self->hide();
    });
}

// The capsule stands 8 points below the top of the parent, centred.
void AddToPromptBanner::place()
{
    const QSize size = sizeHint();
    const int width = parentWidget() ? parentWidget()->width() : size.width();
    setGeometry((width - size.width()) / 2, 0, size.width(), size.height());
}

bool AddToPromptBanner::eventFilter(QObject* watched, QEvent* event)
{
    if (watched == parentWidget() && event->type() == QEvent::Resize && isShowing())
        place();
    return QWidget::eventFilter(watched, event);
}

QRectF AddToPromptBanner::capsule() const
{
    const QFontMetrics metrics(font());
    const int side = metrics.height();
    const qreal width = 12 + side + symbolGap + metrics.horizontalAdvance(text()) + 12;
    const qreal height = 7 + side + 7;
    return QRectF(shadowMargin, shadowMargin - 3, width, height);
}

QSize AddToPromptBanner::sizeHint() const
{
    const QRectF shape = capsule();
    return QSize(int(std::ceil(shape.width())) + 2 * shadowMargin, int(std::ceil(shape.height())) + 2 * shadowMargin);
}

void AddToPromptBanner::paintEvent(QPaintEvent*)
{
    if (!content_)
        return;
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF shape = capsule();
    const qreal radius = shape.height() / 2;

    // Black at 0.12 opacity, 8 points soft, 3 down: rings of falling opacity.
    painter.setPen(Qt::NoPen);
    for (int ring = 8; ring >= 1; --ring) {
        const qreal falloff = 1.0 - ring / 9.0;
        QPainterPath shadow;
        shadow.addRoundedRect(shape.translated(0, 3).adjusted(-ring, -ring, ring, ring), radius + ring, radius + ring);
        painter.setBrush(QColor(0, 0, 0, int(255 * 0.12 * falloff * falloff / 4)));
        painter.drawPath(shadow);
    }
    Material::paintRegular(painter, shape, radius, palette());

    const ThemeColors colors = Theme::colors(palette());
    const QFontMetrics metrics(font());
    const int side = metrics.height();
    const QRectF symbol(shape.left() + 12, shape.top() + 7, side, side);
    Symbols::paint(painter, QStringLiteral("text.badge.plus"), symbol, colors.label);
    painter.setPen(colors.label);
    painter.drawText(
        QRectF(symbol.right() + symbolGap, symbol.top(), shape.right() - 12 - symbol.right() - symbolGap, side),
        Qt::AlignLeft | Qt::AlignVCenter, text());
}

} // namespace vellicord
