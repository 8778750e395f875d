#pragma once

#include "core/richtext/AttributedText.h"
#include "core/richtext/TextMeasurer.h"

#include <QString>

#include <optional>

namespace vellicord {

// The display text of a capture's Markdown: parsed here, laid out by RichMarkdownRenderer.
namespace MarkdownDisplay {

// Nothing for Markdown longer than RichMarkdownRenderer::maximumInputLength or nested deeper
// than RichMarkdownRenderer::maximumNesting; the caller then shows the plain text.
std::optional<AttributedText> render(const QString& markdown, const TextMeasurer& measurer);

} // namespace MarkdownDisplay
} // namespace vellicord
