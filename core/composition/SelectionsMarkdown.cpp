#include "core/composition/SelectionsMarkdown.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace vellicord::SelectionsMarkdown {

namespace {

const QString separator = QStringLiteral("\n\n---\n\n");

QString block(const Selection& selection)
{
    const QString date = QLocale().toString(selection.createdAt.toLocalTime(), QStringLiteral("yyyy-MM-dd HH:mm"));
    return QStringLiteral("## ") + selection.appName + QStringLiteral(" \u00B7 ") + date + QStringLiteral("\n\n")
        + selection.markdown;
}

// Oldest first; captures made at the same time keep their order.
QStringList blocksOldestFirst(const QList<Selection>& selections)
{
    std::vector<const Selection*> ordered;
    ordered.reserve(size_t(selections.size()));
    for (const Selection& selection : selections)
        ordered.push_back(&selection);
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const Selection* a, const Selection* b) { return a->createdAt < b->createdAt; });
    QStringList blocks;
    blocks.reserve(selections.size());
    for (const Selection* selection : ordered)
        blocks.push_back(block(*selection));
    return blocks;
}

} // namespace

QString single(const Selection& selection)
{
    return selection.markdown;
}

QString document(const QList<Selection>& selections)
{
    return blocksOldestFirst(selections).join(separator);
}

QString fromSource(const QList<Selection>& selections, const SourceIdentity& source)
{
    const QString location = source.sourceURL ? *source.sourceURL : source.filePath ? *source.filePath : source.appName;
    QStringList elements{QStringLiteral("# ") + location};
    elements += blocksOldestFirst(selections);
    return elements.join(separator);
}

QString plainText(const QList<Selection>& selections)
{
    QStringList texts;
    texts.reserve(selections.size());
    for (const Selection& selection : selections)
        texts.append(selection.text);
    return texts.join(separator);
}

} // namespace vellicord::SelectionsMarkdown
