#pragma once

#include "core/richtext/AttributedText.h"

#include <QTextEdit>

namespace vellicord {

// A capture's display text, read-only and selectable, sized like a block of text: no background,
// no frame, no margins, no scroll bars of its own, and as tall as its text at the width it gets.
// A link is not followed here: a click on one is handed on (linkActivated) with its address exactly
// as written, for the desktop's allow-list to judge. The document never loads a resource.
class RichMarkdownView final : public QTextEdit {
    Q_OBJECT
public:
    explicit RichMarkdownView(QWidget* parent = nullptr);

    // Replaces the document unless it already shows this text (same characters and attributes):
    // then the layout and the user's selection stay as they are.
    void setAttributedText(const AttributedText& text);
    const AttributedText& attributedText() const { return shown_; }
    // How many times the document was replaced: what a view that refreshes too often would show.
    int replacements() const { return replacements_; }

    // The height the text needs at the width, rounded up to a whole pixel; -1 for no width. Layouts
    // are not asked to call it: a passage of a megabyte takes a good part of a second to lay out at
    // each width they try. The view keeps its least height at the height its text takes at its
    // own width instead.
    int heightForWidth(int width) const override;
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
    void fitHeight();

    AttributedText shown_;
    int replacements_ = 0;
    QString pressedLink_;
    QPoint pressedAt_;
};

} // namespace vellicord
