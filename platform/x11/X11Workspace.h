#pragma once

#include "platform/Workspace.h"

#include <memory>

namespace vellicord {

class X11Connection;

// The frontmost application of an X11 desktop: the active window (_NET_ACTIVE_WINDOW, else the
// input focus), its process, and the name and id of its desktop entry.
class X11Workspace final : public Workspace {
public:
    X11Workspace();
    ~X11Workspace() override;

    std::optional<RunningApplication> frontmostApplication() override;

private:
    std::unique_ptr<X11Connection> x11_;
};

} // namespace vellicord
