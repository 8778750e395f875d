#pragma once

#include <QRgb>

#include <algorithm>
#include <cmath>

namespace vellicord::test {

// The relative luminance of an sRGB colour, 0 for black to 1 for white.
inline double luminance(QRgb colour)
{
    const auto channel = [](int value) {
        const double c = value / 255.0;
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * channel(qRed(colour)) + 0.7152 * channel(qGreen(colour)) + 0.0722 * channel(qBlue(colour));
}

// The contrast ratio of two colours, from 1 (the same) to 21 (black and white).
inline double contrast(QRgb a, QRgb b)
{
    const double la = luminance(a);
    const double lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

} // namespace vellicord::test
