#pragma once

#include "core/library/ContextDraft.h"
#include "core/library/PromptTemplate.h"
#include "platform/Defaults.h"

#include <QByteArray>
#include <QList>

#include <optional>

namespace vellicord {

// The built-in task templates and the user's own, kept as one JSON list in the defaults.
namespace PromptTemplates {

inline constexpr char customKey[] = "Vellicord.customPromptTemplates";
// Where a stored list that cannot be read is kept before anything overwrites it.
inline constexpr char unreadableKey[] = "Vellicord.customPromptTemplates.unreadable";

// The eight built-in templates, all in the Sections layout.
const QList<PromptTemplate>& builtins();

// The draft with the template's task and layout; nothing else changes.
ContextDraft apply(const PromptTemplate& t, const ContextDraft& draft);

// The id a template saved under this name gets: the name in lower case cut into its runs of
// letters and digits (any other character separates them), joined by "-"; a name without a
// letter or digit gets a new UUID, so that each save of it is a template of its own.
QString customID(const QString& name);
// The draft's task as a template named as typed (without the spaces and tabs around it), in the
// draft's layout; a layout name the composer does not know is saved as Sections.
PromptTemplate fromDraft(const QString& typedName, const ContextDraft& draft);

// The user's templates in stored order; empty when there are none or the stored value cannot be
// read as a whole (one bad element drops the list).
QList<PromptTemplate> loadCustom(const Defaults& defaults);
// Replaces the stored list. A stored value that could not be read is kept first under
// unreadableKey (once, and logged), so that a later save never destroys it.
void saveCustom(const QList<PromptTemplate>& templates, Defaults& defaults);
// Replaces every template of the same id and puts this one at the end.
void saveCustom(const PromptTemplate& t, Defaults& defaults);
// Removes every template of the id; writes the list also when nothing was removed.
void removeCustom(const QString& id, Defaults& defaults);

// The list's JSON: a compact array of objects with "id", "name", "task" and "template".
QByteArray encode(const QList<PromptTemplate>& templates);
// Nothing unless the data is such an array whose every element reads.
std::optional<QList<PromptTemplate>> decode(const QByteArray& data);

} // namespace PromptTemplates
} // namespace vellicord
