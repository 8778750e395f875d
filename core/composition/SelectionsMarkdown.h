#pragma once

#include "core/library/Selection.h"
#include "core/library/SourceIdentity.h"

#include <QList>
#include <QString>

namespace vellicord {

// Captures as Markdown for the clipboard.
namespace SelectionsMarkdown {

// The capture's own Markdown.
QString single(const Selection& selection);
// Oldest first, each under "## app · yyyy-MM-dd HH:mm" (local time), separated by rules.
QString document(const QList<Selection>& selections);
// The same under a heading naming the source: its address, file path or application.
QString fromSource(const QList<Selection>& selections, const SourceIdentity& source);
// The plain texts, in the order given (the order shown), separated by the same rule.
QString plainText(const QList<Selection>& selections);

} // namespace SelectionsMarkdown
} // namespace vellicord
