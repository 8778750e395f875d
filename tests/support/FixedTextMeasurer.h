#pragma once

#include "core/richtext/TextMeasurer.h"

namespace vellicord {

// Fixed metrics for tests: every character is a given fraction of the font size wide.
class FixedTextMeasurer final : public TextMeasurer {
public:
    explicit FixedTextMeasurer(double systemSize = 13.0, double characterWidth = 0.5)
        : systemSize_(systemSize), characterWidth_(characterWidth)
    {
    }
    double systemFontSize() const override { return systemSize_; }
    double width(const QString& text, const AttributedText::Font& font) const override
    {
        return double(text.size()) * font.pointSize * characterWidth_;
    }

private:
    double systemSize_;
    double characterWidth_;
};

} // namespace vellicord
