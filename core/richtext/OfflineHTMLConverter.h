#pragma once

#include "core/richtext/AttributedText.h"

#include <QByteArray>
#include <QString>
#include <QStringView>

#include <optional>

namespace vellicord {

// Turns the HTML another application put on the clipboard into attributed text without a web
// engine: one forward pass over the UTF-8 bytes, a fixed set of known elements, no network, no
// scripts. The result carries what Markdown can express (headings, emphasis, code, links, quotes,
// lists); everything else contributes only its text.
//
// Text made here carries the heading level on every character (AttributedText::Attributes::heading,
// 0 outside headings) and, inside list items, the item's shared ListItem object.
namespace OfflineHTMLConverter {

using ListItem = AttributedText::ListItem;

inline constexpr qsizetype maximumInputSize = 0x100000; // bytes; exactly this size is accepted
inline constexpr int maximumTokens = 20000;
inline constexpr int maximumFrames = 128; // open formatting elements, and formatting plus hidden
inline constexpr int maximumReferenceLength = 32; // characters between "&" and ";"
inline constexpr qsizetype maximumLinkLength = 0x2000; // UTF-8 bytes
inline constexpr int64_t maximumListNumber = 999999999;
inline constexpr double fontSize = 12.0;
inline constexpr double quoteIndent = 24.0;

// Nothing for input that is too large, not UTF-8, malformed (an unterminated comment, declaration,
// tag, script or hidden element), too deeply nested, with too many tokens, with a list number out
// of range, or without visible text.
std::optional<AttributedText> convert(const QByteArray& data);

// Character references: 15 named ones (case-sensitive) and decimal or hexadecimal numeric ones;
// anything else stays as written.
QString decodeEntities(const QString& text);

// The link filter: an http, https or mailto address without white space, "<", ">" or backslash,
// at most 8,192 UTF-8 bytes. Returns the address as given.
std::optional<QString> safeLink(const QString& href);
// The schemes a link may have (any case): http, https, mailto.
bool isLinkScheme(const QString& scheme);

} // namespace OfflineHTMLConverter
} // namespace vellicord
