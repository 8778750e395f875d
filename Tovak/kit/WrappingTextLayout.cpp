#include "Tovak/kit/WrappingTextLayout.h"

#include "Tovak/kit/AccessibleTextView.h"
#include "Tovak/kit/SteadyCaret.h"

#include <QElapsedTimer>
#include <QFontMetricsF>
#include <QPlainTextEdit>
#include <QStyle>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextLayout>

#include <algorithm>
#include <climits>
#include <cmath>

namespace vellicord {

namespace {

// As far as a line looks ahead for the end of its first word before taking the text for a run:
// every ordinary word ends well within it.
constexpr qsizetype wordReach = 64;
// A paragraph this short is laid out by Qt's own rule alone: even a run of its whole length costs
// that rule no more than a few milliseconds.
constexpr qsizetype shortParagraph = 4096;
// Qt's rule has read far ahead of a line when it took longer than this, and this for each
// character of the line: many times what a line takes, while a thousand characters or so are read.
constexpr qint64 readFarNs = 50'000;
constexpr qint64 readFarNsPerCharacter = 1'000;

} // namespace

WrappingTextLayout::Lines::Lines(QTextLayout& layout, const QString& text)
    : layout_(layout)
    , text_(text)
    , own_(layout.textOption())
    , anywhere_(own_)
    , using_(&own_)
{
    anywhere_.setWrapMode(QTextOption::WrapAnywhere);
    // Qt's other modes cost a line no more than the text it holds.
    if (own_.wrapMode() == QTextOption::WrapAtWordBoundaryOrAnywhere && text_.size() > shortParagraph)
        breaks_.emplace(text_, own_);
}

WrappingTextLayout::Lines::~Lines()
{
    use(own_);
}

void WrappingTextLayout::Lines::use(const QTextOption& option)
{
    if (using_ == &option)
        return;
    layout_.setTextOption(option);
    using_ = &option;
}

// Qt's rule takes the words that fit, and when the first word alone is too wide for the line,
// as much of it as fits. A first word that ends soon, or may, is measured as Qt measures it.
// Otherwise the line starts a run (or goes on with one): it takes as much as fits at once, and only
// when a word ends within what it took after all, or may end there, is the line laid out again by
// words. Qt's rule then measures the words up to the first that does not fit, so each long run is
// measured whole only once, by the line before it; a run where nobody knew a word could not end, a
// few times more, until its breaks are found.
void WrappingTextLayout::Lines::fill(QTextLine& line, qreal width)
{
    if (!breaks_) {
        line.setLineWidth(width);
        return;
    }
    const qsizetype start = line.textStart();
    if (breaks_->within(start, start + wordReach) != ParagraphBreaks::Found::none) {
        byWords(line, width);
        return;
    }
    use(anywhere_);
    line.setLineWidth(width);
    const qsizetype end = start + line.textLength();
    if (end < text_.size() && end > start + wordReach
        && breaks_->within(start + wordReach, end) != ParagraphBreaks::Found::none)
        byWords(line, width);
}

void WrappingTextLayout::Lines::byWords(QTextLine& line, qreal width)
{
    use(own_);
    QElapsedTimer measuring;
    measuring.start();
    line.setLineWidth(width);
    if (measuring.nsecsElapsed() > readFarNs + readFarNsPerCharacter * line.textLength())
        breaks_->readFar(line.textStart(), line.textStart() + line.textLength());
}

WrappingTextLayout::WrappingTextLayout(QTextDocument* document, QWidget* view)
    : QPlainTextDocumentLayout(document)
    , view_(view)
{
}

void WrappingTextLayout::install(QPlainTextEdit& editor)
{
    auto* document = new QTextDocument(&editor);
    document->setDocumentLayout(new WrappingTextLayout(document, &editor));
    document->setDefaultFont(editor.font());
    editor.setDocument(document);
    new SteadyCaret(editor);
    AccessibleTextView::attach(editor);
}

qreal WrappingTextLayout::viewWidth() const
{
    // The width the view set, which the base layout keeps to itself; the frame's width is the
    // widest of it and the lines the base layout made, and the base layout makes none here.
    return std::max<qreal>(0, frameBoundingRect(nullptr).width());
}

// A long paragraph is not laid out before its view is shown: the width the view has until then
// is seldom the one it shows the text at, and laying the paragraph out anew at that one would
// double the wait. Until then the paragraph is taken for one line, and a cursor in it is drawn at
// its start.
bool WrappingTextLayout::waitsToBeShown(const QTextBlock& block) const
{
    return block.length() > shortParagraph && (viewWidth() <= 0 || (view_ && !view_->isVisible()));
}

void WrappingTextLayout::layoutBlock(const QTextBlock& block)
{
    QTextDocument* document = this->document();
    QTextLayout* layout = block.layout();
    const QTextBlockFormat format = block.blockFormat();
    const qreal margin = document->documentMargin();
    const qreal width = viewWidth();
    // A paragraph that starts right to left reads from the right edge: aligned there, its first
    // line indented there, as text is set by its natural direction. Without a width to align to,
    // no line is aligned anywhere but the left.
    const Qt::LayoutDirection direction = block.textDirection();
    QTextOption option = document->defaultTextOption();
    option.setTextDirection(direction);
    if (width > 0)
        option.setAlignment(QStyle::visualAlignment(direction, option.alignment()));
    if (!format.tabPositions().isEmpty())
        option.setTabs(format.tabPositions());
    layout->setTextOption(option);
    // Before the view has a width, no line wraps.
    const qreal available
        = (width > 0 ? width : qreal(INT_MAX)) - 2 * margin - format.leftMargin() - format.rightMargin();
    const int linesBefore = document->lineCount();
    // A paragraph's layout reads its text from the document, with what an input method is
    // composing put in.
    QString text = block.text();
    if (!layout->preeditAreaText().isEmpty())
        text.insert(layout->preeditAreaPosition(), layout->preeditAreaText());
    layout->beginLayout();
    {
        Lines lines(*layout, text);
        qreal y = format.topMargin();
        for (bool first = true;; first = false) {
            QTextLine line = layout->createLine();
            if (!line.isValid())
                break;
            const qreal indent = first ? format.textIndent() : 0;
            line.setLeadingIncluded(true);
            lines.fill(line, available - indent);
            line.setPosition(QPointF(margin + format.leftMargin() + (direction == Qt::LeftToRight ? indent : 0), y));
            y += line.height();
            if (line.leading() < 0)
                y += std::ceil(line.leading());
        }
    }
    layout->endLayout();
    const_cast<QTextBlock&>(block).setLineCount(block.isVisible() ? layout->lineCount() : 0);
    if (document->lineCount() != linesBefore)
        Q_EMIT documentSizeChanged(documentSize());
}

QRectF WrappingTextLayout::blockBoundingRect(const QTextBlock& block) const
{
    if (!block.isValid())
        return {};
    QTextLayout* layout = block.layout();
    if (layout->lineCount() == 0) {
        if (waitsToBeShown(block))
            return QRectF(0, 0, 0, QFontMetricsF(document()->defaultFont()).height());
        const_cast<WrappingTextLayout*>(this)->layoutBlock(block);
    }
    if (!block.isVisible())
        return {};
    QRectF bounds(QPointF(0, 0), layout->boundingRect().bottomRight());
    if (layout->lineCount() == 1)
        bounds.setWidth(std::max(bounds.width(), layout->lineAt(0).naturalTextWidth()));
    const qreal margin = document()->documentMargin();
    bounds.adjust(0, 0, margin, 0);
    // The space after a paragraph is space between paragraphs: the last ends at its last line.
    bounds.adjust(0, 0, 0, block.next().isValid() ? block.blockFormat().bottomMargin() : margin);
    return bounds;
}

qreal WrappingTextLayout::textHeight() const
{
    qreal height = document()->documentMargin();
    for (QTextBlock block = document()->begin(); block.isValid(); block = block.next())
        height += blockBoundingRect(block).height();
    return height;
}

// The base layout lays a paragraph out again at once when only its text changed, by its own rule;
// this one does the same by its own, but for a long paragraph, and a paragraph not laid out yet
// waits to be shown. Changes across paragraphs are the base layout's: it only marks them to be
// laid out.
void WrappingTextLayout::documentChanged(int from, int charsRemoved, int charsAdded)
{
    QTextDocument* document = this->document();
    const int blocks = document->blockCount();
    const QTextBlock first = document->findBlock(from);
    const QTextBlock last = document->findBlock(std::max(0, from + charsRemoved + charsAdded - 1));
    if (first == last && blocks == blockCount_) {
        if (first.isValid() && first.length() && first.layout()->lineCount() > 0) {
            if (first.length() > shortParagraph) {
                // Laid out when next shown or measured: what changed its text often changes the
                // view's width next (a scroll bar comes or goes), and the long paragraph is then
                // laid out once.
                first.layout()->clearLayout();
            } else {
                const qreal before = blockBoundingRect(first).height();
                layoutBlock(first);
                if (blockBoundingRect(first).height() == before) {
                    Q_EMIT updateBlock(first);
                    return;
                }
            }
        }
        Q_EMIT update(QRectF(0., -document->documentMargin(), 1000000000., 1000000000.));
        return;
    }
    blockCount_ = blocks;
    QPlainTextDocumentLayout::documentChanged(from, charsRemoved, charsAdded);
}

} // namespace vellicord
