#pragma once

#include <QString>

class QMimeData;

namespace vellicord {

// The data of a drag of ours that carries ids as plain text: captures from the library's rows, a
// prompt's source from its grip. Another application receives the text; no text field of ours
// takes it, since an id typed into a prompt, a task or a search by an overshot drag is text the
// user never wrote. The fields refuse it in one place, a filter on the whole application, so a
// field added later refuses it too. Text from elsewhere, and text dragged within an editor, still
// drops.
namespace IdDrag {

// The text, marked as one of these drags. The first call sets the fields to refuse such drags.
QMimeData* mimeData(const QString& text);

} // namespace IdDrag
} // namespace vellicord
