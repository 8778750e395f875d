#include "core/library/ContextDraft.h"

#include "core/library/RecordEquality.h"

namespace vellicord {

const ModelProfile& ContextDraft::modelProfile() const
{
    return ModelProfile::profile(modelProfileID);
}

ComposerTemplate ContextDraft::templateKind() const
{
    return ComposerTemplates::forDraftTemplate(templateName);
}

qsizetype ContextDraft::includedCount() const
{
    qsizetype count = 0;
    for (const ContextDraftEntry& entry : entries)
        count += entry.include ? 1 : 0;
    return count;
}

bool operator==(const ContextDraft& a, const ContextDraft& b)
{
    using namespace RecordEquality;
    return a.id == b.id && same(a.name, b.name) && same(a.task, b.task) && same(a.templateName, b.templateName)
        && same(a.modelProfileID, b.modelProfileID) && a.createdAt == b.createdAt && a.updatedAt == b.updatedAt
        && a.entries == b.entries && same(a.previewText, b.previewText);
}

size_t qHash(const ContextDraft& d, size_t seed)
{
    return RecordEquality::combine(seed, d.id, d.name, d.task, d.templateName, d.modelProfileID, d.createdAt,
                                   d.updatedAt, d.entries, d.previewText);
}

} // namespace vellicord
