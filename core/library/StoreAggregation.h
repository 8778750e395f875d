#pragma once

#include "core/library/Selection.h"
#include "core/library/SelectionList.h"
#include "core/library/SourceAggregate.h"

#include <QList>

namespace vellicord {

namespace StoreAggregation {

// One aggregate per source identifier, in the order of the sources' display texts (the user's
// locale, case ignored). The first capture of a source fixes its identity; ids keep input order.
QList<SourceAggregate> sources(const QList<Selection>& selections);
QList<SourceAggregate> sources(const SelectionList& selections);

} // namespace StoreAggregation
} // namespace vellicord
