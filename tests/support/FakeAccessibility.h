#pragma once

#include "platform/Accessibility.h"

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

    bool isProcessTrusted() override { return trusted; }
    std::unique_ptr<AccessibilityElement> focusedElement(qint32 pid) override;
    std::optional<SelectionText> primarySelection(qint32, std::chrono::steady_clock::time_point) override
    {
        if (!primary)
            return std::nullopt;
        return SelectionText{*primary, primaryComplete};
    }
};

} // namespace vellicord
