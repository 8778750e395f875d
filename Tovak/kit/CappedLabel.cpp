#include "Tovak/kit/CappedLabel.h"

#include "Tovak/kit/BoundedText.h"
#include "Tovak/kit/EditTarget.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QMenu>
#include <QMouseEvent>
#include <QResizeEvent>
#include <QStringList>
#include <QTextLayout>

#include <algorithm>
#include <climits>

namespace vellicord {

CappedLabel::CappedLabel(int maximumLines, Qt::Alignment alignment, QWidget* parent)
    : QLabel(parent)
    , maximumLines_(std::max(1, maximumLines))
{
    forget();
    setTextFormat(Qt::PlainText);
    setAlignment(alignment);
    QSizePolicy policy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    policy.setHeightForWidth(true);
    setSizePolicy(policy);
}

void CappedLabel::setFullText(const QString& text)
{
    // The same text again asks for no new layout.
    if (text == full_ && !full_.isEmpty())
        return;
    full_ = text;
    forget();
    showLines(lines(width()));
    // What the label draws may be cut short or broken into lines; a screen reader hears the text.
    setAccessibleName(BoundedText::forLines(full_, INT_MAX, maximumLines_));
    updateGeometry();
}

int CappedLabel::heightForWidth(int width) const
{
    return extent(width).height();
}

QSize CappedLabel::sizeHint() const
{
    // Wider than any pane the label stands in: a natural width beyond it is of no use, and finding
    // it would lay out as much again of a long text.
    constexpr int widest = 2048;
    const QSize natural = extent(std::min(maximumWidth(), widest));
    return {std::min(natural.width(), maximumWidth()), natural.height()};
}

QSize CappedLabel::minimumSizeHint() const
{
    const int width = std::min(sizeHint().width(), 120);
    return {width, heightForWidth(width)};
}

void CappedLabel::changeEvent(QEvent* event)
{
    QLabel::changeEvent(event);
    if (event->type() == QEvent::FontChange) {
        forget();
        showLines(lines(width()));
        updateGeometry();
    }
}

void CappedLabel::resizeEvent(QResizeEvent* event)
{
    QLabel::resizeEvent(event);
    showLines(lines(event->size().width()));
}

// A new layout of the text loses any selection in it.
void CappedLabel::showLines(const QString& lines)
{
    if (lines == text())
        return;
    setText(lines);
    changedSelection();
}

void CappedLabel::setSelectable()
{
    if (edit_)
        return;
    setTextInteractionFlags(Qt::TextSelectableByMouse);
    // The label takes the keys when clicked, for Control-C to reach it.
    setFocusPolicy(Qt::ClickFocus);
    edit_ = &EditTarget::attach(*this, EditTarget::copyAndSelectAll([this] { return hasSelectedText(); },
                                                                    [this] { copy(); },
                                                                    [this] { return !text().isEmpty(); },
                                                                    [this] { selectWhole(); }));
}

bool CappedLabel::selectsWhole() const
{
    return edit_ && text() != full_;
}

void CappedLabel::selectWhole()
{
    setSelection(0, int(text().size()));
    changedSelection();
    // As selecting all of an editor's text does.
    if (QClipboard* clipboard = QGuiApplication::clipboard(); clipboard->supportsSelection())
        clipboard->setText(full_, QClipboard::Selection);
}

void CappedLabel::copy() const
{
    if (!hasSelectedText())
        return;
    QString copied = full_;
    if (!selectsWhole())
        copied = selectedText().replace(QChar::ParagraphSeparator, u'\n');
    QGuiApplication::clipboard()->setText(copied);
}

void CappedLabel::changedSelection()
{
    if (edit_)
        Q_EMIT edit_->changed();
}

// Where the label draws its text as it is, the toolkit selects it as ever (and puts the part
// selected in the primary selection); elsewhere the label's own selection takes the mouse.
bool CappedLabel::event(QEvent* event)
{
    const QEvent::Type type = event->type();
    const bool mouse = type == QEvent::MouseButtonPress || type == QEvent::MouseButtonDblClick
        || type == QEvent::MouseMove || type == QEvent::MouseButtonRelease;
    if (mouse && selectsWhole()) {
        selectWholeBy(*static_cast<QMouseEvent*>(event));
        return true;
    }
    const bool handled = QLabel::event(event);
    if (mouse)
        changedSelection();
    return handled;
}

// A press clears the selection, and a drag or a double click selects the whole text; the third
// press of a triple click (a line elsewhere) keeps it.
void CappedLabel::selectWholeBy(const QMouseEvent& event)
{
    const bool left = event.button() == Qt::LeftButton;
    if (event.type() == QEvent::MouseButtonPress && left) {
        pressedAt_ = event.position().toPoint();
        if (event.timestamp() - doubleClickedAt_ > quint64(QApplication::doubleClickInterval())) {
            setSelection(0, 0);
            changedSelection();
        }
    } else if (event.type() == QEvent::MouseButtonDblClick && left) {
        doubleClickedAt_ = event.timestamp();
        selectWhole();
    } else if (event.type() == QEvent::MouseMove && event.buttons() & Qt::LeftButton && !hasSelectedText()
               && (event.position().toPoint() - pressedAt_).manhattanLength() >= QApplication::startDragDistance()) {
        selectWhole();
    }
}

// The toolkit's own menu would copy the text as drawn.
void CappedLabel::contextMenuEvent(QContextMenuEvent* event)
{
    if (!edit_) {
        QLabel::contextMenuEvent(event);
        return;
    }
    using Command = EditTarget::Command;
    auto* menu = new QMenu(this);
    menu->setAttribute(Qt::WA_DeleteOnClose);
    for (const auto& [title, command] : {std::pair(QStringLiteral("Copy"), Command::copy),
                                         std::pair(QStringLiteral("Select All"), Command::selectAll)}) {
        QAction* item = menu->addAction(title, this, [this, command] { edit_->perform(command); });
        item->setEnabled(edit_->can(command));
    }
    menu->popup(event->globalPos());
    event->accept();
}

QSize CappedLabel::extent(int width) const
{
    width = std::min(width, maximumWidth());
    return fontMetrics()
        .boundingRect(QRect(0, 0, std::max(width, 1), INT_MAX / 2), int(alignment()), lines(width))
        .size();
}

void CappedLabel::setElideMode(Qt::TextElideMode mode)
{
    if (mode == elideMode_)
        return;
    elideMode_ = mode;
    forget();
    showLines(lines(width()));
    updateGeometry();
}

QString CappedLabel::lines(int width) const
{
    // A layout pass asks about the natural width, the minimum and the width given, each several
    // times: the last few are kept, so that each is laid out once.
    for (const auto& [known, text] : shown_) {
        if (known == width)
            return text;
    }
    std::rotate(shown_.rbegin(), shown_.rbegin() + 1, shown_.rend());
    shown_[0] = {width, layOut(width)};
    return shown_[0].second;
}

void CappedLabel::forget()
{
    shown_.fill({-1, QString()});
}

QString CappedLabel::layOut(int width) const
{
    // Only what the lines can show is laid out, however long the text.
    QString text = BoundedText::forLines(full_, width > 0 ? width : INT_MAX, maximumLines_, elideMode_);
    if (text.isEmpty() || width <= 0)
        return text;
    text.replace(QStringLiteral("\r\n"), QString(QChar::LineSeparator));
    text.replace(u'\r', QChar::LineSeparator);
    text.replace(u'\n', QChar::LineSeparator);
    if (elideMode_ == Qt::ElideMiddle)
        return middleElided(text, width);
    // The last line shown holds the rest of the text, on one line, cut short where it must be.
    qsizetype rest = -1;
    QStringList shown = wrapped(text, width, maximumLines_ - 1, &rest);
    if (rest >= 0) {
        QString tail = text.mid(rest);
        tail.replace(QChar::LineSeparator, u' ');
        shown.append(fontMetrics().elidedText(tail.trimmed(), Qt::ElideRight, width));
    }
    return shown.join(u'\n');
}

// The text's lines at the width, at most `limit` of them (none when `limit` is negative), each
// without the white space it ends with; `rest` is where the text goes on after them, or -1.
QStringList CappedLabel::wrapped(const QString& text, int width, int limit, qsizetype* rest) const
{
    QTextLayout layout(text, font());
    QTextOption option(alignment());
    option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
    layout.setTextOption(option);
    layout.beginLayout();
    QStringList shown;
    *rest = -1;
    for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
        line.setLineWidth(width);
        if (shown.size() == limit) {
            *rest = line.textStart();
            break;
        }
        QStringView part = QStringView(text).mid(line.textStart(), line.textLength());
        while (!part.isEmpty() && part.back().isSpace())
            part.chop(1);
        shown.append(part.toString());
    }
    layout.endLayout();
    return shown;
}

// The longest start-and-end of the text that fits the lines, found by halving: a handful of
// layouts however long the text.
QString CappedLabel::middleElided(const QString& text, int width) const
{
    qsizetype rest = -1;
    const QStringList all = wrapped(text, width, maximumLines_, &rest);
    if (rest < 0)
        return all.join(u'\n');
    const auto cut = [&text](qsizetype kept) {
        qsizetype head = (kept + 1) / 2;
        qsizetype tail = kept / 2;
        // Never split a surrogate pair.
        if (head > 0 && QChar::isHighSurrogate(text[head - 1].unicode()))
            --head;
        if (tail > 0 && QChar::isLowSurrogate(text[text.size() - tail].unicode()))
            --tail;
        return text.left(head) + QChar(0x2026) + text.right(tail);
    };
    qsizetype fits = 0;
    qsizetype tooMany = text.size();
    while (tooMany - fits > 1) {
        const qsizetype kept = (fits + tooMany) / 2;
        wrapped(cut(kept), width, maximumLines_, &rest);
        if (rest < 0)
            fits = kept;
        else
            tooMany = kept;
    }
    return wrapped(cut(fits), width, maximumLines_, &rest).join(u'\n');
}

} // namespace vellicord
