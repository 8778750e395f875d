#pragma once

#include "Tovak/shell/CaptureToastView.h"

#include <QObject>
#include <QPointer>

class QTimer;

namespace vellicord {

class Desktop;
struct Selection;

// Shows the capture confirmation: a panel at the top centre of the screen under the pointer,
// above every window, that never takes the focus. It fades in over 0.14 s, starts fading out
// 1.7 s after it was presented and fades out over 0.25 s. A new panel replaces the old one at once.
class CaptureToastController final : public QObject {
    Q_OBJECT
public:
    // desktop: whether the panel can be see-through.
    explicit CaptureToastController(Desktop& desktop, QObject* parent = nullptr);
    ~CaptureToastController() override;

    static constexpr int fadeInMs = 140;
    static constexpr int visibleMs = 1700;
    static constexpr int fadeOutMs = 250;

    void present(const CaptureToastView::Content& content);
    // lastSaveFailed: the library's file could not be written the last time, so the capture is in
    // the library but not yet on disk, and the panel says so rather than "Saved".
    void showSaved(const Selection& selection, bool addedToPrompt, bool lastSaveFailed);
    // The save that followed failed: a "Saved" panel still up turns to the kept form.
    void showSaveFailed();

    // The success content of a saved capture.
    static CaptureToastView::Content savedContent(const Selection& selection, bool addedToPrompt);
    // The warning of a capture kept in the library while its file cannot be written.
    static CaptureToastView::Content keptContent(const Selection& selection, bool addedToPrompt);
    // The failure content with a message.
    static CaptureToastView::Content failureContent(const QString& message);

    // The panel shown last, while it exists.
    QWidget* panel() const { return panel_; }

private:
    void dismiss();

    Desktop& desktop_;
    QPointer<QWidget> panel_;
    QTimer* dismissTimer_;
    // The panel that says "Saved", and what it says should that save fail.
    QPointer<QWidget> savedPanel_;
    CaptureToastView::Content keptForm_;
};

} // namespace vellicord
