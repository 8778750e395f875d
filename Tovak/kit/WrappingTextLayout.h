#pragma once

#include "Tovak/kit/ParagraphBreaks.h"

#include <QPlainTextDocumentLayout>
#include <QPointer>
#include <QTextOption>

#include <optional>
#include <vector>

class QPlainTextEdit;
class QTextLayout;
class QTextLine;

namespace vellicord {

// The layout of the text views that show a capture or a pasted text whole: the captured passage
// and every plain-text editor. Lines wrap at word boundaries exactly as Qt's own layout wraps them,
// and a run too long for any line (a hexadecimal dump, a key, a word repeated without a space) is
// broken anywhere, again as Qt breaks it; but where Qt measures the whole rest of such a run again
// for each of its lines, which takes minutes for a run of a megabyte, this takes time linear in
// the text. A paragraph's own margins, first-line indent and tab stops are honoured, so that the
// display text of a rich capture lays out as it was made. Paragraphs are laid out when first
// shown or measured, at the width the view gave; a long one not before the view is shown.
class WrappingTextLayout final : public QPlainTextDocumentLayout {
    Q_OBJECT
public:
    // The view is the one that shows the document.
    WrappingTextLayout(QTextDocument* document, QWidget* view);

    // Gives the editor an empty document of its own laid out this way, with the editor's font, a
    // caret that stays lit in a paragraph too long to draw at each blink, and its characters placed
    // for assistive technology where they are drawn.
    static void install(QPlainTextEdit& editor);

    QRectF blockBoundingRect(const QTextBlock& block) const override;
    // The height of the whole text at the view's width, every paragraph laid out.
    qreal textHeight() const;

    // Fills the lines of one paragraph's text layout, between its beginLayout() and endLayout():
    // made before the first line, given the text the layout lays out, it reads the layout's text
    // option, and the layout has its own option back when it goes.
    class Lines {
    public:
        Lines(QTextLayout& layout, const QString& text);
        ~Lines();
        Lines(const Lines&) = delete;
        Lines& operator=(const Lines&) = delete;

        // Lays the line out at the width, from where the line before it ended.
        void fill(QTextLine& line, qreal width);

    private:
        // Lays the line out by Qt's rule.
        void byWords(QTextLine& line, qreal width);
        void use(const QTextOption& option);

        QTextLayout& layout_;
        QString text_;
        QTextOption own_;
        QTextOption anywhere_;
        const QTextOption* using_;
        // Where the lines of a paragraph laid out by words where they can be, and by runs where they
        // cannot, may break.
        std::optional<ParagraphBreaks> breaks_;
    };

protected:
    void documentChanged(int from, int charsRemoved, int charsAdded) override;

private:
    void layoutBlock(const QTextBlock& block);
    bool waitsToBeShown(const QTextBlock& block) const;
    // The width the view lays its text out at; none before it has one.
    qreal viewWidth() const;

    QPointer<QWidget> view_;
    int blockCount_ = 1;
};

} // namespace vellicord
