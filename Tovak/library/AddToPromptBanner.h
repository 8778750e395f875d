#pragma once

#include "platform/Scheduler.h"

#include <QWidget>

#include <chrono>
#include <optional>

namespace vellicord {

// The note that floats over the top of the capture list after captures were offered to the
// prompt: how many of them were added, or that all were there already. Each showing hides itself
// 2.2 s later unless a later one took its place, which then keeps its own full time. The pending
// hides die with the banner: one whose banner is gone touches nothing. It keeps itself at the top
// centre of its parent.
class AddToPromptBanner final : public QWidget {
    Q_OBJECT
public:
    static constexpr std::chrono::milliseconds duration{2200};

    // The counts of the last showing; `show` is false once it is hidden.
    struct Content {
        qsizetype added = 0;
        qsizetype total = 0;
        bool show = false;
    };

    explicit AddToPromptBanner(Scheduler& scheduler, QWidget* parent = nullptr);
    ~AddToPromptBanner() override;

    // "Added 2 of 3 selections to the prompt"; "Already in the prompt" when none was added.
    static QString text(qsizetype added, qsizetype total);

    void flash(qsizetype added, qsizetype total);
    const std::optional<Content>& content() const { return content_; }
    bool isShowing() const { return content_ && content_->show; }
    QString text() const;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QRectF capsule() const;
    void place();

    Scheduler& scheduler_;
    std::optional<Content> content_;
    quint64 flashes_ = 0;
    Scheduler::Item pendingHide_;
};

} // namespace vellicord
