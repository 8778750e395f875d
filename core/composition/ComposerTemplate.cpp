#include "core/composition/ComposerTemplate.h"

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

} // namespace vellicord::ComposerTemplates
