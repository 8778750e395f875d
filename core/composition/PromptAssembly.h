#pragma once

#include "core/library/ComposerTemplate.h"
#include "core/library/ContextDraft.h"
#include "core/library/ContextDraftEntry.h"
#include "core/library/Selection.h"

#include <QList>
#include <QString>
#include <QUuid>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

namespace vellicord {

// One draft made ready for rendering in its layout, for the composer's operations only: the
// entries that take part (included, capture present; pinned first, each part in draft order),
// each with its rendered part counted once. Any run of those entries then renders,
// or is counted in characters, without preparing or counting a body again; reducing and
// splitting a large draft depend on that.
//
// Counting works because every piece of a rendering meets its neighbours at a line feed, and
// character counts add up across line feeds (Text::graphemeCount), so the characters of the whole
// are the sum of its pieces'. The one exception is a body that ends in a carriage return: it
// forms one character with the line feed after it.
class PromptAssembly {
public:
    // What one entry adds to the prompt in a layout. It is made from the entry and its capture
    // alone, never from the rest of the draft, so a part made once serves every composition in
    // which the same entry names the same capture.
    struct Part {
        QString heading; // the section heading when this entry's capture represents its section
        QString item; // body and note as the layout writes them
        qsizetype headingChars = 0;
        qsizetype itemChars = 0;
        bool itemEndsInReturn = false;
        QString sourceKey; // the same text for entries from the same source
    };
    // The part of an entry whose body (ContextComposer::entryBody) is given.
    static Part makePart(const ContextDraftEntry& entry, const Selection& selection, ComposerTemplate layout,
                         const QString& body);

    struct PreparedEntry {
        qsizetype index; // position in the draft's entries
        const ContextDraftEntry* entry;
        const Selection* selection;
        std::shared_ptr<const Part> part;
    };

    // The capture an id names, or none.
    using Captures = std::function<const Selection*(const QUuid&)>;
    // Where the parts come from: made afresh, or kept from an earlier composition.
    using Parts
        = std::function<std::shared_ptr<const Part>(const ContextDraftEntry&, const Selection&, ComposerTemplate)>;

    // Keeps references to draft and selections, which must outlive it.
    PromptAssembly(const ContextDraft& draft, const QList<Selection>& selections,
                   const std::optional<QString>& preamble);
    // The captures found by id; the captures found and the parts must outlive it.
    PromptAssembly(const ContextDraft& draft, const Captures& captures, const std::optional<QString>& preamble,
                   const Parts& parts);

    const std::vector<PreparedEntry>& entries() const { return entries_; }
    // Whether there is anything to compose: a task, a preamble the layout shows, or an entry.
    bool hasContent() const;

    // Members are positions in entries(), in prompt order. With grouping, entries from the same
    // source share one section, placed where its first entry comes; without, each entry has its own.
    QString render(const std::vector<qsizetype>& members, bool groupBySource) const;
    // The characters of render(members, groupBySource), without rendering.
    qsizetype characters(const std::vector<qsizetype>& members, bool groupBySource) const;

    // What decides the characters of a rendering besides its fixed frame.
    struct Count {
        qsizetype sections = 0;
        qsizetype items = 0;
        qsizetype pieces = 0; // characters of the section headings and items
        qsizetype endsInReturn = 0; // items that end in a carriage return
        bool lastEndsInReturn = false; // the last item of the last section does
    };

    // A running count of characters as entries are added, grouped by source.
    class Tally {
    public:
        explicit Tally(const PromptAssembly& assembly);
        // The characters with member added, without adding it.
        qsizetype charactersWith(qsizetype member) const;
        void add(qsizetype member);
        qsizetype characters() const { return assembly_.total(count_); }
        void clear();

    private:
        Count added(qsizetype member) const;

        const PromptAssembly& assembly_;
        std::vector<char> present_; // by source key
        std::vector<qsizetype> touched_;
        Count count_;
        qsizetype lastKey_ = -1; // source key of the last section
    };

private:
    struct Frame {
        QString empty; // the whole text when there is no source section
        QString head; // before the first section
        QString firstLead; // before the first section, after head
        QString lead; // before every later section
        QString close; // after every section's items
        QString tail; // after the last section
        qsizetype emptyChars = 0, headChars = 0, firstLeadChars = 0, leadChars = 0, closeChars = 0, tailChars = 0;
    };

    void prepareEntries(const ContextDraft& draft, const Captures& captures, const Parts& parts);
    void buildFrame(const ContextDraft& draft, const std::optional<QString>& preamble);
    void numberSources();
    const Part& part(qsizetype member) const { return *entries_[size_t(member)].part; }
    qsizetype total(const Count& count) const;
    // The members in sections: each section's members in order, sections in order of first member.
    std::vector<std::vector<qsizetype>> sections(const std::vector<qsizetype>& members, bool groupBySource) const;

    ComposerTemplate layout_;
    bool hasTask_ = false;
    bool hasPreamble_ = false; // a preamble the layout shows
    std::vector<PreparedEntry> entries_;
    std::vector<qsizetype> sourceKeys_; // by entry: the same number for entries from the same source
    qsizetype sourceKeyCount_ = 0;
    Frame frame_;
};

} // namespace vellicord
