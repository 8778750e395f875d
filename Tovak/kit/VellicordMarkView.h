#pragma once

#include <QWidget>

namespace vellicord {

// The brand mark at any size: brackets in the text colour, the dot in the accent colour.
class VellicordMarkView final : public QWidget {
public:
    explicit VellicordMarkView(qreal size, QWidget* parent = nullptr);

    // max(size × 0.075, 1.5)
    qreal lineWidth() const;
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    qreal size_;
};

} // namespace vellicord
