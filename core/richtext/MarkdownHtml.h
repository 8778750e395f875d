#pragma once

#include <QString>

namespace vellicord {

// HTML of Markdown for the clipboard's HTML flavour, with the parser's safe defaults: raw HTML is
// left out and links with unsafe schemes (javascript:, vbscript:, file:, most data:) are emptied.
namespace MarkdownHtml {

QString render(const QString& markdown);

} // namespace MarkdownHtml
} // namespace vellicord
