#pragma once

#include "platform/Accessibility.h"

#include "support/ManualClock.h"

#include <QHash>
#include <QList>

namespace vellicord {

// A focused element and its ancestors, each a set of text attributes; counts the elements read.
class FakeAccessibility final : public Accessibility {
public:
    bool trusted = true;
    QList<QHash<QString, QString>> chain; // chain[0] is the focused element
    int elementsVisited = 0;
    std::optional<QString> primary;
    bool primaryComplete = true; // false: PRIMARY's owner is cut off after that text
    // With a clock, each read takes this long, and one that ends after the deadline gives nothing.
    ManualClock* clock = nullptr;
    std::chrono::milliseconds readTime{0};
    Clock::TimePoint deadline;

    bool isProcessTrusted() override { return trusted; }
    std::unique_ptr<AccessibilityElement> focusedElement(qint32 pid, Clock::TimePoint deadline) override;
    // False when the read ran out of time.
    bool read();
    std::optional<SelectionText> primarySelection(qint32, std::chrono::steady_clock::time_point) override
    {
        if (!primary)
            return std::nullopt;
        return SelectionText{*primary, primaryComplete};
    }
};

} // namespace vellicord
