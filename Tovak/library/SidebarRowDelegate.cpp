#include "Tovak/library/SidebarRowDelegate.h"

#include "Tovak/kit/BoundedText.h"
#include "Tovak/kit/Symbols.h"
#include "Tovak/kit/TextStyles.h"
#include "Tovak/kit/Theme.h"
#include "Tovak/library/IconCache.h"
#include "Tovak/library/SidebarModel.h"

#include <QFontMetrics>
#include <QPainter>
#include <QPainterPath>
#include <QWidget>

namespace vellicord {

namespace {

using Kind = SidebarModel::Kind;

constexpr int inset = 8; // the row's background stands this far in from the list's sides
constexpr int padding = 8; // the content stands this far in from the background
constexpr int symbolSide = 16;
constexpr int spacing = 6;
constexpr int dotSide = 9;
constexpr int iconSide = 14;
constexpr int gripSymbol = 10;
constexpr int gripPadding = 3;
constexpr int radius = 6;

Kind kindOf(const QModelIndex& index)
{
    return Kind(index.data(SidebarModel::KindRole).toInt());
}

int countWidth(const QVariant& count)
{
    return count.isValid() ? QFontMetrics(TextStyles::caption()).horizontalAdvance(QString::number(count.toInt())) : 0;
}

QFont headerFont()
{
    return TextStyles::system(TextStyles::subheadline().pixelSize(), QFont::DemiBold);
}

// The square a leading mark of this side takes, centred in the symbol column.
QRect mark(int x, const QRect& row, int side)
{
    return QRect(x + (symbolSide - side) / 2, row.center().y() + 1 - side / 2, side, side);
}

// A source's title and subtitle, as one block in the middle of the row.
void stackSource(SidebarRowDelegate::Geometry& g, int x, int right, const QRect& row)
{
    const int first = QFontMetrics(TextStyles::callout()).height();
    const int second = QFontMetrics(TextStyles::caption2()).height();
    const int top = row.top() + (row.height() - first - 1 - second) / 2;
    g.title = QRect(x, top, right - x, first);
    g.subtitle = QRect(x, top + first + 1, right - x, second);
}

void fill(QPainter& painter, const QRect& rect, const QColor& color)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(rect), radius, radius);
    painter.fillPath(path, color);
}

void drawText(QPainter& painter, const QFont& font, const QColor& color, const QRect& rect, const QString& text,
              Qt::TextElideMode elide = Qt::ElideRight)
{
    painter.setFont(font);
    painter.setPen(color);
    // A name or an address may run to megabytes.
    painter.drawText(rect, Qt::AlignLeft | Qt::AlignVCenter, BoundedText::elided(text, font, rect.width(), elide));
}

} // namespace

SidebarRowDelegate::SidebarRowDelegate(IconCache& icons, QObject* parent)
    : QStyledItemDelegate(parent)
    , icons_(icons)
{
}

SidebarRowDelegate::Geometry SidebarRowDelegate::geometry(const QModelIndex& index, const QRect& row)
{
    Geometry g;
    g.background = row.adjusted(inset, 1, -inset, -1);
    int x = row.left() + inset + padding;
    int right = row.right() + 1 - inset - padding;
    const Kind kind = kindOf(index);
    switch (kind) {
    case Kind::header:
        g.title = QRect(row.left() + inset + 2, row.top() + 8, row.width() - 2 * inset, row.height() - 10);
        return g;
    case Kind::footer: g.title = QRect(x, row.top(), right - x, row.height() - 4); return g;
    case Kind::noSources: g.title = QRect(x, row.top(), right - x, row.height()); return g;
    case Kind::newPrompt:
    case Kind::newGroup:
    case Kind::status:
        g.symbol = mark(x, row, kind == Kind::status ? 13 : 12);
        x += symbolSide + spacing;
        g.title = QRect(x, row.top(), right - x, row.height());
        return g;
    default: break;
    }
    // A chosen row: its count at the end, before it the grip of the rows that drag.
    if (const QVariant count = index.data(SidebarModel::CountRole); count.isValid()) {
        const int width = countWidth(count);
        g.count = QRect(right - width, row.top(), width, row.height());
        right -= width + spacing;
    }
    const auto* model = qobject_cast<const SidebarModel*>(index.model());
    if (model && model->hasDragGrip(index.row())) {
        const int side = gripSymbol + 2 * gripPadding;
        g.grip = QRect(right - side + gripPadding, row.center().y() - side / 2, side, side);
        right = g.grip.left() + gripPadding - spacing;
    }
    switch (kind) {
    case Kind::group:
        // The colour dot, then the symbol of every group.
        g.dot = QRect(x, row.center().y() + 1 - dotSide / 2, dotSide, dotSide);
        x += dotSide + spacing;
        g.symbol = mark(x, row, 15);
        x += symbolSide + spacing;
        g.title = QRect(x, row.top(), right - x, row.height());
        break;
    case Kind::source:
        g.symbol = QRect(x + (symbolSide - iconSide) / 2, row.center().y() - iconSide / 2, iconSide, iconSide);
        stackSource(g, x + symbolSide + spacing, right, row);
        break;
    default:
        g.symbol = mark(x, row, 15);
        x += symbolSide + spacing;
        g.title = QRect(x, row.top(), right - x, row.height());
        break;
    }
    return g;
}

