#include "Tovak/library/RichMarkdownView.h"

#include "Tovak/kit/AccessibleTextView.h"
#include "Tovak/kit/AttributedDocument.h"
#include "Tovak/kit/WrappingTextLayout.h"

#include <QApplication>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTextCursor>
#include <QTextDocument>

#include <cmath>

namespace vellicord {

namespace {

// A text document asks its parent, then the file system, for any image or style sheet it names;
// ours names none, and would load nothing if it did.
class ClosedDocument final : public QTextDocument {
public:
    using QTextDocument::QTextDocument;

protected:
    QVariant loadResource(int, const QUrl&) override { return {}; }
};

} // namespace

RichMarkdownView::RichMarkdownView(QWidget* parent)
    : QPlainTextEdit(parent)
{
    setDocument(newDocument());
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard | Qt::LinksAccessibleByMouse);
    setAcceptDrops(false);
    setUndoRedoEnabled(false);
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QPlainTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    // The width is the box's to give: a long line wraps rather than widening the inspector.
    // Never squeezed below its text: the scroll area around it scrolls instead.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Minimum);
    AccessibleTextView::attach(*this);
}

void RichMarkdownView::setAttributedText(const AttributedText& text)
{
    if (replacements_ > 0 && text == shown_)
        return;
    shown_ = text;
    ++replacements_;
    QTextDocument* next = newDocument();
    next->setDefaultFont(document()->defaultFont());
    next->setDefaultTextOption(document()->defaultTextOption());
    QTextDocument* previous = document();
    setDocument(next);
    // Taking a long document apart takes a while: not while the selection waits for it.
    previous->deleteLater();
    // The scroll bar as the text needs it, once the last text is gone (the width it leaves would
    // have the last text laid out again), and before this one is laid out at that width.
    setScrolls(shown_.length() > scrollingLength);
    {
        // Filled once the view has it, the text is laid out once, at the view's width (a document
        // the view takes is laid out where its cursor is before the view gives it a width), and
        // then only as far as is seen. The view hears nothing of the filling: it shows a new text.
        const QSignalBlocker quiet(next);
        AttributedDocument::fill(*next, shown_, palette().color(QPalette::Link));
    }
    // A new text is read from its start, wherever the last one was scrolled to.
    setTextCursor(QTextCursor(next));
    verticalScrollBar()->setValue(0);
    fitHeight();
}

QTextDocument* RichMarkdownView::newDocument()
{
    auto* made = new ClosedDocument(this);
    made->setDocumentLayout(new WrappingTextLayout(made, this));
    made->setDocumentMargin(0);
    // The undo history of a read-only view would only hold a second copy of the text.
    made->setUndoRedoEnabled(false);
    return made;
}

void RichMarkdownView::setScrolls(bool scrolls)
{
    if (scrolls == scrolls_)
        return;
    scrolls_ = scrolls;
    // Always there while it scrolls, so that the text's width never changes with how much of it
    // is laid out: a scroll bar that came and went would have the text laid out again.
    setVerticalScrollBarPolicy(scrolls ? Qt::ScrollBarAlwaysOn : Qt::ScrollBarAlwaysOff);
    if (scrolls)
        setMinimumHeight(scrollingHeight_);
    updateGeometry();
}

void RichMarkdownView::setScrollingHeight(int height)
{
    if (height == scrollingHeight_)
        return;
    scrollingHeight_ = height;
    if (scrolls_) {
        setMinimumHeight(height);
        updateGeometry();
    }
}

// The text's height at the width it has, as the least height the layout may give: a scroll area
// around it then scrolls rather than squeezing it, whatever heights its layouts ask of it.
void RichMarkdownView::fitHeight()
{
    // Measuring the whole text is what the scrolling view is there to avoid.
    if (scrolls_)
        return;
    const int height = textHeight();
    if (height != minimumHeight())
        setMinimumHeight(height);
}

int RichMarkdownView::textHeight() const
{
    // A plain-text view scrolls by lines, and takes its last line for out of sight unless a pixel
    // is left below it: without that pixel, a wheel turned over the passage would scroll the
    // passage by a line rather than the inspector.
    return int(std::ceil(static_cast<const WrappingTextLayout*>(document()->documentLayout())->textHeight())) + 1;
}

QSize RichMarkdownView::sizeHint() const
{
    return {0, minimumHeight()};
}

QSize RichMarkdownView::minimumSizeHint() const
{
    return {0, minimumHeight()};
}

void RichMarkdownView::resizeEvent(QResizeEvent* event)
{
    QPlainTextEdit::resizeEvent(event);
    fitHeight();
}

void RichMarkdownView::mousePressEvent(QMouseEvent* event)
{
    pressedLink_ = event->button() == Qt::LeftButton ? anchorAt(event->position().toPoint()) : QString();
    pressedAt_ = event->position().toPoint();
    QPlainTextEdit::mousePressEvent(event);
}

// A click on a link: pressed and released on it without moving as far as a drag, so that a
// selection begun or ended on a link does not open it.
void RichMarkdownView::mouseReleaseEvent(QMouseEvent* event)
{
    QPlainTextEdit::mouseReleaseEvent(event);
    const QString link = std::exchange(pressedLink_, QString());
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && !link.isEmpty() && anchorAt(at) == link
        && (at - pressedAt_).manhattanLength() < QApplication::startDragDistance())
        Q_EMIT linkActivated(link);
}

void RichMarkdownView::changeEvent(QEvent* event)
{
    QPlainTextEdit::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        AttributedDocument::recolorLinks(*document(), palette().color(QPalette::Link));
}

QVariant RichMarkdownView::loadResource(int, const QUrl&)
{
    return {};
}

} // namespace vellicord
