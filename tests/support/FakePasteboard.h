#pragma once

#include "platform/Pasteboard.h"

#include "platform/Clock.h"

#include <functional>

namespace vellicord {

// An in-memory clipboard with the behaviours of real owners that tests need: one that never
// answers, targets it refuses, writes that fail.
class FakePasteboard final : public Pasteboard {
public:
    QList<PasteboardItem> items;
    qint64 count = 0;
    bool answers = true; // false: every read times out
    QStringList refusedTargets; // offered but never converted
    QStringList silentTargets; // offered but never answered
    QStringList cutShortTargets; // offered, but only the first half of their data arrives
    bool writesSucceed = true;
    int writes = 0;
    // Runs before each change-count read (to change the clipboard "while" something else happens).
    std::function<void()> beforeCountRead;
    // Runs before each content read (a slow owner moves the test's clock there); reads past the
    // limit on that clock go unanswered.
    std::function<void()> beforeRead;
    // Runs inside each write, as the real clipboard may turn the event loop while it is written.
    std::function<void()> duringWrite;
    const Clock* clock = nullptr;
    std::optional<Clock::TimePoint> readLimit;

    // Replaces the content as another application would, bumping the change count.
    void set(QList<PasteboardItem> newItems);

    qint64 changeCount() override;
    std::optional<QList<QStringList>> itemTargets() override;
    PasteboardData data(int item, const QString& target) override;
    PasteboardData dataForType(PasteboardType type) override;
    bool write(const QList<PasteboardItem>& newItems) override;
    void limitReads(std::optional<Clock::TimePoint> end) override { readLimit = end; }

private:
    bool answersNow();
};

} // namespace vellicord
