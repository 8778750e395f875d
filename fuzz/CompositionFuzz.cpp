// Pasted and captured text through the composition functions: chunks stay within their limit and
// lose nothing, character counts agree with whole-text segmentation, and the token count of a
// composed prompt is the character count of its text.
#include "core/composition/ContextComposer.h"
#include "core/composition/TextImport.h"
#include "core/foundation/Text.h"
#include "support/ReferenceGraphemes.h"

#include <cstdint>
#include <cstdlib>

using namespace vellicord;

namespace {

QString withoutWhiteSpace(const QString& text)
{
    QString result;
    for (QChar c : text) {
        if (!c.isSpace())
            result += c;
    }
    return result;
}

// Qt segments the Brahmic scripts (Tibetan, Myanmar, Khmer...) by rules of their own, which are not
// Unicode's (a Khmer subscript joins its letter) and depend on the text before them, so a piece of
// a line counted on its own may come out differently. A generous superset of those characters.
bool hasTailoredScript(const QString& text)
{
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if ((u >= 0x900 && u <= 0x1CFF) || (u >= 0xA800 && u <= 0xABFF) || (u >= 0xD804 && u <= 0xD807))
            return true;
    }
    return false;
}

// Clusters are whole: the ends rise to the text's end and none falls inside a surrogate pair.
bool wholeClusters(const QString& text, const std::vector<qsizetype>& ends)
{
    qsizetype previous = 0;
    for (const qsizetype end : ends) {
        if (end <= previous || end > text.size()
            || (end < text.size() && text[end].isLowSurrogate() && text[end - 1].isHighSurrogate()))
            return false;
        previous = end;
    }
    return previous == text.size();
}

void check(bool condition)
{
    if (!condition)
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    const qsizetype limit = data[0] % 64;
    const QString text = QString::fromUtf8(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));

    const std::vector<qsizetype> ends = Text::graphemeEnds(text);
    const bool tailored = hasTailoredScript(text);
    check(wholeClusters(text, ends));
    check(Text::graphemeCount(text) == qsizetype(ends.size()));
    // Unicode's rules where Qt's own for a script do not apply, and both know every character.
    if (!tailored && !Text::hasLoneSurrogate(text) && test::assignedBefore(text, 15))
        check(ends == test::referenceGraphemeEnds(text));

    const QStringList chunks = TextImport::chunks(text, limit);
    for (const QString& chunk : chunks)
        check(!chunk.isEmpty() && (tailored || Text::graphemeCount(chunk) <= qMax<qsizetype>(limit, 1)));
    check(withoutWhiteSpace(chunks.join(QString())) == withoutWhiteSpace(text));

    const Selection selection(QUuid::createUuid(), text, std::nullopt, QStringLiteral("App"), std::nullopt,
                              std::nullopt, text.left(limit), std::nullopt, {}, QDateTime());
    ContextDraft draft;
    draft.task = text.right(limit);
    draft.templateName = limit % 3 == 0 ? QStringLiteral("XML-tagged") : limit % 3 == 1 ? QStringLiteral("Plain") : QString();
    draft.entries = {{QUuid::createUuid(), selection.id, true, false, limit % 2 == 0, text.mid(limit), std::nullopt},
                     {QUuid::createUuid(), selection.id, true, limit % 5 == 0, limit % 2 == 1, std::nullopt, text}};
    const ModelProfile characters{QStringLiteral("c"), QStringLiteral("c"), 0, 1.0};
    for (bool grouped : {true, false}) {
        const ComposedContext composed =
            ContextComposer::compose(draft, {selection}, ContextComposer::defaultPreamble(), characters, limit, grouped);
        check(composed.tokens == Text::graphemeCount(composed.text));
    }
    const auto split = ContextComposer::splitForMessages(draft, {selection}, text.left(3), characters, limit + 1);
    for (const ComposedContext& message : split)
        check(message.tokens == Text::graphemeCount(message.text));
    return 0;
}
