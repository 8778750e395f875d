#pragma once

#include "core/richtext/TextMeasurer.h"

namespace vellicord {

// Measures with the application's fonts: the generic system family is the application font,
// the generic monospaced family the system's fixed-pitch font. Needs a QGuiApplication.
class QtTextMeasurer final : public TextMeasurer {
public:
    double systemFontSize() const override;
    double width(const QString& text, const AttributedText::Font& font) const override;
};

} // namespace vellicord
