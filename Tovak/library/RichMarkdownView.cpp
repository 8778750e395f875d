#include "Tovak/library/RichMarkdownView.h"

#include "Tovak/kit/AttributedDocument.h"

#include <QApplication>
#include <QMouseEvent>
#include <QResizeEvent>
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
    : QTextEdit(parent)
{
    setDocument(new ClosedDocument(this));
    document()->setDocumentMargin(0);
    document()->setUndoRedoEnabled(false);
    setReadOnly(true);
    setTextInteractionFlags(Qt::TextSelectableByMouse | Qt::TextSelectableByKeyboard | Qt::LinksAccessibleByMouse);
    setAcceptDrops(false);
    setUndoRedoEnabled(false);
    setFrameShape(QFrame::NoFrame);
    setAutoFillBackground(false);
    viewport()->setAutoFillBackground(false);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setLineWrapMode(QTextEdit::WidgetWidth);
    setWordWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    // The width is the box's to give: a long line wraps rather than widening the inspector.
    // Never squeezed below its text: the scroll area around it scrolls instead.
    setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Minimum);
}

void RichMarkdownView::setAttributedText(const AttributedText& text)
{
    if (replacements_ > 0 && text == shown_)
        return;
    shown_ = text;
    ++replacements_;
    AttributedDocument::fill(*document(), shown_, palette().color(QPalette::Link));
    fitHeight();
}

// The text's height at the width it has, as the least height the layout may give: a scroll area
// around it then scrolls rather than squeezing it, whatever heights its layouts ask of it.
void RichMarkdownView::fitHeight()
{
    const int height = heightForWidth(std::max(viewport()->width(), 1));
    if (height != minimumHeight())
        setMinimumHeight(height);
}

int RichMarkdownView::heightForWidth(int width) const
{
    if (width <= 0)
        return -1;
    QTextDocument* text = document();
    // At the view's own width the text is laid out already.
    if (text->textWidth() != width)
        text->setTextWidth(width);
    return int(std::ceil(text->size().height()));
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
    QTextEdit::resizeEvent(event);
    fitHeight();
}

void RichMarkdownView::mousePressEvent(QMouseEvent* event)
{
    pressedLink_ = event->button() == Qt::LeftButton ? anchorAt(event->position().toPoint()) : QString();
    pressedAt_ = event->position().toPoint();
    QTextEdit::mousePressEvent(event);
}

// A click on a link: pressed and released on it without moving as far as a drag, so that a
// selection begun or ended on a link does not open it.
void RichMarkdownView::mouseReleaseEvent(QMouseEvent* event)
{
    QTextEdit::mouseReleaseEvent(event);
    const QString link = std::exchange(pressedLink_, QString());
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton && !link.isEmpty() && anchorAt(at) == link
        && (at - pressedAt_).manhattanLength() < QApplication::startDragDistance())
        Q_EMIT linkActivated(link);
}

void RichMarkdownView::changeEvent(QEvent* event)
{
    QTextEdit::changeEvent(event);
    if (event->type() == QEvent::PaletteChange)
        AttributedDocument::recolorLinks(*document(), palette().color(QPalette::Link));
}

QVariant RichMarkdownView::loadResource(int, const QUrl&)
{
    return {};
}

} // namespace vellicord
