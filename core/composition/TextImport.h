#pragma once

#include <QString>
#include <QStringList>

namespace vellicord {

// Cutting pasted text into captures of a manageable size.
namespace TextImport {

// The longest chunk of pasted text that the composer makes one capture of.
inline constexpr qsizetype composerChunkLength = 4000;

// Paragraph-sized chunks of at most maxLength characters (grapheme clusters): cut at blank
// lines, then between lines, then between words, and inside a word only when the word alone is
// too long. Blank text gives none. A limit below 1 counts as 1.
QStringList chunks(const QString& text, qsizetype maxLength);

} // namespace TextImport
} // namespace vellicord
