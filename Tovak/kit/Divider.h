#pragma once

#include <QWidget>

namespace vellicord {

// A hairline across its parent in the separator colour, between the sections of a pane.
class Divider final : public QWidget {
public:
    explicit Divider(QWidget* parent = nullptr);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace vellicord
