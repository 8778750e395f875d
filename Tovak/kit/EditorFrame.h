#pragma once

#include <QWidget>

class QAbstractScrollArea;

namespace vellicord {

// A text editor in a rounded box on the text background, outlined like every control's edge; the
// editor stands in from the outline far enough that its square corners stay inside the curve.
class EditorFrame final : public QWidget {
public:
    // Takes the editor in, without a frame of its own.
    EditorFrame(QAbstractScrollArea* editor, QWidget* parent);

protected:
    void paintEvent(QPaintEvent* event) override;
};

} // namespace vellicord
