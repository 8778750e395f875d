#pragma once

#include <QLabel>

#include <array>
#include <utility>

class QMouseEvent;

namespace vellicord {

class EditTarget;

// Plain text in at most a number of lines at the label's width, the last one ending in "…" when
// the text needs more (or, eliding in the middle, the text's start and end with "…" between them,
// as addresses and paths read best). The lines are broken here rather than by QLabel's word wrap,
// so that the cap holds at every width and the height asked for is the height the lines take.
// Only as much of the text as the lines can show is ever laid out, so a text of any length costs
// the same. A screen reader hears the text itself, or its start when it is very long.
class CappedLabel final : public QLabel {
public:
    CappedLabel(int maximumLines, Qt::Alignment alignment, QWidget* parent = nullptr);

    void setFullText(const QString& text);
    // Qt::ElideRight (the default) or Qt::ElideMiddle.
    void setElideMode(Qt::TextElideMode mode);
    const QString& fullText() const { return full_; }
    // Lets the user select the text with the mouse and copy it (Control-C, Edit ▸ Copy, the label's
    // menu), always as it is, never as it is drawn: where the label draws it otherwise (cut short,
    // or broken into lines), a part of what is drawn may be no part of the text, so a selection
    // there takes the whole text, and the primary selection gets the whole text too.
    void setSelectable();

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void changeEvent(QEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    bool event(QEvent* event) override;
    void contextMenuEvent(QContextMenuEvent* event) override;

private:
    void showLines(const QString& lines);
    bool selectsWhole() const;
    void selectWhole();
    void selectWholeBy(const QMouseEvent& event);
    void copy() const;
    void changedSelection();
    QSize extent(int width) const;
    QString lines(int width) const;
    QString layOut(int width) const;
    void forget();
    QStringList wrapped(const QString& text, int width, int limit, qsizetype* rest) const;
    QString middleElided(const QString& text, int width) const;

    int maximumLines_;
    Qt::TextElideMode elideMode_ = Qt::ElideRight;
    QString full_;
    EditTarget* edit_ = nullptr; // while selectable
    QPoint pressedAt_;
    quint64 doubleClickedAt_ = 0;
    // The lines at the widths asked about last.
    mutable std::array<std::pair<int, QString>, 4> shown_;
};

} // namespace vellicord
