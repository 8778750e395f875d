#include "Tovak/library/SelectionRowDelegate.h"

#include "Tovak/kit/BoundedText.h"
#include "Tovak/kit/Symbols.h"
#include "Tovak/kit/TextStyles.h"
#include "Tovak/kit/Theme.h"
#include "Tovak/library/IconCache.h"
#include "Tovak/library/SelectionListModel.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QFontMetrics>
#include <QPainter>
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

// The colours of a row's texts and marks: on the selection, everything in its text colour.
struct Ink {
    QColor label;
    QColor secondary;
    QColor tertiary;
    bool selected;
};

void drawIcon(QPainter& painter, IconCache& icons, const Selection& selection, const QRect& rect, const Ink& ink)
{
    icons.paint(painter, rect, iconRadius, selection.bundleID, selection.appName, ink.secondary);
}

void drawTime(QPainter& painter, const SelectionRowDelegate::Geometry& g, const QString& age, bool copied,
              const Ink& ink)
{
    painter.setFont(TextStyles::caption());
    painter.setPen(ink.secondary);
    painter.drawText(g.time, Qt::AlignRight | Qt::AlignVCenter, age);
    if (!copied)
        return;
    const QFont caption2 = TextStyles::caption2();
    const QString text = QStringLiteral("Copied");
    const int width = QFontMetrics(caption2).horizontalAdvance(text);
    const int symbol = g.copied.height() - 2;
    painter.setFont(caption2);
    painter.drawText(g.copied, Qt::AlignRight | Qt::AlignVCenter, text);
    Symbols::paint(painter, QStringLiteral("checkmark"),
                   QRectF(g.copied.right() + 1 - width - 3 - symbol, g.copied.top() + 1, symbol, symbol),
                   ink.secondary);
}

void drawHeadline(QPainter& painter, const QStringList& lines, const QRect& rect, const Ink& ink)
{
    const QFont body = TextStyles::body();
    const int height = lineHeight(body);
    painter.setFont(body);
    painter.setPen(ink.label);
    for (qsizetype i = 0; i < lines.size(); ++i)
        painter.drawText(QRect(rect.left(), rect.top() + int(i) * height, rect.width(), height),
                         Qt::AlignLeft | Qt::AlignVCenter, lines[i]);
}

void drawSource(QPainter& painter, const Selection& selection, const QRect& rect, const Ink& ink)
{
    const int symbol = lineHeight(TextStyles::caption2()) - 2;
    Symbols::paint(painter, SelectionListModel::sourceSymbol(selection),
                   QRectF(rect.left(), rect.top() + (rect.height() - symbol) / 2.0, symbol, symbol), ink.secondary);
    const QFont caption = TextStyles::caption();
    const QRect text = rect.adjusted(symbol + 5, 0, 0, 0);
    const int width = std::max(0, text.width());
    // An address may run to megabytes.
    const QString shown
        = BoundedText::elided(SelectionListModel::sourceText(selection), caption, width, Qt::ElideMiddle);
    painter.setFont(caption);
    painter.setPen(ink.secondary);
    painter.drawText(text, Qt::AlignLeft | Qt::AlignVCenter, shown);
}

// The first two groups as chips, and how many more: the count always shows, the names give way.
void drawChips(QPainter& painter, const QList<SelectionGroup>& groups, const QRect& rect, const Ink& ink)
{
    const QFont caption2 = TextStyles::caption2();
    const QFontMetrics metrics(caption2);
    const QString more = groups.size() > 2 ? QStringLiteral("+%1").arg(groups.size() - 2) : QString();
    const int moreWidth = more.isEmpty() ? 0 : metrics.horizontalAdvance(more);
    const qsizetype shown = std::min<qsizetype>(2, groups.size());
    const int room = rect.width() - moreWidth - int(shown) * (chipDot + 4 + chipSpacing);
    const int nameWidth = std::clamp(room / int(shown), 0, chipNameWidth);
    int x = rect.left();
    painter.setFont(caption2);
    for (qsizetype i = 0; i < shown; ++i) {
        const RgbaColor c = groups[i].color();
        const QRectF dot(x, rect.top() + (rect.height() - chipDot) / 2.0, chipDot, chipDot);
        // On the selection a dot of any colour keeps a ring of the selection's text colour, so that
        // a blue group reads on the blue.
        painter.setPen(ink.selected ? QPen(ink.label, 1.5) : QPen(Qt::NoPen));
        painter.setBrush(QColor::fromRgbF(float(c.red), float(c.green), float(c.blue), float(c.alpha)));
        painter.drawEllipse(ink.selected ? dot.adjusted(-0.5, -0.5, 0.5, 0.5) : dot);
        x += chipDot + 4;
        const QString name = BoundedText::elided(groups[i].name, caption2, nameWidth);
        const int width = metrics.horizontalAdvance(name);
        painter.setPen(ink.secondary);
        painter.drawText(QRect(x, rect.top(), width, rect.height()), Qt::AlignLeft | Qt::AlignVCenter, name);
        x += width + chipSpacing;
    }
    if (!more.isEmpty()) {
        painter.setPen(ink.tertiary);
        painter.drawText(QRect(x, rect.top(), moreWidth, rect.height()), Qt::AlignLeft | Qt::AlignVCenter, more);
    }
}

