#pragma once

#include <QAbstractButton>

namespace vellicord {

// An on/off switch: a rounded track, accent-coloured when on, with a white knob.
class ToggleSwitch final : public QAbstractButton {
public:
    explicit ToggleSwitch(QWidget* parent = nullptr);
    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace vellicord
