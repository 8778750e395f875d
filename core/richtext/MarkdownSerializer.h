#pragma once

#include "core/richtext/AttributedText.h"

#include <QString>

#include <optional>

namespace vellicord {

// Turns rich text (converted HTML, or RTF read by the platform) into Markdown: headings, bullet
// and ordered lists with nesting, numbering and multi-paragraph items, block quotes, bold,
// italic, code spans and links. Every paragraph of the input gives one line.
namespace MarkdownSerializer {

inline constexpr int64_t maximumListNumber = 999999999;

// The empty string for empty input and when a list number is out of range.
QString convert(const AttributedText& text);

// The most common rounded font size over the runs (the smallest on a tie), 12 without fonts.
double estimateBodySize(const AttributedText& text);
// Level 1 to 6, or 0 for no heading: from the heading level of converted HTML when the text
// carries one, else from the font size relative to the body size.
int headingLevel(const AttributedText& text, AttributedText::Range range, double bodySize);
std::optional<QString> marker(AttributedText::ListMarkerFormat format, int64_t number);
int contentIndent(const QString& prefix);
bool isMonospace(const AttributedText::Font& font);
QString escapedPlain(const QString& text);
// The link target to write, percent-encoded where it could end the link; empty for no link.
QString resolveLink(const AttributedText::Link& link);

} // namespace MarkdownSerializer
} // namespace vellicord
