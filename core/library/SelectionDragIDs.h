#pragma once

#include <QSet>
#include <QString>
#include <QUuid>

#include <optional>

namespace vellicord {

// A set of capture ids as the one plain-text string that travels in drags.
namespace SelectionDragIDs {

inline constexpr char16_t prefix[] = u"vellicordsel:";

// The prefix, then the ids' upper-case texts in ascending text order, joined by commas.
QString encode(const QSet<QUuid>& ids);
// The ids of a drag text; nothing when the text is absent, lacks the prefix or holds no id.
// Pieces that are not ids are skipped.
std::optional<QSet<QUuid>> ids(const std::optional<QString>& text);

} // namespace SelectionDragIDs
} // namespace vellicord
