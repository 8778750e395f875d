#pragma once

#include <QtGlobal>

#include <optional>

namespace vellicord {

// The window with the X input focus, asked of the server itself (on the application's own
// connection): 0 when the focus is on no window or follows the pointer; nothing off X11.
namespace X11InputFocus {

std::optional<quintptr> window();

} // namespace X11InputFocus
} // namespace vellicord
