#include "Tovak/shell/CaptureToastView.h"

#include "Tovak/kit/BoundedText.h"
#include "Tovak/kit/Symbols.h"
#include "Tovak/kit/TextStyles.h"
#include "Tovak/kit/Theme.h"

#include <QPainter>
#include <QPainterPath>
#include <QTextLayout>

#include <algorithm>

namespace vellicord {
namespace {

constexpr int symbolSide = 20;
constexpr int spacing = 10;
constexpr int maxTextWidth = 340;

QFont titleFont() { return TextStyles::system(12, QFont::DemiBold); }
QFont snippetFont() { return TextStyles::system(11); }
QFont sourceFont() { return TextStyles::system(10); }

// The snippet's lines (at most two, the second elided) at a width.
QStringList snippetLines(const QString& text, int width)
{
    QString flat = text;
    flat.replace(u'\n', u' ');
    QTextLayout layout(flat, snippetFont());
    QTextOption option;
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QStringList lines;
    while (lines.size() < 2) {
        QTextLine line = layout.createLine();
        if (!line.isValid())
            break;
        line.setLineWidth(width);
        if (lines.size() == 1) {
            lines.append(QFontMetrics(snippetFont()).elidedText(flat.mid(line.textStart()),
                                                                Qt::ElideRight, width));
            break;
        }
        lines.append(flat.mid(line.textStart(), line.textLength()).trimmed());
    }
    layout.endLayout();
    return lines;
}

// A capture's first line or address may run to megabytes: the panel keeps what its lines can show.
CaptureToastView::Content bounded(CaptureToastView::Content content)
{
    content.title = BoundedText::forLines(content.title, maxTextWidth, 1);
    content.snippet = BoundedText::forLines(content.snippet, maxTextWidth, 2);
    if (content.source)
        content.source = BoundedText::forLines(*content.source, maxTextWidth, 1, Qt::ElideMiddle);
    return content;
}

} // namespace

struct CaptureToastView::Layout {
    QRectF panel;
    QRectF symbol;
    int textX = 0;
    int textWidth = 0;
    QStringList snippet;
    bool hasSource = false;
};

CaptureToastView::CaptureToastView(Content content, bool translucent, QWidget* parent)
    : QWidget(parent)
    , content_(bounded(std::move(content)))
    , translucent_(translucent)
{
    setAttribute(Qt::WA_TranslucentBackground, translucent_);
    setFixedSize(sizeHint());
    if (!translucent_) {
        QPainterPath shape;
        shape.addRoundedRect(panelRect(), 12, 12);
        setMask(QRegion(shape.toFillPolygon().toPolygon()));
    }
}

QRectF CaptureToastView::panelRect() const
{
    return layout().panel;
}

CaptureToastView::Layout CaptureToastView::layout() const
{
    Layout l;
    l.hasSource = content_.source && !content_.source->isEmpty();
    const QFontMetrics title(titleFont()), snippet(snippetFont()), source(sourceFont());
    int natural = title.horizontalAdvance(content_.title);
    QString flatSnippet = content_.snippet;
    flatSnippet.replace(u'\n', u' ');
    natural = std::max(natural, snippet.horizontalAdvance(flatSnippet));
    if (l.hasSource)
        natural = std::max(natural, source.horizontalAdvance(*content_.source));
    l.textWidth = std::clamp(natural + 1, 60, maxTextWidth);
    l.snippet = snippetLines(content_.snippet, l.textWidth);

    int textHeight = title.height();
    if (!l.snippet.isEmpty())
        textHeight += 2 + int(l.snippet.size()) * snippet.lineSpacing();
    if (l.hasSource)
        textHeight += 2 + source.height();
    const int contentHeight = std::max(textHeight, symbolSide);
    const int m = shadowMargin();
    // The shadow falls 4 points down, so the panel sits 4 higher in its margin.
    const int top = translucent_ ? m - 4 : 0;
    l.panel = QRectF(m, top, 14 + symbolSide + spacing + l.textWidth + 14, 10 + contentHeight + 10);
    l.symbol = QRectF(m + 14, top + 10 - 1, symbolSide, symbolSide);
    l.textX = m + 14 + symbolSide + spacing;
    return l;
}

QSize CaptureToastView::sizeHint() const
{
    const Layout l = layout();
    return {int(l.panel.width()) + 2 * shadowMargin(), int(l.panel.height()) + 2 * shadowMargin()};
}

void CaptureToastView::paintEvent(QPaintEvent*)
{
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const ThemeColors colors = Theme::colors(palette());
    const Layout l = layout();

    // A soft shadow, 4 points down: rings of falling opacity around the panel.
    QPainterPath panelPath;
    panelPath.addRoundedRect(l.panel, 12, 12);
    painter.setPen(Qt::NoPen);
    for (int ring = 14; translucent_ && ring >= 1; --ring) {
        const qreal spread = ring;
        QPainterPath shadow;
        shadow.addRoundedRect(l.panel.translated(0, 4).adjusted(-spread, -spread, spread, spread),
                              12 + spread, 12 + spread);
        const qreal falloff = 1.0 - spread / 15.0;
        painter.setBrush(QColor(0, 0, 0, int(255 * 0.18 * falloff * falloff / 7)));
        painter.drawPath(shadow);
    }
    QColor background = colors.panelBackground;
    if (!translucent_)
        background.setAlpha(255);
    painter.setBrush(background);
    painter.drawPath(panelPath);
    QColor border = palette().color(QPalette::WindowText);
    border.setAlphaF(0.08);
    painter.setPen(QPen(border, 1));
    painter.setBrush(Qt::NoBrush);
    painter.drawRoundedRect(l.panel.adjusted(0.5, 0.5, -0.5, -0.5), 11.5, 11.5);

    Symbols::paint(painter,
                   content_.success ? QStringLiteral("checkmark.circle.fill")
                                    : QStringLiteral("exclamationmark.triangle.fill"),
                   l.symbol, content_.success ? colors.green : colors.orange);

    const QFontMetrics title(titleFont()), snippet(snippetFont()), source(sourceFont());
    int y = int(l.panel.top()) + 10;
    painter.setPen(colors.label);
    painter.setFont(titleFont());
    painter.drawText(QRect(l.textX, y, l.textWidth, title.height()), Qt::AlignLeft | Qt::AlignVCenter,
                     title.elidedText(content_.title, Qt::ElideRight, l.textWidth));
    y += title.height() + 2;
    painter.setPen(colors.secondaryLabel);
    painter.setFont(snippetFont());
    for (const QString& line : l.snippet) {
        painter.drawText(QRect(l.textX, y, l.textWidth, snippet.lineSpacing()),
                         Qt::AlignLeft | Qt::AlignVCenter, line);
        y += snippet.lineSpacing();
    }
    if (l.hasSource) {
        y += 2;
        painter.setPen(colors.tertiaryLabel);
        painter.setFont(sourceFont());
        painter.drawText(QRect(l.textX, y, l.textWidth, source.height()), Qt::AlignLeft | Qt::AlignVCenter,
                         source.elidedText(*content_.source, Qt::ElideMiddle, l.textWidth));
    }
}

} // namespace vellicord