QSize SidebarRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    int height = 28;
    switch (kindOf(index)) {
    case Kind::footer: height = 20; break;
    case Kind::newPrompt:
    case Kind::newGroup: height = 26; break;
    case Kind::source: height = 38; break;
    case Kind::noSources: height = 22; break;
    case Kind::status: height = 34; break;
    default: break;
    }
    return QSize(option.rect.width() > 0 ? option.rect.width() : 220, height);
}

void SidebarRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const auto* model = qobject_cast<const SidebarModel*>(index.model());
    if (!model)
        return;
    const Kind kind = model->kind(index.row());
    const ThemeColors colors = Theme::colors(option.palette);
    const Geometry g = geometry(index, option.rect);
    const QString title = index.data(Qt::DisplayRole).toString();

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (dropTarget_ && model->item(index.row()) == dropTarget_) {
        QColor tint = colors.accent;
        tint.setAlphaF(0.2f);
        fill(*painter, g.background, tint);
    }
    const bool selected = option.state & QStyle::State_Selected;
    const bool focused = selected && option.widget && option.widget->hasFocus();
    if (selected) {
        QColor unfocused = colors.label;
        unfocused.setAlphaF(0.1f);
        fill(*painter, g.background, focused ? colors.accent : unfocused);
    }
    const QColor label = focused ? QColor(Qt::white) : colors.label;
    const QColor secondary = focused ? QColor(Qt::white) : colors.secondaryLabel;
    const QColor tertiary = focused ? QColor(255, 255, 255, 170) : colors.tertiaryLabel;
    const QString symbol = index.data(SidebarModel::SymbolRole).toString();

    switch (kind) {
    case Kind::header: drawText(*painter, headerFont(), colors.secondaryLabel, g.title, title); break;
    case Kind::footer: drawText(*painter, TextStyles::caption2(), colors.tertiaryLabel, g.title, title); break;
    case Kind::noSources: drawText(*painter, TextStyles::caption(), colors.tertiaryLabel, g.title, title); break;
    case Kind::newPrompt:
    case Kind::newGroup: {
        const QColor color = option.state & QStyle::State_Enabled ? colors.secondaryLabel : colors.tertiaryLabel;
        Symbols::paint(*painter, QStringLiteral("plus"), g.symbol, color);
        drawText(*painter, TextStyles::callout(), color, g.title, title);
        break;
    }
    case Kind::status: {
        const bool attention = index.data(SidebarModel::AttentionRole).toBool();
        Symbols::paint(*painter, symbol, g.symbol, attention ? colors.orange : colors.green);
        drawText(*painter, TextStyles::caption(), colors.secondaryLabel, g.title, title);
        break;
    }
    default: {
        if (!g.count.isEmpty()) {
            painter->setFont(TextStyles::caption());
            painter->setPen(secondary);
            painter->drawText(g.count, Qt::AlignRight | Qt::AlignVCenter,
                              QString::number(index.data(SidebarModel::CountRole).toInt()));
        }
        if (!g.grip.isEmpty())
            Symbols::paint(*painter, QStringLiteral("line.3.horizontal"),
                           QRectF(g.grip.adjusted(gripPadding, gripPadding, -gripPadding, -gripPadding)), tertiary);
        if (kind == Kind::source) {
            if (const std::optional<SourceIdentity> identity = model->sourceIdentity(index.row()))
                icons_.paint(*painter, g.symbol, 3, identity->bundleID, identity->appName, secondary);
            drawText(*painter, TextStyles::callout(), label, g.title, title);
            drawText(*painter, TextStyles::caption2(), secondary, g.subtitle,
                     index.data(SidebarModel::SubtitleRole).toString(), Qt::ElideMiddle);
            break;
        }
        if (kind == Kind::group) {
            // On the accent, a dot of any colour keeps a white ring, so that a blue group reads.
            painter->setPen(focused ? QPen(label, 1.5) : QPen(Qt::NoPen));
            painter->setBrush(index.data(SidebarModel::ColorRole).value<QColor>());
            painter->drawEllipse(QRectF(g.dot));
        }
        Symbols::paint(*painter, symbol, g.symbol, focused ? label : colors.accent);
        drawText(*painter, TextStyles::body(), label, g.title, title);
        break;
    }
    }
    painter->restore();
}

} // namespace vellicord
