#include "Tovak/kit/DisplayTextMeasurer.h"

#include "Tovak/kit/AttributedDocument.h"
#include "Tovak/kit/TextStyles.h"

namespace vellicord {

double DisplayTextMeasurer::systemFontSize() const
{
    return TextStyles::body().pixelSize();
}

double DisplayTextMeasurer::width(const QString& text, const AttributedText::Font& font) const
{
    for (const auto& [known, metrics] : metrics_) {
        if (known == font)
            return metrics.horizontalAdvance(text);
    }
    metrics_.emplace_back(font, QFontMetricsF(AttributedDocument::font(font)));
    return metrics_.back().second.horizontalAdvance(text);
}

} // namespace vellicord
