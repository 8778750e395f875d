#pragma once

#include <QPlainTextDocumentLayout>
#include <QPointer>
#include <QTextBoundaryFinder>
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
        // Whether a line may break at a position of (from, to] (after the spaces that end a word,
        // never at a no-break space), or the text ends there; true too where only Qt's own rule
        // can tell.
        bool breaksWithin(qsizetype from, qsizetype to);
        // Finds the breaks of the text from `first` on, at least up to `last`; false, finding
        // none, when Thai comes before `last`.
        bool read(qsizetype first, qsizetype last);
        void use(const QTextOption& option);

        QTextLayout& layout_;
        QString text_;
        QTextOption own_;
        QTextOption anywhere_;
        const QTextOption* using_;
        // Whether lines are laid out by words where they can be, and by runs where they cannot.
        bool byRuns_;
        // The breaks of the text from readFrom_ up to readTo_.
        std::optional<QTextBoundaryFinder> breaks_;
        qsizetype readFrom_ = 0;
        qsizetype readTo_ = 0;
        std::vector<unsigned char> finderBuffer_;
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
