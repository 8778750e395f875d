#include "support/ReferenceGraphemes.h"

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/utext.h>

#include <memory>

namespace vellicord::test {

std::vector<qsizetype> referenceGraphemeEnds(QStringView text)
{
    UErrorCode status = U_ZERO_ERROR;
    std::unique_ptr<icu::BreakIterator> breaks(
        icu::BreakIterator::createCharacterInstance(icu::Locale::getRoot(), status));
    UText* units = utext_openUChars(nullptr, reinterpret_cast<const UChar*>(text.utf16()), text.size(), &status);
    breaks->setText(units, status);
    std::vector<qsizetype> ends;
    for (int32_t end = breaks->next(); U_SUCCESS(status) && end != icu::BreakIterator::DONE; end = breaks->next())
        ends.push_back(end);
    utext_close(units);
    return ends;
}

bool assignedBefore(QStringView text, int major)
{
    for (const char32_t c : text.toUcs4()) {
        UVersionInfo age;
        u_charAge(UChar32(c), age);
        if (age[0] == 0 || age[0] >= major)
            return false;
    }
    return true;
}

std::vector<CountedWord> tailoredScriptWords()
{
    return {
        {"thai", QStringLiteral("\u0E2A\u0E27\u0E31\u0E2A\u0E14\u0E35"), 4},
        {"devanagari with a conjunct", QStringLiteral("\u0939\u093F\u0928\u094D\u0926\u0940"), 2},
        {"bengali", QStringLiteral("\u09AC\u09BE\u0982\u09B2\u09BE"), 2},
        {"tamil", QStringLiteral("\u0BA4\u0BAE\u0BBF\u0BB4\u0BCD"), 3},
        {"khmer with a subscript", QStringLiteral("\u1781\u17D2\u1798\u17C2\u179A"), 2},
    };
}

QStringList emojiOfEachKind()
{
    return {QStringLiteral("\U0001F44D\U0001F3FD"),
            QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467\u200D\U0001F466"),
            QStringLiteral("\U0001F1EF\U0001F1F5"), QStringLiteral("#\uFE0F\u20E3"), QStringLiteral("\u2764\uFE0F")};
}

} // namespace vellicord::test
