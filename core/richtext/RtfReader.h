#pragma once

#include "core/richtext/AttributedText.h"

#include <QByteArray>

#include <optional>

namespace vellicord {

// Reads RTF, as word processors and browsers put it on the clipboard, into attributed text:
// fonts (with monospace detection from the font table), bold, italic, strikethrough, sizes,
// paragraphs, line breaks and tabs, Unicode and code-page text, indents and tab stops, lists from
// the list tables and from old-style paragraph numbering (\pn), and HYPERLINK fields; hidden text
// (\v) is left out. A list paragraph keeps its visible marker text ("\t<marker>\t", from the
// list-text group, or "<marker>\t" from \pntext) the way the platform's own reader does, marked as
// such, and the Markdown serializer skips what is marked.
namespace RtfReader {

inline constexpr qsizetype maximumInputSize = 32 * 1024 * 1024;
inline constexpr int maximumGroupDepth = 256;

// Nothing when the data is not RTF ("{\rtf" at the start), is too large or nests too deeply.
std::optional<AttributedText> read(const QByteArray& rtf);

// RTF with attachments is a bundle format of one desktop platform; there is no reader for it
// here, so such data reads as nothing and the caller falls back to plain text.
std::optional<AttributedText> readRtfd(const QByteArray& rtfd);

} // namespace RtfReader
} // namespace vellicord