// Rows are parted by a line, except where the selection's own colour parts them.
bool showsSeparator(const QStyleOptionViewItem& option, const QModelIndex& index)
{
    if (option.state & QStyle::State_Selected || index.row() + 1 >= index.model()->rowCount())
        return false;
    const auto* view = qobject_cast<const QAbstractItemView*>(option.widget);
    return !(view && view->selectionModel() && view->selectionModel()->isRowSelected(index.row() + 1));
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

// No width of its own: the list widens every row to its viewport, and only a row that asks for
// less keeps following it. The list keeps one size for all its rows from its last layout; a width
// taken from that layout outlived a scroll bar's showing or the column's narrowing, and the rows
// were then hit-tested wider than they were painted, their grips a scroll bar's width or more to
// the right of where they were drawn.
QSize SelectionRowDelegate::sizeHint(const QStyleOptionViewItem&, const QModelIndex&) const
{
    return QSize(0, rowHeight());
}

QRect SelectionRowDelegate::gripRect(const QRect& row) const
{
    if (!showsGrip_)
        return {};
    const int side = gripSymbol + 2 * gripPadding;
    const QFontMetrics caption(TextStyles::caption());
    // The grip stands before the time column, whose width follows its text; a fixed reserve keeps
    // the grip where the pointer finds it, in the middle of the row's height.
    const int timeWidth = caption.horizontalAdvance(QStringLiteral("88 minutes ago"));
    return QRect(row.right() - horizontalPadding - timeWidth - spacing - side + 1, row.center().y() - side / 2 + 1,
                 side, side);
}

SelectionRowDelegate::Geometry SelectionRowDelegate::geometry(const QRect& row, int headlineLines, bool hasGroups,
                                                              int ageWidth) const
{
    const int body = lineHeight(TextStyles::body());
    const int caption = lineHeight(TextStyles::caption());
    const int caption2 = lineHeight(TextStyles::caption2());
    const int block = headlineLines * body + lineSpacing + caption + (hasGroups ? lineSpacing + caption2 : 0);
    const int top = row.top() + std::max(verticalPadding, (row.height() - block) / 2);
    const int right = row.right() - horizontalPadding + 1;

    Geometry g;
    g.icon = QRect(row.left() + horizontalPadding, top, iconSize, iconSize);
    g.time = QRect(right - ageWidth, top, ageWidth, caption);
    const QFontMetrics small(TextStyles::caption2());
    const int copiedWidth = small.horizontalAdvance(QStringLiteral("Copied")) + 3 + small.height();
    g.copied = QRect(right - copiedWidth, top + caption + lineSpacing, copiedWidth, small.height());
    g.grip = gripRect(row);
    const int x = g.icon.right() + 1 + spacing;
    int textRight = right - ageWidth - spacing;
    if (!g.grip.isEmpty())
        textRight = std::min(textRight, g.grip.left() - spacing);
    const int width = std::max(0, textRight - x);
    g.headline = QRect(x, top, width, headlineLines * body);
    g.source = QRect(x, g.headline.bottom() + 1 + lineSpacing, width, caption);
    if (hasGroups)
        g.chips = QRect(x, g.source.bottom() + 1 + lineSpacing, width, caption2);
    g.separator = QRect(x, row.bottom(), std::max(0, right - x), 1);
    return g;
}

QStringList SelectionRowDelegate::headlineLines(const QString& headline, int width)
{
    const QFont body = TextStyles::body();
    QTextLayout layout(headline, body);
    QTextOption wrap;
    wrap.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(wrap);
    layout.beginLayout();
    QTextLine first = layout.createLine();
    if (first.isValid())
        first.setLineWidth(width);
    QTextLine second = layout.createLine();
    layout.endLayout();
    if (!first.isValid())
        return {headline};
    QStringList lines{headline.mid(first.textStart(), first.textLength())};
    if (second.isValid())
        lines.append(QFontMetrics(body).elidedText(headline.mid(second.textStart()), Qt::ElideRight, width));
    return lines;
}

void SelectionRowDelegate::paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const
{
    const auto* model = qobject_cast<const SelectionListModel*>(index.model());
    const std::optional<Selection> selection = model ? model->selectionAt(index.row()) : std::nullopt;
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
    const QColor onSelection = option.palette.color(QPalette::HighlightedText);
    const Ink ink{selected ? onSelection : colors.label, selected ? onSelection : colors.secondaryLabel,
                  selected ? onSelection : colors.tertiaryLabel, selected};

    const QString age = model->relativeDate(*selection);
    const QList<SelectionGroup> groups = model->groupsOf(*selection);
    const int ageWidth = QFontMetrics(TextStyles::caption()).horizontalAdvance(age);
    const QRect row = option.rect;
    const QStringList lines
        = headlineLines(index.data(Qt::DisplayRole).toString(), geometry(row, 2, false, ageWidth).headline.width());
    const Geometry g = geometry(row, int(lines.size()), !groups.isEmpty(), ageWidth);

    painter->save();
    painter->setRenderHint(QPainter::Antialiasing);
    drawIcon(*painter, icons_, *selection, g.icon, ink);
    drawTime(*painter, g, age, model->isCopied(selection->id), ink);
    if (!g.grip.isEmpty())
        Symbols::paint(*painter, QStringLiteral("line.3.horizontal"),
                       QRectF(g.grip.adjusted(gripPadding, gripPadding, -gripPadding, -gripPadding)), ink.tertiary);
    drawHeadline(*painter, lines, g.headline, ink);
    drawSource(*painter, *selection, g.source, ink);
    if (!groups.isEmpty())
        drawChips(*painter, groups, g.chips, ink);
    if (showsSeparator(option, index))
        painter->fillRect(g.separator, colors.separator);
    // The row the keyboard is on while the list holds it, chosen or not: a ring inside its edge.
    if (option.state & QStyle::State_HasFocus) {
        painter->setPen(QPen(selected ? onSelection : colors.accent, 2));
        painter->setBrush(Qt::NoBrush);
        painter->drawRoundedRect(QRectF(row).adjusted(2, 2, -2, -2), 4, 4);
    }
    painter->restore();
}

} // namespace vellicord
