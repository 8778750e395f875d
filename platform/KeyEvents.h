#pragma once

#include <QString>

#include <optional>

namespace vellicord {

// Synthetic keyboard input to the frontmost application.
class KeyEvents {
public:
    virtual ~KeyEvents() = default;
    // Posts the copy command (key down, 0.03 s, key up) for the application with this bundle
    // identifier; an application known to have no copy command gets nothing. False when nothing
    // was posted (no such command, or no way to post it): then no copy can come.
    virtual bool postCopyCommand(const std::optional<QString>& bundleIdentifier) = 0;
};

} // namespace vellicord
