#pragma once

#include "platform/Workspace.h"

namespace vellicord {

class FakeWorkspace final : public Workspace {
public:
    std::optional<RunningApplication> frontmost;
    std::optional<RunningApplication> frontmostApplication() override { return frontmost; }
};

} // namespace vellicord
