#pragma once

#include "core/library/ComposerTemplate.h"
#include "core/library/ContextDraftEntry.h"
#include "core/library/ModelProfile.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QUuid>

#include <optional>

namespace vellicord {

// A prompt being put together from captures.
struct ContextDraft {
    QUuid id;
    QString name;
    QString task;
    QString templateName;   // a ComposerTemplate raw value; any other text is kept as it is
    QString modelProfileID; // any text is kept as it is
    QDateTime createdAt;
    QDateTime updatedAt;
    QList<ContextDraftEntry> entries;
    std::optional<QString> previewText;

    // The built-in profile named by modelProfileID, "gpt-4o" when none is.
    const ModelProfile& modelProfile() const;
    // The layout named by templateName; any other text counts as Sections.
    ComposerTemplate templateKind() const;
    // Entries that take part in the prompt, whether or not their captures still exist.
    qsizetype includedCount() const;

    friend bool operator==(const ContextDraft& a, const ContextDraft& b);
};

size_t qHash(const ContextDraft& draft, size_t seed = 0);

} // namespace vellicord
