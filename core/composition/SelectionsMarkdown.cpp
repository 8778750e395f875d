#include "core/composition/SelectionsMarkdown.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <vector>

namespace vellicord::SelectionsMarkdown {

namespace {

const QString separator = QStringLiteral("\n\n---\n\n");
const QString separatorHtml = QStringLiteral("<hr />\n");

QString passageHtml(const Selection& selection)
{
    return isPlainText(selection) ? MarkdownHtml::ofPlainText(selection.text)
                                  : MarkdownHtml::render(selection.markdown);
}

// A heading of the given level (a name, a date, an address: text, never Markdown), and the capture
// under it when there is one.
MarkdownCopy part(int level, const QString& heading, const Selection* selection = nullptr)
{
    const QString tag = QStringLiteral("h") + QString::number(level);
    MarkdownCopy copy{QString(level, u'#') + u' ' + heading,
                      u'<' + tag + u'>' + heading.toHtmlEscaped() + QStringLiteral("</") + tag + QStringLiteral(">\n")};
    if (selection) {
        copy.markdown += QStringLiteral("\n\n") + selection->markdown;
        copy.html += passageHtml(*selection);
    }
    return copy;
}

MarkdownCopy block(const Selection& selection)
{
    const QString date = QLocale().toString(selection.createdAt.toLocalTime(), QStringLiteral("yyyy-MM-dd HH:mm"));
    return part(2, selection.appName + QStringLiteral(" \u00B7 ") + date, &selection);
}

// The parts one after another, oldest capture first; captures made at the same time keep their order.
MarkdownCopy joinedOldestFirst(QList<MarkdownCopy> parts, const QList<Selection>& selections)
{
    std::vector<const Selection*> ordered;
    ordered.reserve(size_t(selections.size()));
    for (const Selection& selection : selections)
        ordered.push_back(&selection);
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const Selection* a, const Selection* b) { return a->createdAt < b->createdAt; });
    for (const Selection* selection : ordered)
        parts.push_back(block(*selection));
    QStringList markdown, html;
    for (const MarkdownCopy& p : parts) {
        markdown.append(p.markdown);
        html.append(p.html);
    }
    return {markdown.join(separator), html.join(separatorHtml)};
}

} // namespace

bool isPlainText(const Selection& selection)
{
    return selection.markdown.isSharedWith(selection.text) || selection.markdown == selection.text;
}

MarkdownCopy single(const Selection& selection)
{
    return {selection.markdown, passageHtml(selection)};
}

MarkdownCopy document(const QList<Selection>& selections)
{
    return joinedOldestFirst({}, selections);
}

MarkdownCopy fromSource(const QList<Selection>& selections, const SourceIdentity& source)
{
    const QString location = source.sourceURL ? *source.sourceURL : source.filePath ? *source.filePath : source.appName;
    return joinedOldestFirst({part(1, location)}, selections);
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
