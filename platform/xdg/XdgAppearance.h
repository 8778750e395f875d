#pragma once

#include <optional>

namespace vellicord {

// The desktop's light or dark preference, as the freedesktop settings portal publishes it.
namespace XdgAppearance {

// True for a dark preference, false for light; none when the portal is absent or has none.
std::optional<bool> prefersDark();

} // namespace XdgAppearance
} // namespace vellicord
