#pragma once

#include <QWidget>

#include <optional>

namespace vellicord {

// The content of the capture confirmation panel: a green check or an orange warning, the title,
// a two-line snippet and an optional source line, on a rounded panel with its own shadow.
class CaptureToastView final : public QWidget {
public:
    struct Content {
        bool success = true;
        QString title;
        QString snippet;
        std::optional<QString> source;
    };

    // translucent: drawn with its soft shadow on a see-through window; without a compositing
    // manager the panel is drawn alone and its window cut to the rounded shape.
    explicit CaptureToastView(Content content, bool translucent = true, QWidget* parent = nullptr);

    const Content& content() const { return content_; }
    QSize sizeHint() const override;

    // Room left around the panel for its shadow.
    static constexpr int shadowSpread = 18;
    int shadowMargin() const { return translucent_ ? shadowSpread : 0; }
    // The panel's rectangle inside the view.
    QRectF panelRect() const;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Layout;
    Layout layout() const;

    Content content_;
    bool translucent_;
};

} // namespace vellicord
