#pragma once

#include "core/richtext/AttributedText.h"
#include "core/richtext/MarkdownRun.h"
#include "core/richtext/TextMeasurer.h"

#include <QList>

namespace vellicord {

// Builds the display text of a capture's Markdown from the parser's runs: block separators,
// visible list markers, heading and code fonts, hanging list indents that widen to the widest
// marker of each list, quote indents. The line "<!-- -->" that the Markdown serializer writes
// between two adjacent lists is hidden again.
namespace RichMarkdownRenderer {

// Hand-edited Markdown can be arbitrarily large or deep ("> " a thousand times); beyond these
// the caller shows the plain text instead.
inline constexpr qsizetype maximumInputLength = 1024 * 1024; // UTF-16 units
inline constexpr int maximumNesting = 32; // blocks inside blocks

inline constexpr double paragraphSpacing = 4;
inline constexpr double nestingStep = 24;
inline constexpr double markerColumn = 28;
inline constexpr double markerMargin = 8;
inline constexpr double quoteIndent = 16;
inline constexpr double headingSizeStep = 2;

AttributedText render(const QList<MarkdownRun>& runs, const TextMeasurer& measurer);

} // namespace RichMarkdownRenderer
} // namespace vellicord
