#pragma once

#include "platform/KeyEvents.h"

#include <functional>

namespace vellicord {

// Counts copy commands and lets a test play the application's answer to each.
class FakeKeyEvents final : public KeyEvents {
public:
    int copies = 0;
    std::function<void(int copyNumber)> onCopy;

    void postCopyCommand(const std::optional<QString>&) override
    {
        ++copies;
        if (onCopy)
            onCopy(copies);
    }
};

} // namespace vellicord
