#pragma once

#include <optional>

class QVariant;

namespace vellicord {

// The desktop's light or dark preference, as the freedesktop settings portal publishes it.
namespace XdgAppearance {

// True for a dark preference, false for light; none when the portal is absent or has none.
std::optional<bool> prefersDark();
// The same for a "color-scheme" value the portal sent (from Read or in SettingChanged).
std::optional<bool> prefersDark(const QVariant& colorScheme);

} // namespace XdgAppearance
} // namespace vellicord
