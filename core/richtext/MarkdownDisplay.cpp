#include "core/richtext/MarkdownDisplay.h"

#include "core/richtext/RichMarkdownRenderer.h"
#include "core/richtext/MarkdownParser.h"

namespace vellicord::MarkdownDisplay {

std::optional<AttributedText> render(const QString& markdown, const TextMeasurer& measurer)
{
    if (markdown.size() > RichMarkdownRenderer::maximumInputLength)
        return std::nullopt;
    const std::optional<QList<MarkdownRun>> runs =
        MarkdownParser::parse(markdown, RichMarkdownRenderer::maximumNesting);
    if (!runs)
        return std::nullopt;
    return RichMarkdownRenderer::render(*runs, measurer);
}

} // namespace vellicord::MarkdownDisplay
