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

    explicit CaptureToastView(Content content, QWidget* parent = nullptr);

    const Content& content() const { return content_; }
    QSize sizeHint() const override;

    // Room left around the panel for its shadow.
    static constexpr int shadowMargin = 18;

protected:
    void paintEvent(QPaintEvent* event) override;

private:
    struct Layout;
    Layout layout() const;

    Content content_;
};

} // namespace vellicord
