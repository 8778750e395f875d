#include "Tovak/kit/AccessibleTextView.h"

#include <QAbstractTextDocumentLayout>
#include <QAccessible>
#include <QPlainTextEdit>
#include <QPointer>
#include <QTextBlock>
#include <QTextLayout>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <optional>

namespace vellicord {

namespace {

// Where the view starts to paint, which it keeps to itself and its subclasses.
struct PaintOrigin : QPlainTextEdit {
    static QTextBlock topBlock(const QPlainTextEdit& view) { return (view.*&PaintOrigin::firstVisibleBlock)(); }
    static QPointF topLeft(const QPlainTextEdit& view) { return (view.*&PaintOrigin::contentOffset)(); }
};

// A paragraph as the view draws it: its top left in the viewport.
struct Placed {
    QTextBlock block;
    QPointF origin;
};

// How tall the view draws a paragraph; unknown for one not laid out yet, which the view has not
// drawn either.
std::optional<qreal> heightOf(const QPlainTextEdit& view, const QTextBlock& block)
{
    if (!block.isVisible())
        return 0.0;
    if (block.layout()->lineCount() == 0)
        return std::nullopt;
    return view.document()->documentLayout()->blockBoundingRect(block).height();
}

// Stacks the paragraphs as the view does when it paints, from one placed already, up or down as
// `towards` says (below 0: the one sought is above; above 0: below; 0: this one), and stops at a
// paragraph not laid out.
std::optional<Placed> stackFrom(const QPlainTextEdit& view, Placed from,
                                const std::function<int(const QTextBlock&, qreal top, qreal height)>& towards)
{
    QTextBlock block = from.block;
    qreal top = from.origin.y();
    int way = 0;
    while (block.isValid()) {
        const std::optional<qreal> height = heightOf(view, block);
        if (!height)
            return std::nullopt;
        // Going up, a paragraph ends where the one below it begins.
        if (way < 0)
            top -= *height;
        way = towards(block, top, *height);
        if (way == 0)
            return Placed{block, QPointF(from.origin.x(), top)};
        if (way > 0) {
            top += *height;
            block = block.next();
        } else {
            block = block.previous();
        }
    }
    return std::nullopt;
}

// The box a character of the paragraph is drawn in, in the viewport: as tall as its line, from the
// edge the caret takes before the character to the one it takes after it, the right edge first
// for a right-to-left character. A character within a cluster is drawn in the cluster's box.
QRectF boxOf(const Placed& placed, int position)
{
    QTextLayout* layout = placed.block.layout();
    if (!layout->isValidCursorPosition(position))
        position = layout->previousCursorPosition(position);
    const QTextLine line = layout->lineForTextPosition(position);
    if (!line.isValid())
        return {};
    const qreal before = line.cursorToX(position, QTextLine::Leading);
    const qreal after = line.cursorToX(position, QTextLine::Trailing);
    return QRectF(QPointF(std::min(before, after), line.y()),
                  QPointF(std::max(before, after), line.y() + line.height()))
        .translated(placed.origin);
}

// The toolkit's interface for a plain-text view, with the text's geometry answered from the view.
// The toolkit's object is kept in its cache beside this one, which its lookups find first, and
// goes with this one.
class TextViewInterface final : public QAccessibleInterface, public QAccessibleTextInterface {
public:
    TextViewInterface(QPlainTextEdit& view, QAccessibleInterface& toolkit)
        : view_(&view)
        , toolkit_(&toolkit)
        , toolkitId_(QAccessible::uniqueId(&toolkit))
        , text_(*toolkit.textInterface())
    {
    }
    ~TextViewInterface() override
    {
        if (QAccessible::accessibleInterface(toolkitId_) == toolkit_)
            QAccessible::deleteAccessibleInterface(toolkitId_);
    }

    QRect characterRect(int offset) const override
    {
        if (!view_ || offset < 0 || offset >= characterCount())
            return {};
        const QTextBlock block = view_->document()->findBlock(offset);
        const std::optional<Placed> placed
            = find([&block](const QTextBlock& at, qreal, qreal) { return block.blockNumber() - at.blockNumber(); });
        if (!placed || !block.isVisible())
            return {};
        const QRect box = boxOf(*placed, offset - block.position()).toRect();
        return QRect(view_->viewport()->mapToGlobal(box.topLeft()), box.size());
    }

    int offsetAtPoint(const QPoint& point) const override
    {
        if (!view_)
            return -1;
        const QPointF at = view_->viewport()->mapFromGlobal(QPointF(point));
        const std::optional<Placed> placed = find([&at](const QTextBlock&, qreal top, qreal height) {
            return at.y() < top ? -1 : at.y() >= top + height ? 1 : 0;
        });
        if (!placed)
            return -1;
        const QTextLayout* layout = placed->block.layout();
        const qreal y = at.y() - placed->origin.y();
        for (int i = 0; i < layout->lineCount(); ++i) {
            const QTextLine line = layout->lineAt(i);
            if (y < line.y() || y >= line.y() + line.height())
                continue;
            // Each of the line's characters is tried in turn: Qt's own guess (xToCursor) misses by the
            // width of the spaces that end a wrapped right-to-left line.
            const int end = line.textStart() + line.textLength();
            for (int position = line.textStart(); position < end; position = layout->nextCursorPosition(position)) {
                const QRectF box = boxOf(*placed, position);
                if (at.x() >= box.left() && at.x() < box.right())
                    return placed->block.position() + position;
            }
            return -1;
        }
        return -1;
    }

