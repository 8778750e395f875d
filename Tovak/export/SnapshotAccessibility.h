#pragma once

#include "platform/Accessibility.h"

namespace vellicord {

// Accessibility as on a first start, before the user has allowed it: the images show the way to
// allow it, whatever this machine allows.
class SnapshotAccessibility final : public Accessibility {
public:
    bool isProcessTrusted() override { return false; }
    std::unique_ptr<AccessibilityElement> focusedElement(qint32, std::chrono::steady_clock::time_point) override
    {
        return nullptr;
    }
    std::optional<SelectionText> primarySelection(qint32, std::chrono::steady_clock::time_point) override
    {
        return std::nullopt;
    }
};

} // namespace vellicord
