#pragma once

#include "core/richtext/TextMeasurer.h"

#include <QFontMetricsF>

#include <utility>
#include <vector>

namespace vellicord {

// Measures display text with the faces a text view draws it in (AttributedDocument::font), so that
// a list marker's measured width is the width it takes on screen. The regular size is the body
// text's. One measurer serves one thread.
class DisplayTextMeasurer final : public TextMeasurer {
public:
    double systemFontSize() const override;
    double width(const QString& text, const AttributedText::Font& font) const override;

private:
    // Every marker of a long list is measured: the metrics of each face are made once.
    mutable std::vector<std::pair<AttributedText::Font, QFontMetricsF>> metrics_;
};

} // namespace vellicord
