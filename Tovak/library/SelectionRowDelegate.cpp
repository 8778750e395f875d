#include "Tovak/library/SelectionRowDelegate.h"

#include "Tovak/kit/Symbols.h"
#include "Tovak/kit/TextStyles.h"
#include "Tovak/kit/Theme.h"
#include "Tovak/library/IconCache.h"
#include "Tovak/library/SelectionListModel.h"

#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

namespace vellicord {

namespace {

constexpr int verticalPadding = 5;
constexpr int horizontalPadding = 10;
constexpr int spacing = 9;
constexpr int iconSize = 26;
constexpr int iconRadius = 6;
constexpr int lineSpacing = 4;
constexpr int gripSymbol = 12;
constexpr int gripPadding = 4;
constexpr int chipDot = 6;
constexpr int chipSpacing = 8;
constexpr int chipNameWidth = 120;

int lineHeight(const QFont& font)
{
    return QFontMetrics(font).height();
}

// The headline in at most two lines, the second elided at its end.
void drawHeadline(QPainter& painter, const QString& text, const QRect& rect, const QFont& font)
{
    const QFontMetrics metrics(font);
    QTextLayout layout(text, font);
    QTextOption wrap;
    wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(wrap);
    layout.beginLayout();
    QTextLine first = layout.createLine();
    first.setLineWidth(rect.width());
    QTextLine second = layout.createLine();
    if (second.isValid())
        second.setLineWidth(rect.width());
    layout.endLayout();
    const int height = metrics.height();
    const QString firstLine = text.mid(first.textStart(), first.textLength());
    painter.drawText(QRect(rect.left(), rect.top(), rect.width(), height), Qt::AlignLeft | Qt::AlignVCenter, firstLine);
    if (second.isValid()) {
        const QString rest = text.mid(second.textStart());
        painter.drawText(QRect(rect.left(), rect.top() + height, rect.width(), height),
                         Qt::AlignLeft | Qt::AlignVCenter, metrics.elidedText(rest, Qt::ElideRight, rect.width()));
    }
}

} // namespace

SelectionRowDelegate::SelectionRowDelegate(IconCache& icons, QObject* parent)
    : QStyledItemDelegate(parent)
    , icons_(icons)
{
}

int SelectionRowDelegate::rowHeight()
{
    return verticalPadding + 2 * lineHeight(TextStyles::body()) + lineSpacing + lineHeight(TextStyles::caption())
        + lineSpacing + lineHeight(TextStyles::caption2()) + verticalPadding;
}

QSize SelectionRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex&) const
{
    return QSize(option.rect.width() > 0 ? option.rect.width() : 300, rowHeight());
}

QRect SelectionRowDelegate::gripRect(const QRect& row) const
{
    if (!showsGrip_)
        return {};
    const int side = gripSymbol + 2 * gripPadding;
    const QFontMetrics caption(TextStyles::caption());
    // The grip stands before the time column, whose width follows its text; a fixed reserve keeps
    // the grip where the pointer finds it.
    const int timeWidth = caption.horizontalAdvance(QStringLiteral("88 minutes ago"));
    return QRect(row.right() - horizontalPadding - timeWidth - spacing - side + 1, row.top() + verticalPadding - 2,
                 side, side);
}

void SelectionRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const auto* model = qobject_cast<const SelectionListModel*>(index.model());
    if (!model)
        return;
    const std::optional<Selection> selection = model->selectionAt(index.row());
    if (!selection)
        return;

    QStyleOptionViewItem background = option;
    initStyleOption(&background, index);
    background.text.clear();
    background.icon = QIcon();
    const QWidget* widget = option.widget;
    QStyle* style = widget ? widget->style() : QApplication::style();
    style->drawPrimitive(QStyle::PE_PanelItemViewItem, &background, painter, widget);

    const ThemeColors colors = Theme::colors(option.palette);
    const bool selected = option.state & QStyle::State_Selected;
    const QColor label = selected ? option.palette.color(QPalette::HighlightedText) : colors.label;
    const QColor secondary = selected ? option.palette.color(QPalette::HighlightedText) : colors.secondaryLabel;
    const QColor tertiary = selected ? option.palette.color(QPalette::HighlightedText) : colors.tertiaryLabel;

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    const QRect row = option.rect;
    int x = row.left() + horizontalPadding;
    const int top = row.top() + verticalPadding;

    const QRect iconRect(x, top, iconSize, iconSize);
    {
        painter->save();
        QPainterPath rounded;
        rounded.addRoundedRect(iconRect, iconRadius, iconRadius);
        painter->setClipPath(rounded);
        icons_.icon(selection->bundleID, selection->appName).paint(painter, iconRect);
        painter->restore();
    }
    x += iconSize + spacing;

    // The time column and the grip on the right; the text takes the rest.
    const QFont caption = TextStyles::caption();
    const QFont caption2 = TextStyles::caption2();
    const QFontMetrics captionMetrics(caption);
    const QString age = model->relativeDate(*selection);
    const int ageWidth = captionMetrics.horizontalAdvance(age);
    const int right = row.right() - horizontalPadding + 1;
    painter->setFont(caption);
    painter->setPen(secondary);
    painter->drawText(QRect(right - ageWidth, top, ageWidth, lineHeight(caption)), Qt::AlignRight | Qt::AlignVCenter,
                      age);
    int textRight = right - ageWidth - spacing;
    if (model->isCopied(selection->id)) {
        const QFontMetrics metrics(caption2);
        const QString copied = QStringLiteral("Copied");
        const int width = metrics.horizontalAdvance(copied);
        const int y = top + lineHeight(caption) + lineSpacing;
        const int symbol = metrics.height() - 2;
        painter->setFont(caption2);
        painter->drawText(QRect(right - width, y, width, metrics.height()), Qt::AlignRight | Qt::AlignVCenter, copied);
        Symbols::paint(*painter, QStringLiteral("checkmark"), QRectF(right - width - 3 - symbol, y + 1, symbol, symbol),
                       secondary);
    }
    if (showsGrip_) {
        const QRect grip = gripRect(row);
        Symbols::paint(*painter, QStringLiteral("line.3.horizontal"),
                       QRectF(grip.adjusted(gripPadding, gripPadding, -gripPadding, -gripPadding)), tertiary);
        textRight = std::min(textRight, grip.left() - spacing);
    }
    const int textWidth = std::max(0, textRight - x);

    // Headline, at most two lines of its first characters.
    const QFont body = TextStyles::body();
    painter->setFont(body);
    painter->setPen(label);
    const QString headline = index.data(Qt::DisplayRole).toString();
    drawHeadline(*painter, headline, QRect(x, top, textWidth, 2 * lineHeight(body)), body);
    int y = top + 2 * lineHeight(body) + lineSpacing;

    // Where it came from.
    const int captionHeight = lineHeight(caption);
    const int symbolSize = lineHeight(caption2) - 2;
    Symbols::paint(*painter, SelectionListModel::sourceSymbol(*selection),
                   QRectF(x, y + (captionHeight - symbolSize) / 2.0, symbolSize, symbolSize), secondary);
    painter->setFont(caption);
    painter->setPen(secondary);
    const int sourceX = x + symbolSize + 5;
    painter->drawText(QRect(sourceX, y, std::max(0, textRight - sourceX), captionHeight),
                      Qt::AlignLeft | Qt::AlignVCenter,
                      captionMetrics.elidedText(SelectionListModel::sourceText(*selection), Qt::ElideMiddle,
                                                std::max(0, textRight - sourceX)));
    y += captionHeight + lineSpacing;

    // The first two groups as chips, and how many more: the count always shows, the names give way.
    const QList<SelectionGroup> groups = model->groupsOf(*selection);
    if (!groups.isEmpty()) {
        const QFontMetrics metrics(caption2);
        const int height = metrics.height();
        const QString more = groups.size() > 2 ? QStringLiteral("+%1").arg(groups.size() - 2) : QString();
        const int moreWidth = more.isEmpty() ? 0 : metrics.horizontalAdvance(more);
        const qsizetype shown = std::min<qsizetype>(2, groups.size());
        const int room = textRight - x - moreWidth - int(shown) * (chipDot + 4 + chipSpacing);
        const int nameWidth = std::clamp(room / int(shown), 0, chipNameWidth);
        int chipX = x;
        painter->setFont(caption2);
        for (qsizetype i = 0; i < shown; ++i) {
            const RgbaColor c = groups[i].color();
            painter->setPen(Qt::NoPen);
            painter->setBrush(QColor::fromRgbF(float(c.red), float(c.green), float(c.blue), float(c.alpha)));
            painter->drawEllipse(QRectF(chipX, y + (height - chipDot) / 2.0, chipDot, chipDot));
            chipX += chipDot + 4;
            const QString name = metrics.elidedText(groups[i].name, Qt::ElideRight, nameWidth);
            const int width = metrics.horizontalAdvance(name);
            painter->setPen(secondary);
            painter->drawText(QRect(chipX, y, width, height), Qt::AlignLeft | Qt::AlignVCenter, name);
            chipX += width + chipSpacing;
        }
        if (!more.isEmpty()) {
            painter->setPen(tertiary);
            painter->drawText(QRect(chipX, y, moreWidth, height), Qt::AlignLeft | Qt::AlignVCenter, more);
        }
    }
    painter->restore();
}

} // namespace vellicord
