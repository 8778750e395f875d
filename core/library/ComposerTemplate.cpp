#include "core/library/ComposerTemplate.h"

namespace vellicord::ComposerTemplates {

const QList<ComposerTemplate>& allCases()
{
    static const QList<ComposerTemplate> cases{ComposerTemplate::sections, ComposerTemplate::xml,
                                               ComposerTemplate::plain};
    return cases;
}

QString rawValue(ComposerTemplate layout)
{
    switch (layout) {
    case ComposerTemplate::sections:
        return QStringLiteral("Sections");
    case ComposerTemplate::xml:
        return QStringLiteral("XML-tagged");
    case ComposerTemplate::plain:
        return QStringLiteral("Plain");
    }
    return QStringLiteral("Sections");
}

std::optional<ComposerTemplate> fromRawValue(const QString& text)
{
    for (ComposerTemplate layout : allCases()) {
        if (text == rawValue(layout))
            return layout;
    }
    return std::nullopt;
}

ComposerTemplate forDraftTemplate(const QString& templateName)
{
    return fromRawValue(templateName).value_or(ComposerTemplate::sections);
}

void encode(JsonWriter& out, ComposerTemplate layout)
{
    out.string(rawValue(layout));
}

ComposerTemplate decode(JsonReader::Value value, std::string_view context)
{
    const std::optional<ComposerTemplate> layout = fromRawValue(JsonReader::string(value, context));
    if (!layout)
        JsonReader::fail(JsonDecodeError::Kind::dataCorrupted, context);
    return *layout;
}

} // namespace vellicord::ComposerTemplates