    void selection(int index, int* start, int* end) const override { text_.selection(index, start, end); }
    int selectionCount() const override { return text_.selectionCount(); }
    void addSelection(int start, int end) override { text_.addSelection(start, end); }
    void removeSelection(int index) override { text_.removeSelection(index); }
    void setSelection(int index, int start, int end) override { text_.setSelection(index, start, end); }
    int cursorPosition() const override { return text_.cursorPosition(); }
    void setCursorPosition(int position) override { text_.setCursorPosition(position); }
    QString text(int start, int end) const override { return text_.text(start, end); }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType type, int* start, int* end) const override
    {
        return text_.textBeforeOffset(offset, type, start, end);
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType type, int* start, int* end) const override
    {
        return text_.textAfterOffset(offset, type, start, end);
    }
    QString textAtOffset(int offset, QAccessible::TextBoundaryType type, int* start, int* end) const override
    {
        return text_.textAtOffset(offset, type, start, end);
    }
    int characterCount() const override { return text_.characterCount(); }
    void scrollToSubstring(int start, int end) override { text_.scrollToSubstring(start, end); }
    QString attributes(int offset, int* start, int* end) const override { return text_.attributes(offset, start, end); }

    bool isValid() const override { return toolkit_->isValid(); }
    QObject* object() const override { return toolkit_->object(); }
    QWindow* window() const override { return toolkit_->window(); }
    QList<QPair<QAccessibleInterface*, QAccessible::Relation>> relations(QAccessible::Relation match) const override
    {
        return toolkit_->relations(match);
    }
    QAccessibleInterface* focusChild() const override { return toolkit_->focusChild(); }
    QAccessibleInterface* childAt(int x, int y) const override { return toolkit_->childAt(x, y); }
    QAccessibleInterface* parent() const override { return toolkit_->parent(); }
    QAccessibleInterface* child(int index) const override { return toolkit_->child(index); }
    int childCount() const override { return toolkit_->childCount(); }
    int indexOfChild(const QAccessibleInterface* child) const override { return toolkit_->indexOfChild(child); }
    QString text(QAccessible::Text kind) const override { return toolkit_->text(kind); }
    void setText(QAccessible::Text kind, const QString& text) override { toolkit_->setText(kind, text); }
    QRect rect() const override { return toolkit_->rect(); }
    QAccessible::Role role() const override { return toolkit_->role(); }
    QAccessible::State state() const override { return toolkit_->state(); }
    QColor foregroundColor() const override { return toolkit_->foregroundColor(); }
    QColor backgroundColor() const override { return toolkit_->backgroundColor(); }
    void virtual_hook(int id, void* data) override { toolkit_->virtual_hook(id, data); }
    void* interface_cast(QAccessible::InterfaceType type) override
    {
        return type == QAccessible::TextInterface ? static_cast<QAccessibleTextInterface*>(this)
                                                  : toolkit_->interface_cast(type);
    }

private:
    // What places the view's paragraphs, besides the layout of each: while it stays, a paragraph
    // placed once stays where it was placed.
    struct Stacking {
        QPointer<QTextDocument> document;
        int revision = 0;
        int topBlock = 0;
        QPointF topLeft;
        int width = 0;
        bool operator==(const Stacking&) const = default;
    };
    Stacking stacking() const
    {
        return {view_->document(), view_->document()->revision(), PaintOrigin::topBlock(*view_).blockNumber(),
                PaintOrigin::topLeft(*view_), view_->viewport()->width()};
    }

    // The paragraph found is found from the last one placed, as long as the view is stacked as it
    // was then, within one turn of the event loop: a reader asks for a range's characters one by
    // one, and each is then found a step from the last rather than from the view's top.
    std::optional<Placed> find(const std::function<int(const QTextBlock&, qreal top, qreal height)>& towards) const
    {
        const Stacking now = stacking();
        const bool stillPlaced = lastPlaced_ && lastPlaced_->first == now;
        std::optional<Placed> placed = stackFrom(
            *view_, stillPlaced ? lastPlaced_->second : Placed{PaintOrigin::topBlock(*view_), now.topLeft}, towards);
        if (placed) {
            if (!lastPlaced_)
                QTimer::singleShot(0, &turn_, [this] { lastPlaced_.reset(); });
            lastPlaced_.emplace(now, *placed);
        }
        return placed;
    }

    QPointer<QPlainTextEdit> view_;
    mutable std::optional<std::pair<Stacking, Placed>> lastPlaced_;
    QObject turn_;
    QAccessibleInterface* toolkit_;
    QAccessible::Id toolkitId_;
    QAccessibleTextInterface& text_;
};

// Set while the toolkit makes its own object for a view, which ours then stands in front of.
bool makingToolkitsOwn = false;

QAccessibleInterface* textViewFactory(const QString& className, QObject* object)
{
    auto* view = qobject_cast<QPlainTextEdit*>(object);
    // Asked once per class up the view's hierarchy: the first, most derived, answer is ours.
    if (!view || makingToolkitsOwn || className != QLatin1String(object->metaObject()->className()))
        return nullptr;
    makingToolkitsOwn = true;
    QAccessibleInterface* toolkit = QAccessible::queryAccessibleInterface(view);
    makingToolkitsOwn = false;
    return toolkit && toolkit->textInterface() ? new TextViewInterface(*view, *toolkit) : nullptr;
}

} // namespace

void AccessibleTextView::attach(QPlainTextEdit& view)
{
    static const bool installed = [] {
        QAccessible::installFactory(textViewFactory);
        return true;
    }();
    Q_UNUSED(installed);
    // The toolkit's object, made while the view was being built, gives way to ours.
    QAccessibleInterface* made = QAccessible::queryAccessibleInterface(&view);
    if (made && !dynamic_cast<TextViewInterface*>(made))
        QAccessible::deleteAccessibleInterface(QAccessible::uniqueId(made));
}

} // namespace vellicord
