#pragma once

#include "core/richtext/AttributedText.h"

#include <QString>

namespace vellicord {

// Text measurement for layout decisions made outside the interface layer (the width of list
// markers in displayed Markdown). The Qt implementation lives in platform/qt; tests use fixed
// metrics.
class TextMeasurer {
public:
    virtual ~TextMeasurer() = default;
    // The point size of the interface's regular text.
    virtual double systemFontSize() const = 0;
    // The advance width, in points, of the text drawn in the font.
    virtual double width(const QString& text, const AttributedText::Font& font) const = 0;
};

} // namespace vellicord
