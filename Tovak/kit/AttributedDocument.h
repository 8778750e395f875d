#pragma once

#include "core/richtext/AttributedText.h"

#include <QColor>
#include <QFont>

class QTextDocument;

namespace vellicord {

// Our attributed text as a Qt text document, built run by run from the attributes alone: the
// text is never read as HTML or Markdown, so a captured "<b>" or "**" stays what it is, and the
// document names no image or other resource that could be loaded.
namespace AttributedDocument {

// The face of a font description: the interface's faces for the generic families, sizes in the
// views' pixels (the display text's points).
QFont font(const AttributedText::Font& font);

// Replaces the document's content. Paragraph styles become block formats (indents, the first
// line's indent, the space after, tab stops at the same places on screen; a right-to-left
// paragraph's from the right edge); fonts, links and strike-through become character formats.
// Text in the label colour takes no colour of its own, so it follows the palette; links are drawn
// underlined in the link colour given.
void fill(QTextDocument& document, const AttributedText& text, const QColor& linkColor);

// Gives every link of the document the colour, leaving everything else (and any selection) as it is.
void recolorLinks(QTextDocument& document, const QColor& linkColor);

} // namespace AttributedDocument
} // namespace vellicord
