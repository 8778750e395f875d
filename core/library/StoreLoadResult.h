#pragma once

#include "core/library/StorePersistenceStatus.h"
#include "core/library/StoreSnapshot.h"

#include <optional>

namespace vellicord {

// What loading the library at start gives: the library to show (none when nothing could be
// loaded or there is nothing yet) and the state of its file.
struct StoreLoadResult {
    std::optional<StoreSnapshot> snapshot;
    StorePersistenceStatus status = StorePersistenceStatus::ready;
};

} // namespace vellicord
