#pragma once

#include <QString>

#include <optional>

namespace vellicord {

// A colour with components from 0 to 1, as the interface draws it.
struct RgbaColor {
    double red = 0;
    double green = 0;
    double blue = 0;
    double alpha = 1;

    // "#RRGGBB" (the "#" optional, white space around it ignored); nothing for any other text.
    static std::optional<RgbaColor> fromHexString(const QString& text);
    // The fallback colour of a group whose colour text does not parse.
    static RgbaColor systemTeal();

    friend bool operator==(const RgbaColor&, const RgbaColor&) = default;
};

} // namespace vellicord
