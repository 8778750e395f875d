#include "Tovak/library/SidebarRowDelegate.h"

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

int contentLeft(const QRect& row)
{
    return row.left() + inset + padding;
}

int contentRight(const QRect& row)
{
    return row.right() + 1 - inset - padding;
}

int countWidth(const QVariant& count)
{
    return count.isValid() ? QFontMetrics(TextStyles::caption()).horizontalAdvance(QString::number(count.toInt())) : 0;
}

QRect background(const QRect& row)
{
    return row.adjusted(inset, 1, -inset, -1);
}

void fill(QPainter& painter, const QRect& rect, const QColor& color)
{
    QPainterPath path;
    path.addRoundedRect(QRectF(rect), radius, radius);
    painter.fillPath(path, color);
}

} // namespace

SidebarRowDelegate::SidebarRowDelegate(IconCache& icons, QObject* parent)
    : QStyledItemDelegate(parent)
    , icons_(icons)
{
}

QRect SidebarRowDelegate::gripRect(const QModelIndex& index, const QRect& row)
{
    const int side = gripSymbol + 2 * gripPadding;
    const int count = countWidth(index.data(SidebarModel::CountRole));
    return QRect(contentRight(row) - count - spacing - side + gripPadding, row.center().y() - side / 2, side, side);
}

QSize SidebarRowDelegate::sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    int height = 28;
    switch (Kind(index.data(SidebarModel::KindRole).toInt())) {
    case Kind::header: height = 28; break;
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
    const QRect row = option.rect;
    const QString title = index.data(Qt::DisplayRole).toString();
    const bool enabled = option.state & QStyle::State_Enabled;

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    if (dropTarget_ && model->item(index.row()) == dropTarget_) {
        QColor tint = colors.accent;
        tint.setAlphaF(0.2f);
        fill(*painter, background(row), tint);
    }
    const bool selected = option.state & QStyle::State_Selected;
    const bool focused = selected && option.widget && option.widget->hasFocus();
    if (selected) {
        QColor unfocused = colors.label;
        unfocused.setAlphaF(0.1f);
        fill(*painter, background(row), focused ? colors.accent : unfocused);
    }
    const QColor label = focused ? QColor(Qt::white) : colors.label;
    const QColor secondary = focused ? QColor(Qt::white) : colors.secondaryLabel;
    const QColor tertiary = focused ? QColor(255, 255, 255, 170) : colors.tertiaryLabel;

    int x = contentLeft(row);
    int right = contentRight(row);
    const auto drawText = [&](const QFont& font, const QColor& color, const QRect& rect, const QString& text,
                              Qt::TextElideMode elide = Qt::ElideRight) {
        painter->setFont(font);
        painter->setPen(color);
        painter->drawText(rect, Qt::AlignLeft | Qt::AlignVCenter,
                          QFontMetrics(font).elidedText(text, elide, rect.width()));
    };
    const auto drawSymbol = [&](const QString& name, int side, const QColor& color) {
        Symbols::paint(*painter, name,
                       QRectF(x + (symbolSide - side) / 2.0, row.center().y() + 1 - side / 2.0, side, side), color);
        x += symbolSide + spacing;
    };

    switch (kind) {
    case Kind::header:
        drawText(TextStyles::system(TextStyles::subheadline().pixelSize(), QFont::DemiBold), colors.secondaryLabel,
                 QRect(row.left() + inset + 2, row.top() + 8, row.width() - 2 * inset, row.height() - 10), title);
        break;
    case Kind::footer:
        drawText(TextStyles::caption2(), colors.tertiaryLabel, QRect(x, row.top(), right - x, row.height() - 4), title);
        break;
    case Kind::newPrompt:
    case Kind::newGroup: {
        const QColor color = enabled ? colors.secondaryLabel : colors.tertiaryLabel;
        drawSymbol(QStringLiteral("plus"), 12, color);
        drawText(TextStyles::callout(), color, QRect(x, row.top(), right - x, row.height()), title);
        break;
    }
    case Kind::noSources:
        drawText(TextStyles::caption(), colors.tertiaryLabel, QRect(x, row.top(), right - x, row.height()), title);
        break;
    case Kind::status: {
        const bool attention = index.data(SidebarModel::AttentionRole).toBool();
        drawSymbol(index.data(SidebarModel::SymbolRole).toString(), 13, attention ? colors.orange : colors.green);
        drawText(TextStyles::caption(), colors.secondaryLabel, QRect(x, row.top(), right - x, row.height()), title);
        break;
    }
    default: {
        // A chosen row: its count at the end, before it the grip of the rows that drag.
        const QVariant count = index.data(SidebarModel::CountRole);
        if (count.isValid()) {
            const int width = countWidth(count);
            painter->setFont(TextStyles::caption());
            painter->setPen(secondary);
            painter->drawText(QRect(right - width, row.top(), width, row.height()), Qt::AlignRight | Qt::AlignVCenter,
                              QString::number(count.toInt()));
            right -= width + spacing;
        }
        if (model->hasDragGrip(index.row())) {
            const QRect grip = gripRect(index, row);
            Symbols::paint(*painter, QStringLiteral("line.3.horizontal"),
                           QRectF(grip.adjusted(gripPadding, gripPadding, -gripPadding, -gripPadding)), tertiary);
            right = grip.left() + gripPadding - spacing;
        }
        if (kind == Kind::group) {
            painter->setPen(Qt::NoPen);
            painter->setBrush(index.data(SidebarModel::ColorRole).value<QColor>());
            painter->drawEllipse(QRectF(x, row.center().y() + 1 - dotSide / 2.0, dotSide, dotSide));
            x += dotSide + spacing;
        }
        if (kind == Kind::source) {
            const std::optional<SourceIdentity> identity = model->sourceIdentity(index.row());
            const QRect icon(x + (symbolSide - iconSide) / 2, row.center().y() - iconSide / 2, iconSide, iconSide);
            if (identity) {
                painter->save();
                QPainterPath rounded;
                rounded.addRoundedRect(QRectF(icon), 3, 3);
                painter->setClipPath(rounded);
                icons_.icon(identity->bundleID, identity->appName).paint(painter, icon);
                painter->restore();
            }
            x += symbolSide + spacing;
            const QFont callout = TextStyles::callout();
            const QFont caption2 = TextStyles::caption2();
            const int first = QFontMetrics(callout).height();
            const int second = QFontMetrics(caption2).height();
            const int top = row.top() + (row.height() - first - 1 - second) / 2;
            drawText(callout, label, QRect(x, top, right - x, first), title);
            drawText(caption2, secondary, QRect(x, top + first + 1, right - x, second),
                     index.data(SidebarModel::SubtitleRole).toString(), Qt::ElideMiddle);
            break;
        }
        drawSymbol(index.data(SidebarModel::SymbolRole).toString(), 15, focused ? label : colors.accent);
        drawText(TextStyles::body(), label, QRect(x, row.top(), right - x, row.height()), title);
        break;
    }
    }
    painter->restore();
}

} // namespace vellicord
