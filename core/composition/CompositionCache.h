#pragma once

#include "core/composition/PromptAssembly.h"
#include "core/library/ComposerTemplate.h"
#include "core/library/ContextDraftEntry.h"
#include "core/library/Selection.h"

#include <QHash>
#include <QPair>
#include <QString>
#include <QUuid>

#include <cstdint>
#include <memory>
#include <optional>

namespace vellicord {

// What one composition of a prompt leaves for the next, so that a keystroke in a prompt of
// hundreds of long sources prepares and counts only what it changed (ContextComposer::compose
// with a cache): each entry's part, kept with the entry, capture and layout it was made from, and
// the character count of the last edited preview. A part is used again only when everything it
// was made from is the same, so a changed entry, note, capture or layout is prepared afresh; the
// parts of entries that a composition no longer uses are let go after it. Main thread only.
class CompositionCache {
public:
    // The part of an entry and its capture in the layout: the one kept, or one made now.
    std::shared_ptr<const PromptAssembly::Part> part(const ContextDraftEntry& entry, const Selection& selection,
                                                     ComposerTemplate layout);
    // Lets go of the parts not asked for since the last call.
    void forgetUnused();

    // The characters of an edited preview: where it continues the last one counted, only the lines
    // that differ from it are counted again.
    qsizetype previewCharacters(const QString& preview);

private:
    struct Record {
        ContextDraftEntry entry;
        Selection selection;
        ComposerTemplate layout = ComposerTemplate::sections;
        QString body;
        std::shared_ptr<const PromptAssembly::Part> part;
        bool used = false;
    };

    QHash<QPair<QUuid, QUuid>, Record> records_; // by entry and capture
    std::optional<QString> preview_;
    qsizetype previewCharacters_ = 0;
};

} // namespace vellicord
