#pragma once

#include <QLabel>

namespace vellicord {

// Plain text in at most a number of lines at the label's width, the last one ending in "…" when
// the text needs more. The lines are broken here rather than by QLabel's word wrap, so that the
// cap holds at every width and the height asked for is the height the lines take.
class CappedLabel final : public QLabel {
public:
    CappedLabel(int maximumLines, Qt::Alignment alignment, QWidget* parent = nullptr);

    void setFullText(const QString& text);
    const QString& fullText() const { return full_; }

    bool hasHeightForWidth() const override { return true; }
    int heightForWidth(int width) const override;
    QSize sizeHint() const override;
    QSize minimumSizeHint() const override;

protected:
    void resizeEvent(QResizeEvent* event) override;

private:
    QSize extent(int width) const;
    QString lines(int width) const;

    int maximumLines_;
    QString full_;
};

} // namespace vellicord
