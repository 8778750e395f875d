#pragma once

#include <QString>

namespace vellicord {

// HTML of Markdown for the clipboard's HTML flavour, with the parser's safe defaults: raw HTML is
// left out and links with unsafe schemes (javascript:, vbscript:, file:, most data:) are emptied. A
// line feed inside a block is a line break, as the passage shows it.
namespace MarkdownHtml {

QString render(const QString& markdown);

} // namespace MarkdownHtml
} // namespace vellicord
