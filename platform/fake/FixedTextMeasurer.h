#pragma once

#include "platform/TextMeasurer.h"

namespace vellicord {

// Fixed metrics for tests: every character is a given fraction of the font size wide.
class FixedTextMeasurer final : public TextMeasurer {
public:
    explicit FixedTextMeasurer(double systemSize = 13.0, double characterWidth = 0.5)
        : m_systemSize(systemSize), m_characterWidth(characterWidth)
    {
    }
    double systemFontSize() const override { return m_systemSize; }
    double width(const QString& text, const AttributedText::Font& font) const override
    {
        return double(text.size()) * font.pointSize * m_characterWidth;
    }

private:
    double m_systemSize;
    double m_characterWidth;
};

} // namespace vellicord
