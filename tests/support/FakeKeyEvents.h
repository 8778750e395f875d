#pragma once

#include "platform/KeyEvents.h"

#include <functional>

namespace vellicord {

// Counts copy commands and lets a test play the application's answer to each; an application
// without a copy command (a terminal that copies by selecting) gets none.
class FakeKeyEvents final : public KeyEvents {
public:
    int copies = 0;
    bool hasCopyCommand = true;
    std::function<void(int copyNumber)> onCopy;

    bool postCopyCommand(const std::optional<QString>&) override
    {
        if (!hasCopyCommand)
            return false;
        ++copies;
        if (onCopy)
            onCopy(copies);
        return true;
    }
};

} // namespace vellicord
