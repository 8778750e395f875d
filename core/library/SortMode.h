#pragma once

#include "core/library/Selection.h"
#include "core/library/SelectionList.h"

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>
#include <vector>

namespace vellicord {

// The orders of the library list, and its search rule.
enum class SortMode { newestFirst, oldestFirst, byApp, bySource };

namespace SortModes {

// The four modes in the order the sort menu lists them.
const QList<SortMode>& allCases();
// "Newest first", "Oldest first", "By app", "By source": also the texts the list shows.
QString rawValue(SortMode mode);
std::optional<SortMode> fromRawValue(const QString& text);

// The positions of the captures in the list, in the mode's order; a stable sort. Under "By app"
// and "By source" captures whose names are the same text are newest first; other names go A to Z
// in the user's locale with case ignored; names that differ only in case keep their input order.
std::vector<uint32_t> order(SortMode mode, const QList<Selection>& selections);
std::vector<uint32_t> order(SortMode mode, const SelectionList& selections);
// Copies of the captures in that order.
QList<Selection> sort(SortMode mode, const QList<Selection>& selections);
QList<Selection> sort(SortMode mode, const SelectionList& selections);

// Whether a capture matches a query: an empty query matches everything; otherwise the query must
// occur in the capture's search text, both in NFC (so that an accent typed as a letter of its own
// finds the accented letter, and the reverse), otherwise unchanged.
bool matches(const QString& query, const Selection& selection);
// The lower-cased text, Markdown, application name, address and file path, joined by line feeds,
// in NFC.
QString searchText(const Selection& selection);
// matches() against a search text made earlier (the library list keeps them).
bool matchesSearchText(const QString& query, const QString& searchText);
// A lower-cased text as search compares it: the final sigma ς as σ, in captures and query alike. A
// word in capitals lower-cases with σ at its end ("ΟΔΟΣ" is "οδοσ"), where the same word written in
// lower case ends in ς ("οδος"); either finds the other.
QString searchFolded(QString lowered);

} // namespace SortModes
} // namespace vellicord
