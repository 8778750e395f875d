#pragma once

#include "core/richtext/MarkdownRun.h"

#include <QList>
#include <QString>

#include <optional>

namespace vellicord {

// The Markdown parser (CommonMark with the strikethrough and table extensions) as the display
// rendering reads it: one run per text, code, break or raw HTML node, with the blocks around it.
namespace MarkdownParser {

// Nothing when the blocks nest deeper than maximumNesting.
std::optional<QList<MarkdownRun>> parse(const QString& markdown, int maximumNesting);

} // namespace MarkdownParser
} // namespace vellicord
