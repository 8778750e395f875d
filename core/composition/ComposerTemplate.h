#pragma once

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

} // namespace ComposerTemplates
} // namespace vellicord
