#pragma once

class QPlainTextEdit;

namespace vellicord {

// A plain-text view as the accessibility interface reads it: what the toolkit tells of it (text,
// caret, selection, editing, names, roles, events), with each character's box and the character
// at a point taken from where the view draws them. The toolkit's own answers place every
// paragraph at the top of the view and read the vertical scroll bar, which counts lines, as
// pixels. Only paragraphs the view has already laid out have a place: asking lays nothing out.
namespace AccessibleTextView {

// Gives the view this interface in place of the toolkit's; from the first call on, every
// plain-text view made reads this way.
void attach(QPlainTextEdit& view);

} // namespace AccessibleTextView

} // namespace vellicord
