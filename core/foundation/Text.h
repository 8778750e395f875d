#pragma once

#include <QString>
#include <QStringView>

#include <cstddef>
#include <vector>

namespace vellicord {

// Text operations with the semantics the library's rules are written in: characters are
// user-perceived characters (grapheme clusters), equality is canonical equivalence.
namespace Text {

// Number of extended grapheme clusters ("characters" as a user sees them). A line feed is always
// a character of its own (with a carriage return before it, one character with it), so the count
// of a text is the sum of the counts of its lines and line feeds.
qsizetype graphemeCount(QStringView text);
// The offset just past each character (extended grapheme cluster), in order; the last is the
// text's length. Empty for empty text.
std::vector<qsizetype> graphemeEnds(QStringView text);

// The count of `after` from the count of `before`, an earlier version of the same text: only the
// lines in which the two differ are counted again (a line ends after its line feed). An edit of a
// long text is counted at the cost of its lines.
qsizetype graphemeCountAfterEdit(QStringView before, qsizetype beforeCount, QStringView after);

// True when some code unit may join a neighbour into one grapheme cluster (combining marks,
// joiners, Hangul jamo, surrogates and everything not known to be safe); without such units every
// code unit is a cluster of its own, apart from CR LF.
bool hasComplexGraphemes(QStringView text);

// Calls visit(QStringView cluster) for each extended grapheme cluster of the text, in order.
template<typename Visit> void forEachGrapheme(QStringView text, Visit&& visit)
{
    qsizetype start = 0;
    for (const qsizetype end : graphemeEnds(text)) {
        visit(text.sliced(start, end - start));
        start = end;
    }
}

// Removes white space and newlines from both ends: the Unicode space, line and paragraph
// separators (Zs, Zl, Zp), U+0009 to U+000D and U+0085. U+200B and U+FEFF are not white space.
QString trimmed(const QString& text);
inline bool isWhiteSpace(char16_t c)
{
    // QChar::isSpace covers exactly the separators (Zs, Zl, Zp), U+0009..U+000D and U+0085.
    return QChar::isSpace(c);
}
// True when the text is empty or only white space.
bool isBlank(QStringView text);
// Removes only the horizontal white space from both ends: the space separators (Zs) and the tab.
// Line breaks stay.
QString trimmedHorizontally(const QString& text);

// How many code units two texts share at their start, and at their end. Compared a block at a
// time, so that a long text and an edit of it are told apart at the speed of memory.
qsizetype sharedPrefixLength(QStringView a, QStringView b);
qsizetype sharedSuffixLength(QStringView a, QStringView b);

// Canonical equivalence: "é" as one code point equals "e" followed by U+0301.
bool equal(const QString& a, const QString& b);
// The same, for texts known to share their first `prefix` and last `suffix` code units (or more):
// only what lies between them is looked at.
bool equal(QStringView a, QStringView b, qsizetype prefix, qsizetype suffix);
// The canonical (NFC) form, under which equal() texts are identical: a key for hash tables.
QString canonical(const QString& text);
// Whether NFC leaves the character as it is and never joins it to the one before nor moves it past
// that one: no combining mark, no character NFC replaces, none that may be the second of a
// composition. A text of such characters alone is in NFC; every character below U+0300 is one.
bool keepsCanonicalForm(char32_t c);
// A hash consistent with equal().
size_t hash(const QString& text, size_t seed = 0);

// The full Unicode lower-case mapping, independent of locale (U+0130 becomes "i" and U+0307).
QString lowercased(const QString& text);

// Replaces every unpaired UTF-16 surrogate by U+FFFD, so that text from outside can always be
// encoded as UTF-8. Returns the text unchanged (and unshared) when it has none.
QString repairingSurrogates(const QString& text);
bool hasLoneSurrogate(QStringView text);

// The text of UTF-8 bytes that may have been cut off anywhere (a transfer stopped before its
// end): a character whose bytes did not all arrive is left out rather than shown as U+FFFD.
QString fromUtf8Prefix(const QByteArray& bytes);

} // namespace Text
} // namespace vellicord
