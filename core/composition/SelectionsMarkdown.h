#pragma once

#include "core/library/Selection.h"
#include "core/library/SourceIdentity.h"
#include "core/richtext/MarkdownHtml.h"

#include <QList>
#include <QString>

namespace vellicord {

// Captures as Markdown for the clipboard, each with its HTML for editors that paste formatted text.
namespace SelectionsMarkdown {

// Whether the capture keeps no Markdown of its own, its Markdown being its text (every capture of
// plain text): such a passage is shown and pasted as that text, never read as Markdown.
bool isPlainText(const Selection& selection);

// The capture's own Markdown.
MarkdownCopy single(const Selection& selection);
// Oldest first, each under "## app · yyyy-MM-dd HH:mm" (local time), separated by rules. Its HTML
// is made capture by capture, so that a capture of plain text keeps every character there too.
MarkdownCopy document(const QList<Selection>& selections);
// The same under a heading naming the source: its address, file path or application.
MarkdownCopy fromSource(const QList<Selection>& selections, const SourceIdentity& source);
// The plain texts, in the order given (the order shown), separated by the same rule.
QString plainText(const QList<Selection>& selections);

} // namespace SelectionsMarkdown
} // namespace vellicord
