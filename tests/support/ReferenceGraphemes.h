#pragma once

#include <QStringList>
#include <QStringView>

#include <vector>

namespace vellicord::test {

// The offset past each extended grapheme cluster as ICU's character break iterator finds them:
// Unicode's rules, kept apart from Qt's, for the tests to compare with.
std::vector<qsizetype> referenceGraphemeEnds(QStringView text);

// Whether every character of the text was in Unicode before `major`: where ICU and Qt know the
// same characters, they must segment alike.
bool assignedBefore(QStringView text, int major);

// A word of each script Qt segments by rules of its own, and its count of characters (syllables).
struct CountedWord {
    const char* script;
    QString text;
    qsizetype characters;
};
std::vector<CountedWord> tailoredScriptWords();
// An emoji of each kind: with a skin tone, a family joined by ZWJ, a flag, a keycap, and one with
// its variation selector.
QStringList emojiOfEachKind();

} // namespace vellicord::test
