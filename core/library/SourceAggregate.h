#pragma once

#include "core/library/SourceIdentity.h"

#include <QList>
#include <QUuid>

#include <cstdint>

namespace vellicord {

// One source of the library with the captures that came from it.
struct SourceAggregate {
    SourceIdentity identity;
    int64_t count = 0; // always selectionIDs.size()
    QList<QUuid> selectionIDs;

    const QString& id() const { return identity.identifier; }

    friend bool operator==(const SourceAggregate& a, const SourceAggregate& b)
    {
        return a.identity == b.identity && a.count == b.count && a.selectionIDs == b.selectionIDs;
    }
};

} // namespace vellicord
