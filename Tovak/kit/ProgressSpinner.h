#pragma once

#include <QWidget>

namespace vellicord {

// A small indeterminate progress indicator: twelve spokes, turning while visible.
class ProgressSpinner final : public QWidget {
public:
    explicit ProgressSpinner(int side = 16, QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
    void showEvent(QShowEvent* event) override;
    void hideEvent(QHideEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

private:
    int step_ = 0;
    int timer_ = 0;
};

} // namespace vellicord
