#pragma once

#include "core/richtext/AttributedText.h"

#include <QPlainTextEdit>

namespace vellicord {

// A capture's display text, read-only and selectable, sized like a block of text: no background,
// no frame, no margins, no scroll bars of its own, and as tall as its text at the width it gets.
// A text longer than scrollingLength is the exception: laying all of it out takes longer than a
// selection may, so the view then takes the scrolling height its host gives and scrolls itself,
// and only what is seen is laid out. Lines wrap as WrappingTextLayout wraps them: a paragraph of a
// megabyte, or a run of it without a space, is laid out in a fraction of a second.
// A link is not followed here: a click on one is handed on (linkActivated) with its address exactly
// as written, for the desktop's allow-list to judge. The document never loads a resource.
class RichMarkdownView final : public QPlainTextEdit {
    Q_OBJECT
public:
    // In characters of display text: about 60 ms of layout on the machines we measure.
    static constexpr qsizetype scrollingLength = 64 * 1024;

    explicit RichMarkdownView(QWidget* parent = nullptr);

    // Replaces the document unless it already shows this text (same characters and attributes):
    // then the layout and the user's selection stay as they are.
    void setAttributedText(const AttributedText& text);
    const AttributedText& attributedText() const { return shown_; }
    // How many times the document was replaced: what a view that refreshes too often would show.
    int replacements() const { return replacements_; }
    // Whether the text shown is long enough for the view to scroll itself.
    bool scrollsItself() const { return scrolls_; }
    // The height the view takes while it scrolls itself.
    void setScrollingHeight(int height);

    // The height the view needs to show its whole text at its width, in whole pixels. Layouts are not
    // asked for a height at other widths: a passage of a megabyte takes a good part of a second to
    // lay out at each width they try. The view keeps its least height at this height instead.
    int textHeight() const;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

Q_SIGNALS:
    void linkActivated(const QString& address);

protected:
    void mousePressEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    QVariant loadResource(int type, const QUrl& name) override;

private:
    QTextDocument* newDocument();
    void fitHeight();
    void setScrolls(bool scrolls);

    AttributedText shown_;
    int replacements_ = 0;
    bool scrolls_ = false;
    int scrollingHeight_ = 320;
    QString pressedLink_;
    QPoint pressedAt_;
};

} // namespace vellicord
