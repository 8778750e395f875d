#pragma once

namespace vellicord {

// Whether windows can be see-through: on X11 only while a compositing manager runs. Other
// platforms (Wayland, offscreen) always composite.
namespace X11Compositing {

bool isActive();

} // namespace X11Compositing
} // namespace vellicord
