#pragma once

#include <QString>

namespace vellicord {

// Markdown as the clipboard takes it: the text, and HTML for editors that paste formatted text
// (empty for none).
struct MarkdownCopy {
    QString markdown;
    QString html;
};

// HTML for the clipboard's HTML flavour.
namespace MarkdownHtml {

// HTML of Markdown, with the parser's safe defaults: raw HTML is left out and links with unsafe
// schemes (javascript:, vbscript:, file:, most data:) are emptied. A line feed inside a block is a
// line break, as the passage shows it, and code keeps its runs of white space.
QString render(const QString& markdown);
// HTML of text that is no Markdown: every character as it is, each line break a break.
QString ofPlainText(const QString& text);

} // namespace MarkdownHtml
} // namespace vellicord
