#include "core/composition/PromptAssembly.h"

#include "core/composition/ContextComposer.h"
#include "core/foundation/Text.h"

#include <QHash>

namespace vellicord {

namespace {

constexpr qsizetype itemSeparatorChars = 2; // "\n\n" between the items of one section

// The grouping key of a capture: its address, else its file path, else its application, in
// canonical form, so that the prompt groups sources the way the library's source list does.
QString sourceKey(const Selection& selection)
{
    if (selection.sourceURL)
        return Text::canonical(*selection.sourceURL);
    if (selection.filePath)
        return Text::canonical(*selection.filePath);
    return Text::canonical(selection.appName);
}

bool endsInReturn(const QString& text)
{
    return !text.isEmpty() && text.back() == QChar(u'\r');
}

std::optional<QString> trimmedNote(const ContextDraftEntry& entry)
{
    if (!entry.note)
        return std::nullopt;
    QString note = Text::trimmed(*entry.note);
    if (note.isEmpty())
        return std::nullopt;
    return note;
}

} // namespace

PromptAssembly::PromptAssembly(const ContextDraft& draft, const QList<Selection>& selections,
                               const std::optional<QString>& preamble)
    : layout_(ComposerTemplates::forDraftTemplate(draft.templateName))
{
    // Only the ids the draft names are looked up, so a large library costs one pass over it.
    QHash<QUuid, const Selection*> byID;
    for (const ContextDraftEntry& entry : draft.entries) {
        if (entry.include)
            byID.insert(entry.selectionID, nullptr);
    }
    qsizetype unresolved = byID.size();
    for (const Selection& selection : selections) {
        if (unresolved == 0)
            break;
        auto found = byID.find(selection.id);
        // The first capture with an id wins, as the library's own lookup does.
        if (found != byID.end() && *found == nullptr) {
            *found = &selection;
            --unresolved;
        }
    }
    prepareEntries(
        draft, [&byID](const QUuid& id) { return byID.value(id); },
        [](const ContextDraftEntry& entry, const Selection& selection, ComposerTemplate layout) {
            return std::make_shared<const Part>(
                makePart(entry, selection, layout, ContextComposer::entryBody(entry, selection)));
        });
    buildFrame(draft, preamble);
    numberSources();
}

PromptAssembly::PromptAssembly(const ContextDraft& draft, const Captures& captures,
                               const std::optional<QString>& preamble, const Parts& parts)
    : layout_(ComposerTemplates::forDraftTemplate(draft.templateName))
{
    prepareEntries(draft, captures, parts);
    buildFrame(draft, preamble);
    numberSources();
}

void PromptAssembly::prepareEntries(const ContextDraft& draft, const Captures& captures, const Parts& parts)
{
    std::vector<PreparedEntry> unpinned;
    for (qsizetype index = 0; index < draft.entries.size(); ++index) {
        const ContextDraftEntry& entry = draft.entries[index];
        if (!entry.include)
            continue;
        const Selection* selection = captures(entry.selectionID);
        if (!selection)
            continue;
        PreparedEntry prepared{index, &entry, selection, parts(entry, *selection, layout_)};
        (entry.pin ? entries_ : unpinned).push_back(std::move(prepared));
    }
    for (PreparedEntry& prepared : unpinned)
        entries_.push_back(std::move(prepared));
}

void PromptAssembly::buildFrame(const ContextDraft& draft, const std::optional<QString>& preamble)
{
    const QString task = Text::trimmed(draft.task);
    const QString instruction = preamble ? Text::trimmed(*preamble) : QString();
    hasTask_ = !task.isEmpty();
    hasPreamble_ = layout_ != ComposerTemplate::plain && !instruction.isEmpty();

    Frame& f = frame_;
    const QString rule = QStringLiteral("\n\n---\n\n");
    switch (layout_) {
    case ComposerTemplate::sections: {
        const QString taskPart = hasTask_ ? QStringLiteral("# Task\n\n") + task : QString();
        const QString quote = hasPreamble_ ? QStringLiteral("> ") + instruction : QString();
        if (hasTask_ && hasPreamble_)
            f.empty = taskPart + QStringLiteral("\n\n# Context\n\n") + quote;
        else if (hasPreamble_)
            f.empty = QStringLiteral("# Context\n\n") + quote;
        else
            f.empty = taskPart;
        f.head = (hasTask_ ? taskPart + QStringLiteral("\n\n") : QString()) + QStringLiteral("# Context\n\n") + quote;
        f.firstLead = hasPreamble_ ? rule : QString();
        f.lead = rule;
        break;
    }
    case ComposerTemplate::xml: {
        f.head = QStringLiteral("<context>");
        if (hasTask_)
            f.head += QStringLiteral("\n<task>\n") + ContextComposer::xmlEscape(task) + QStringLiteral("\n</task>");
        if (hasPreamble_)
            f.head += QStringLiteral("\n<instruction>\n") + ContextComposer::xmlEscape(instruction)
                + QStringLiteral("\n</instruction>");
        f.tail = QStringLiteral("\n</context>");
        f.empty = f.head + f.tail;
        f.firstLead = f.lead = QStringLiteral("\n");
        f.close = QStringLiteral("\n</source>");
        break;
    }
    case ComposerTemplate::plain: {
        f.head = hasTask_ ? QStringLiteral("TASK:\n") + task : QString();
        f.empty = f.head;
        f.firstLead = hasTask_ ? rule : QString();
        f.lead = rule;
        break;
    }
    }
    f.emptyChars = Text::graphemeCount(f.empty);
    f.headChars = Text::graphemeCount(f.head);
    f.firstLeadChars = Text::graphemeCount(f.firstLead);
    f.leadChars = Text::graphemeCount(f.lead);
    f.closeChars = Text::graphemeCount(f.close);
    f.tailChars = Text::graphemeCount(f.tail);
}

PromptAssembly::Part PromptAssembly::makePart(const ContextDraftEntry& entry, const Selection& selection,
                                              ComposerTemplate layout, const QString& body)
{
    Part p;
    const QString label = ContextComposer::sourceLine(selection);
    const std::optional<QString> note = trimmedNote(entry);
    switch (layout) {
    case ComposerTemplate::sections:
        p.heading = QStringLiteral("## SOURCE: ") + label + QStringLiteral("\n\n");
        p.item = note ? body + QStringLiteral("\n\n_Note: ") + *note + QStringLiteral("_") : body;
        break;
    case ComposerTemplate::xml:
        p.heading = QStringLiteral("<source name=\"") + ContextComposer::xmlEscape(label) + QStringLiteral("\">\n");
        p.item = ContextComposer::xmlEscape(note ? body + QStringLiteral("\n\n(_Note: ") + *note + QStringLiteral("_)")
                                                 : body);
        break;
    case ComposerTemplate::plain:
        p.heading = QStringLiteral("SOURCE: ") + label + QStringLiteral("\n\n");
        p.item = note ? body + QStringLiteral("\n\nNOTE: ") + *note : body;
        break;
    }
    p.headingChars = Text::graphemeCount(p.heading);
    p.itemChars = Text::graphemeCount(p.item);
    p.itemEndsInReturn = endsInReturn(p.item);
    p.sourceKey = sourceKey(selection);
    return p;
}

void PromptAssembly::numberSources()
{
    QHash<QString, qsizetype> keys;
    sourceKeys_.reserve(entries_.size());
    for (const PreparedEntry& prepared : entries_) {
        auto known = keys.constFind(prepared.part->sourceKey);
        if (known == keys.cend())
            known = keys.insert(prepared.part->sourceKey, keys.size());
        sourceKeys_.push_back(*known);
    }
    sourceKeyCount_ = keys.size();
}

bool PromptAssembly::hasContent() const
{
    return hasTask_ || hasPreamble_ || !entries_.empty();
}

qsizetype PromptAssembly::total(const Count& c) const
{
    const Frame& f = frame_;
    if (c.sections == 0)
        return f.emptyChars;
    // Every item is followed by a line feed, which a closing carriage return joins, except the
    // last one when nothing comes after the last section.
    const bool lastIsFollowed = f.closeChars > 0 || f.tailChars > 0;
    const qsizetype joined = c.endsInReturn - (!lastIsFollowed && c.lastEndsInReturn ? 1 : 0);
    return f.headChars + f.firstLeadChars + (c.sections - 1) * f.leadChars + c.sections * f.closeChars + f.tailChars
        + c.pieces + (c.items - c.sections) * itemSeparatorChars - joined;
}

std::vector<std::vector<qsizetype>> PromptAssembly::sections(const std::vector<qsizetype>& members,
                                                             bool groupBySource) const
{
    std::vector<std::vector<qsizetype>> result;
    if (!groupBySource) {
        for (qsizetype member : members)
            result.push_back({member});
        return result;
    }
    std::vector<qsizetype> sectionOfKey(size_t(sourceKeyCount_), -1);
    for (qsizetype member : members) {
        qsizetype& section = sectionOfKey[size_t(sourceKeys_[size_t(member)])];
        if (section < 0) {
            section = qsizetype(result.size());
            result.emplace_back();
        }
        result[size_t(section)].push_back(member);
    }
    return result;
}

QString PromptAssembly::render(const std::vector<qsizetype>& members, bool groupBySource) const
{
    const Frame& f = frame_;
    if (members.empty())
        return f.empty;
    const auto grouped = sections(members, groupBySource);
    qsizetype size = f.head.size() + f.firstLead.size() + f.tail.size();
    for (const auto& section : grouped) {
        size += f.lead.size() + f.close.size() + part(section.front()).heading.size();
        for (qsizetype member : section)
            size += part(member).item.size() + itemSeparatorChars;
    }
    QString text;
    text.reserve(size);
    text += f.head;
    for (size_t s = 0; s < grouped.size(); ++s) {
        text += s == 0 ? f.firstLead : f.lead;
        text += part(grouped[s].front()).heading;
        for (size_t i = 0; i < grouped[s].size(); ++i) {
            if (i > 0)
                text += QStringLiteral("\n\n");
            text += part(grouped[s][i]).item;
        }
        text += f.close;
    }
    text += f.tail;
    return text;
}

qsizetype PromptAssembly::characters(const std::vector<qsizetype>& members, bool groupBySource) const
{
    if (groupBySource) {
        Tally tally(*this);
        for (qsizetype member : members)
            tally.add(member);
        return tally.characters();
    }
    Count count;
    for (qsizetype member : members) {
        const Part& p = part(member);
        ++count.sections;
        ++count.items;
        count.pieces += p.headingChars + p.itemChars;
        count.endsInReturn += p.itemEndsInReturn ? 1 : 0;
        count.lastEndsInReturn = p.itemEndsInReturn;
    }
    return total(count);
}

PromptAssembly::Tally::Tally(const PromptAssembly& assembly)
    : assembly_(assembly)
    , present_(size_t(assembly.sourceKeyCount_), 0)
{
}

PromptAssembly::Count PromptAssembly::Tally::added(qsizetype member) const
{
    const Part& p = assembly_.part(member);
    const qsizetype key = assembly_.sourceKeys_[size_t(member)];
    Count c = count_;
    ++c.items;
    c.pieces += p.itemChars;
    c.endsInReturn += p.itemEndsInReturn ? 1 : 0;
    if (!present_[size_t(key)]) {
        ++c.sections;
        c.pieces += p.headingChars;
        c.lastEndsInReturn = p.itemEndsInReturn;
    } else if (key == lastKey_) {
        c.lastEndsInReturn = p.itemEndsInReturn;
    }
    return c;
}

qsizetype PromptAssembly::Tally::charactersWith(qsizetype member) const
{
    return assembly_.total(added(member));
}

void PromptAssembly::Tally::add(qsizetype member)
{
    count_ = added(member);
    const qsizetype key = assembly_.sourceKeys_[size_t(member)];
    if (!present_[size_t(key)]) {
        present_[size_t(key)] = 1;
        touched_.push_back(key);
        lastKey_ = key;
    }
}

void PromptAssembly::Tally::clear()
{
    for (qsizetype key : touched_)
        present_[size_t(key)] = 0;
    touched_.clear();
    count_ = Count();
    lastKey_ = -1;
}

} // namespace vellicord
