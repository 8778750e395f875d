#pragma once

#include "support/ViewFakes.h"

#include <QStringList>

#include <functional>

namespace vellicord::test {

// Stores a prompt "Reading list" with the task "Summarise." and one included entry per text, each
// naming a capture of its own from "Notes"; the edit has the last word. Returns it as stored.
inline ContextDraft storePrompt(ViewFakes& fakes, const QStringList& texts,
                                const std::function<void(ContextDraft&)>& edit = {})
{
    ContextDraft draft = *fakes.store->newDraft(QStringLiteral("Reading list"));
    draft.task = QStringLiteral("Summarise.");
    for (const QString& text : texts) {
        const Selection capture(QUuid::createUuid(), text, std::nullopt, QStringLiteral("Notes"), std::nullopt,
                                std::nullopt, std::nullopt, std::nullopt, {}, fakes.time.now());
        fakes.store->add(capture);
        draft.entries.append({QUuid::createUuid(), capture.id, true, false, false, std::nullopt, std::nullopt});
    }
    if (edit)
        edit(draft);
    fakes.store->updateDraft(draft);
    return *fakes.store->findDraft(draft.id);
}

} // namespace vellicord::test
