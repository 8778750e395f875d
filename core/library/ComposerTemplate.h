#pragma once

#include "core/foundation/JsonReader.h"
#include "core/foundation/JsonWriter.h"

#include <QList>
#include <QString>

#include <optional>

namespace vellicord {

// The layout a prompt is composed in.
enum class ComposerTemplate { sections, xml, plain };

namespace ComposerTemplates {

// The three layouts in the order they are offered.
const QList<ComposerTemplate>& allCases();
// "Sections", "XML-tagged" or "Plain".
QString rawValue(ComposerTemplate layout);
// The layout whose raw value equals the text exactly (case-sensitive), else nothing.
std::optional<ComposerTemplate> fromRawValue(const QString& text);
// The layout a draft's stored layout name selects: any text but "XML-tagged" and "Plain" is
// Sections, so a misspelt or empty name still composes.
ComposerTemplate forDraftTemplate(const QString& templateName);

// Stored as its raw value. Reading accepts exactly the three raw values and throws
// JsonDecodeError (data corrupted) for any other string.
void encode(JsonWriter& out, ComposerTemplate layout);
ComposerTemplate decode(JsonReader::Value value, std::string_view context);

} // namespace ComposerTemplates
} // namespace vellicord
