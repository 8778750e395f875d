#pragma once

#include "core/library/ContextDraft.h"
#include "core/library/Selection.h"
#include "core/library/SelectionGroup.h"
#include "core/library/SelectionList.h"

#include <QList>
#include <QUuid>

#include <cstdint>
#include <optional>

namespace vellicord {

// The whole library as one document: what the library file and its backup hold.
// Records are shared, so taking a snapshot of the store costs no copy of them, and the store's
// next change copies no more than the chunk of captures it touches.
struct StoreSnapshot {
    // The format this build writes; documents of versions 1 and 2 are read alike.
    static constexpr int64_t currentVersion = 2;

    int64_t version = currentVersion;
    SelectionList selections;
    QList<SelectionGroup> groups;
    std::optional<QList<ContextDraft>> drafts;
    std::optional<QUuid> activeDraftID;

    friend bool operator==(const StoreSnapshot& a, const StoreSnapshot& b) = default;
};

} // namespace vellicord
