#include "core/composition/ContextComposer.h"

#include <algorithm>

#include "core/composition/CompositionCache.h"
#include "core/composition/PromptAssembly.h"
#include "core/foundation/JsonSyntax.h"
#include "core/foundation/Text.h"
#include "core/library/TokenEstimator.h"

#include <QSet>

#include <array>
#include <string_view>

namespace vellicord::ContextComposer {

namespace {

constexpr std::array<std::u16string_view, 23> codeMarkers{
    u"def ",     u"func ",    u"class ",  u" import ", u"return ", u"let ", u"var ",       u"const ",
    u"public ",  u"private ", u"static ", u"</",       u"?>",      u"??:",  u"@interface", u"@implementation",
    u"#include", u"#import",  u"  // ",   u"\t//",     u"=>",      u"::",   u";"};

constexpr char16_t asciiLower(char16_t c)
{
    return char16_t(c - u'A') < 26 ? char16_t(c + (u'a' - u'A')) : c;
}

// Which markers start with each lower-cased ASCII character, and which pairs of characters
// begin some marker: most positions of a text start none, and two small lookups tell so.
struct MarkerTable {
    std::array<uint32_t, 128> byFirst{};
    std::array<uint64_t, 128 * 128 / 64> pairs{};
    constexpr MarkerTable()
    {
        for (size_t m = 0; m < codeMarkers.size(); ++m) {
            const std::u16string_view marker = codeMarkers[m];
            byFirst[marker[0]] |= uint32_t(1) << m;
            for (size_t second = 0; second < 128; ++second) {
                if (marker.size() == 1 || marker[1] == second) {
                    const size_t bit = size_t(marker[0]) * 128 + second;
                    pairs[bit / 64] |= uint64_t(1) << (bit % 64);
                }
            }
        }
    }
    // first is ASCII; second is any code unit.
    bool mayStart(char16_t first, char16_t second) const
    {
        const size_t bit = size_t(first) * 128 + (second < 128 ? second : 0);
        return (pairs[bit / 64] >> (bit % 64)) & 1;
    }
};
constexpr MarkerTable markerTable;

// What the scan of a text has to look at for each ASCII character; 0 for nothing.
struct CharacterKinds {
    enum : uint8_t { opening = 1, closing = 2, lineEnd = 4 };
    std::array<uint8_t, 128> kinds{};
    constexpr CharacterKinds()
    {
        for (char16_t c : std::u16string_view(u"{(["))
            kinds[c] |= opening;
        for (char16_t c : std::u16string_view(u"})]"))
            kinds[c] |= closing;
        kinds[u'\n'] |= lineEnd;
        kinds[u'\r'] |= lineEnd;
    }
};
constexpr CharacterKinds characterKinds;

// Code units each character takes more when escaped for XML.
constexpr std::array<uint8_t, 128> xmlExtra = [] {
    std::array<uint8_t, 128> extra{};
    extra['&'] = 4;
    extra['<'] = 3;
    extra['>'] = 3;
    extra['"'] = 5;
    return extra;
}();

// Whether the lower-cased text has marker at position. Lower-casing only ASCII letters is
// enough: no other character lower-cases into a letter that occurs in a marker.
bool markerAt(std::u16string_view text, size_t position, std::u16string_view marker)
{
    if (text.size() - position < marker.size())
        return false;
    for (size_t k = 0; k < marker.size(); ++k) {
        if (asciiLower(text[position + k]) != marker[k])
            return false;
    }
    return true;
}

std::u16string_view view(const QString& text)
{
    return {reinterpret_cast<const char16_t*>(text.constData()), size_t(text.size())};
}

// A line feed that is a character of its own: one after a carriage return belongs to it.
bool isLineBreakAt(std::u16string_view text, size_t position)
{
    return text[position] == u'\n' && (position == 0 || text[position - 1] != u'\r');
}

bool hasAtLeastCharacters(const QString& text, qsizetype count)
{
    if (text.size() < count)
        return false;
    // A prefix has at most one character more than the whole text has within it.
    const qsizetype probe = 16 * count;
    if (text.size() > probe && Text::graphemeCount(QStringView(text).first(probe)) > count)
        return true;
    return Text::graphemeCount(text) >= count;
}

// `trimmed` is already trimmed. Brackets, markers and the shape of the lines, in one pass.
bool looksLikeCode(const QString& trimmed)
{
    if (!hasAtLeastCharacters(trimmed, 3))
        return false;
    const std::u16string_view text = view(trimmed);
    qsizetype opening = 0, closing = 0, lines = 0, lineBreaks = 0, ascii = 0, returns = 0;
    bool lineHasText = false;
    const size_t size = text.size();
    for (size_t i = 0; i < size; ++i) {
        const char16_t c = text[i];
        if (c >= 0x80) {
            lineHasText = true;
            continue;
        }
        ++ascii;
        // Written to take no branch for the common character: the rare cases below are taken
        // seldom enough to be predicted.
        const char16_t second = i + 1 < size ? text[i + 1] : 0;
        if (markerTable.mayStart(asciiLower(c), asciiLower(second))) {
            const uint32_t candidates = markerTable.byFirst[asciiLower(c)];
            for (size_t m = 0; m < codeMarkers.size(); ++m) {
                if ((candidates >> m) & 1 && markerAt(text, i, codeMarkers[m]))
                    return true;
            }
        }
        if (const uint8_t kind = characterKinds.kinds[c]) {
            opening += (kind & CharacterKinds::opening) ? 1 : 0;
            closing += (kind & CharacterKinds::closing) ? 1 : 0;
            returns += c == u'\r' ? 1 : 0;
            if (isLineBreakAt(text, i)) {
                ++lineBreaks;
                lines += lineHasText ? 1 : 0;
                lineHasText = false;
                continue;
            }
        }
        lineHasText = true;
    }
    lines += lineHasText ? 1 : 0;
    if (opening >= 2 && opening == closing)
        return true;
    if (lines < 4)
        return false;
    // Each lone line feed is a character of its own, so the lines hold all the others. Every
    // ASCII character but the line feed of a CR LF pair starts a character of its own, and no
    // character has more than one code unit in it, which bounds the count without counting.
    const qsizetype most = qsizetype(text.size()) - lineBreaks;
    const qsizetype least = ascii - returns - lineBreaks;
    if (most / lines < 15)
        return false;
    if (least / lines >= 15)
        return true;
    return (Text::graphemeCount(trimmed) - lineBreaks) / lines >= 15;
}

bool isJsonObjectOrArray(const QString& trimmed)
{
    if (!trimmed.startsWith(u'{') && !trimmed.startsWith(u'['))
        return false;
    const QByteArray utf8 = trimmed.toUtf8();
    return JsonSyntax::isObjectOrArray(std::string_view(utf8.constData(), size_t(utf8.size())));
}

// The first ten lines that are not empty, joined again with line feeds.
QString headLines(const QString& trimmed)
{
    const std::u16string_view text = view(trimmed);
    QString head;
    int lines = 0;
    size_t start = 0;
    for (size_t i = 0; i <= text.size() && lines < 10; ++i) {
        if (i < text.size() && !isLineBreakAt(text, i))
            continue;
        if (i > start) {
            if (!head.isEmpty())
                head += u'\n';
            head += QStringView(text.data() + start, qsizetype(i - start));
            ++lines;
        }
        start = i + 1;
    }
    return head;
}

bool containsAny(const QString& text, std::initializer_list<const char16_t*> needles)
{
    for (const char16_t* needle : needles) {
        if (text.contains(QStringView(needle)))
            return true;
    }
    return false;
}

std::optional<QString> languageOfTrimmed(const QString& trimmed)
{
    if (trimmed.isEmpty() || !looksLikeCode(trimmed))
        return std::nullopt;
    if (isJsonObjectOrArray(trimmed))
        return QStringLiteral("json");
    const QString head = headLines(trimmed);
    if (containsAny(head, {u"func ", u"let ", u"var ", u"->"}))
        return QStringLiteral("swift");
    if (containsAny(head, {u"def ", u"import ", u"    # ", u"__name__"}))
        return QStringLiteral("python");
    return std::nullopt;
}

// Text that already opens a fence is left alone: fencing it again would leave a fence open that
// swallows the rest of the prompt, and trimming a fenced body would add one more layer each time.
std::optional<QString> fencedIfCode(const QString& trimmed)
{
    if (trimmed.startsWith(QStringLiteral("```")))
        return std::nullopt;
    const std::optional<QString> language = languageOfTrimmed(trimmed);
    if (!language)
        return std::nullopt;
    // The fence is longer than any run of backticks in the code, so a "```" line inside it (a
    // Markdown snippet in a string, say) cannot close it early and open a block over the rest.
    qsizetype longestRun = 0;
    qsizetype run = 0;
    for (QChar c : trimmed) {
        run = c == u'`' ? run + 1 : 0;
        longestRun = std::max(longestRun, run);
    }
    const QString fence(std::max<qsizetype>(3, longestRun + 1), u'`');
    return fence + *language + u'\n' + trimmed + u'\n' + fence;
}

QString overBudgetLine(int64_t tokens, int64_t maxTokens)
{
    return QStringLiteral("Over budget by an estimated ") + TokenEstimator::format(tokens - maxTokens)
        + QStringLiteral(" tokens.");
}

QString zeroBudgetLine()
{
    return QStringLiteral("The token budget must be greater than zero.");
}

QStringList budgetFeedback(int64_t tokens, std::optional<int64_t> maxTokens)
{
    if (!maxTokens)
        return {};
    if (*maxTokens < 1)
        return {zeroBudgetLine()};
    if (tokens > *maxTokens)
        return {overBudgetLine(tokens, *maxTokens)};
    return {};
}

const ModelProfile& resolved(const ContextDraft& draft, const std::optional<ModelProfile>& profile)
{
    return profile ? *profile : draft.modelProfile();
}

int64_t tokensFor(qsizetype characters, const ModelProfile& profile)
{
    return TokenEstimator::estimateForCharacters(characters, profile.charsPerToken);
}

ComposedContext previewContext(const QString& preview, int64_t tokens, std::optional<int64_t> maxTokens)
{
    return {preview, tokens, budgetFeedback(tokens, maxTokens), 0};
}

ComposedContext composeMembers(const PromptAssembly& assembly, const std::vector<qsizetype>& members,
                               bool groupBySource, const ModelProfile& profile, std::optional<int64_t> maxTokens)
{
    const int64_t tokens = tokensFor(assembly.characters(members, groupBySource), profile);
    return {assembly.render(members, groupBySource), tokens, budgetFeedback(tokens, maxTokens),
            qsizetype(members.size())};
}

std::vector<qsizetype> allMembers(const PromptAssembly& assembly)
{
    std::vector<qsizetype> members(assembly.entries().size());
    for (size_t i = 0; i < members.size(); ++i)
        members[i] = qsizetype(i);
    return members;
}

// Each entry with the pieces counted once, and the greedy packing measured with a running tally
// instead of rendering every candidate: the same messages as rendering each one in full.
std::vector<std::vector<qsizetype>> packMessages(const PromptAssembly& assembly, const ModelProfile& profile,
                                                 int64_t maxTokens)
{
    std::vector<std::vector<qsizetype>> finished;
    std::vector<qsizetype> current;
    PromptAssembly::Tally tally(assembly);
    for (qsizetype member = 0; member < qsizetype(assembly.entries().size()); ++member) {
        if (tokensFor(tally.charactersWith(member), profile) > maxTokens && !current.empty()) {
            finished.push_back(std::move(current));
            current.clear();
            tally.clear();
        }
        current.push_back(member);
        tally.add(member);
    }
    if (!current.empty())
        finished.push_back(std::move(current));
    return finished;
}

QString messageLabel(qsizetype position, qsizetype count, int64_t tokens)
{
    return QStringLiteral("\u2014\u2014 MESSAGE ") + QString::number(position + 1) + QStringLiteral(" OF ")
        + QString::number(count) + QStringLiteral(" \u00B7 ") + TokenEstimator::format(tokens)
        + QStringLiteral(" tokens \u2014\u2014");
}

// The draft's assembly, made when an operation first needs it: from the library's list of
// captures, or from captures found by id with the parts a cache kept.
using Assemble = std::function<PromptAssembly()>;

Assemble fromList(const ContextDraft& draft, const QList<Selection>& selections, const std::optional<QString>& preamble)
{
    return [&] { return PromptAssembly(draft, selections, preamble); };
}

Assemble fromCache(const ContextDraft& draft, const CachedCaptures& captures, const std::optional<QString>& preamble)
{
    return [&] {
        CompositionCache& cache = captures.cache;
        PromptAssembly assembly(draft, captures.find, preamble,
                                [&cache](const ContextDraftEntry& entry, const Selection& selection,
                                         ComposerTemplate layout) { return cache.part(entry, selection, layout); });
        cache.forgetUnused();
        return assembly;
    };
}

} // namespace

const QString& defaultPreamble()
{
    static const QString text
        = QStringLiteral("Use only the information in the sources below. Cite each source by name.");
    return text;
}

QString entryBody(const ContextDraftEntry& entry, const Selection& selection)
{
    if (entry.customText && !Text::isBlank(*entry.customText)) {
        if (entry.verbatim)
            return *entry.customText;
        const QString trimmed = Text::trimmed(*entry.customText);
        return fencedIfCode(trimmed).value_or(trimmed);
    }
    if (entry.verbatim)
        return selection.text;
    const QString text = Text::trimmed(selection.text);
    if (std::optional<QString> fenced = fencedIfCode(text))
        return *fenced;
    const QString markdown = Text::trimmed(selection.markdown);
    return markdown.isEmpty() ? text : markdown;
}

std::optional<QString> detectCodeLanguage(const QString& text)
{
    return languageOfTrimmed(Text::trimmed(text));
}

QString sourceLine(const Selection& selection)
{
    std::optional<QString> title;
    if (selection.sourceTitle) {
        QString trimmed = Text::trimmed(*selection.sourceTitle);
        if (!trimmed.isEmpty())
            title = trimmed;
    }
    const std::optional<QString> location = selection.sourceURL ? selection.sourceURL : selection.filePath;
    if (title && location)
        return *title + QStringLiteral(" \u2014 ") + *location;
    if (title)
        return *title;
    if (location)
        return *location;
    return selection.appName;
}

QString xmlEscape(const QString& text)
{
    qsizetype extra = 0;
    for (QChar c : text)
        extra += c.unicode() < 128 ? xmlExtra[c.unicode()] : 0;
    if (extra == 0)
        return text;
    QString escaped(text.size() + extra, Qt::Uninitialized);
    char16_t* out = reinterpret_cast<char16_t*>(escaped.data());
    auto put = [&out](std::u16string_view entity) {
        for (char16_t u : entity)
            *out++ = u;
    };
    for (QChar c : text) {
        const char16_t u = c.unicode();
        if (u >= 128 || xmlExtra[u] == 0) {
            *out++ = u;
            continue;
        }
        switch (u) {
        case u'&': put(u"&amp;"); break;
        case u'<': put(u"&lt;"); break;
        case u'>': put(u"&gt;"); break;
        default: put(u"&quot;"); break;
        }
    }
    return escaped;
}

ComposedContext compose(const ContextDraft& draft, const QList<Selection>& selections,
                        const std::optional<QString>& preamble, const std::optional<ModelProfile>& profile,
                        std::optional<int64_t> maxTokens, bool groupBySource)
{
    const ModelProfile& use = resolved(draft, profile);
    if (draft.previewText)
        return previewContext(*draft.previewText, TokenEstimator::estimate(*draft.previewText, use), maxTokens);
    const PromptAssembly assembly(draft, selections, preamble);
    return composeMembers(assembly, allMembers(assembly), groupBySource, use, maxTokens);
}

ComposedContext compose(const ContextDraft& draft, const CachedCaptures& captures,
                        const std::optional<QString>& preamble, const std::optional<ModelProfile>& profile,
                        std::optional<int64_t> maxTokens, bool groupBySource)
{
    const ModelProfile& use = resolved(draft, profile);
    if (draft.previewText)
        return previewContext(*draft.previewText, tokensFor(captures.cache.previewCharacters(*draft.previewText), use),
                              maxTokens);
    const PromptAssembly assembly = fromCache(draft, captures, preamble)();
    return composeMembers(assembly, allMembers(assembly), groupBySource, use, maxTokens);
}

namespace {

Reduction reduceWith(const ContextDraft& draft, const Assemble& assemble, const std::optional<ModelProfile>& profile,
                     int64_t maxTokens)
{
    if (draft.previewText)
        return {draft.entries,
                {QStringLiteral("Edit the preview directly to shorten this prompt, or reset it to "
                                "generated text before reducing sources.")}};
    if (maxTokens < 1)
        return {draft.entries,
                {QStringLiteral("The token budget must be greater than zero. No sources were removed.")}};
    const PromptAssembly assembly = assemble();
    if (!assembly.hasContent())
        return {draft.entries, {QStringLiteral("Nothing to reduce.")}};

    // Removal always takes the last prepared entry, so every rendering on the way is a prefix of
    // the prepared entries: their characters come from one running tally.
    const ModelProfile& use = resolved(draft, profile);
    const auto& entries = assembly.entries();
    std::vector<int64_t> prefixTokens(entries.size() + 1);
    PromptAssembly::Tally tally(assembly);
    prefixTokens[0] = tokensFor(tally.characters(), use);
    for (size_t i = 0; i < entries.size(); ++i) {
        tally.add(qsizetype(i));
        prefixTokens[i + 1] = tokensFor(tally.characters(), use);
    }

    size_t kept = entries.size();
    QSet<qsizetype> removed;
    bool stillOver = false;
    while (prefixTokens[kept] > maxTokens) {
        if (kept == 0 || entries[kept - 1].entry->pin) {
            stillOver = true;
            break;
        }
        removed.insert(entries[kept - 1].index);
        --kept;
    }

    Reduction result;
    for (qsizetype index = 0; index < draft.entries.size(); ++index) {
        if (!removed.contains(index))
            result.entries.push_back(draft.entries[index]);
    }
    const qsizetype count = removed.size();
    if (count >= 1)
        result.feedback.push_back(QStringLiteral("Removed ") + QString::number(count)
                                  + QStringLiteral(" optional source") + (count == 1 ? QString() : QStringLiteral("s"))
                                  + u'.');
    if (stillOver)
        result.feedback.push_back(QStringLiteral("Still over budget by an estimated ")
                                  + TokenEstimator::format(prefixTokens[kept] - maxTokens)
                                  + QStringLiteral(" tokens. Shorten the task, turn off the preamble, trim pinned "
                                                   "sources, or export."));
    else if (count >= 1)
        result.feedback.push_back(QStringLiteral("Now within the estimated budget."));
    else
        result.feedback.push_back(QStringLiteral("Already within the estimated budget."));
    return result;
}

QList<ComposedContext> splitWith(const ContextDraft& draft, const Assemble& assemble,
                                 const std::optional<ModelProfile>& profile, int64_t maxTokens)
{
    const ModelProfile& use = resolved(draft, profile);
    if (draft.previewText)
        return {previewContext(*draft.previewText, TokenEstimator::estimate(*draft.previewText, use), maxTokens)};
    const PromptAssembly assembly = assemble();
    if (!assembly.hasContent())
        return {};
    if (maxTokens < 1 || assembly.entries().empty())
        return {composeMembers(assembly, allMembers(assembly), true, use, maxTokens)};
    QList<ComposedContext> messages;
    for (const std::vector<qsizetype>& members : packMessages(assembly, use, maxTokens))
        messages.push_back(composeMembers(assembly, members, true, use, maxTokens));
    return messages;
}

SplitCopyPlan planWith(const ContextDraft& draft, const Assemble& assemble, const std::optional<ModelProfile>& profile,
                       int64_t maxTokens)
{
    SplitCopyPlan plan;
    if (draft.previewText) {
        plan.notice = QStringLiteral("Edited preview text cannot be split by source. Copy or export it, or reset to "
                                     "generated text first.");
        return plan;
    }
    plan.messages = splitWith(draft, assemble, profile, maxTokens);
    if (maxTokens < 1) {
        plan.notice = zeroBudgetLine();
        return plan;
    }
    if (plan.messages.isEmpty()) {
        plan.notice = QStringLiteral("Nothing to copy yet.");
        return plan;
    }
    for (const ComposedContext& message : plan.messages) {
        if (message.tokens > maxTokens) {
            plan.notice = QStringLiteral("Cannot split within this estimated budget. Shorten the task, turn off the "
                                         "preamble, trim oversized sources, or export.");
            return plan;
        }
    }
    QString clipboard;
    const qsizetype count = plan.messages.size();
    for (qsizetype i = 0; i < count; ++i) {
        if (i > 0)
            clipboard += QStringLiteral("\n\n");
        clipboard += messageLabel(i, count, plan.messages[i].tokens) + QStringLiteral("\n\n") + plan.messages[i].text;
    }
    plan.clipboardText = clipboard;
    plan.notice = QStringLiteral("Message token counts are estimates. Paste each message separately without its "
                                 "separator label.");
    return plan;
}

} // namespace

Reduction reduceToFit(const ContextDraft& draft, const QList<Selection>& selections,
                      const std::optional<ModelProfile>& profile, int64_t maxTokens,
                      const std::optional<QString>& preamble)
{
    return reduceWith(draft, fromList(draft, selections, preamble), profile, maxTokens);
}

Reduction reduceToFit(const ContextDraft& draft, const CachedCaptures& captures,
                      const std::optional<ModelProfile>& profile, int64_t maxTokens,
                      const std::optional<QString>& preamble)
{
    return reduceWith(draft, fromCache(draft, captures, preamble), profile, maxTokens);
}

QList<ComposedContext> splitForMessages(const ContextDraft& draft, const QList<Selection>& selections,
                                        const std::optional<QString>& preamble,
                                        const std::optional<ModelProfile>& profile, int64_t maxTokens)
{
    return splitWith(draft, fromList(draft, selections, preamble), profile, maxTokens);
}

SplitCopyPlan planSplitCopy(const ContextDraft& draft, const QList<Selection>& selections,
                            const std::optional<QString>& preamble, const std::optional<ModelProfile>& profile,
                            int64_t maxTokens)
{
    return planWith(draft, fromList(draft, selections, preamble), profile, maxTokens);
}

SplitCopyPlan planSplitCopy(const ContextDraft& draft, const CachedCaptures& captures,
                            const std::optional<QString>& preamble, const std::optional<ModelProfile>& profile,
                            int64_t maxTokens)
{
    return planWith(draft, fromCache(draft, captures, preamble), profile, maxTokens);
}

} // namespace vellicord::ContextComposer
