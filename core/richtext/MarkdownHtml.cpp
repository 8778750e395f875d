#include "core/richtext/MarkdownHtml.h"

#include "core/richtext/CmarkDocument.h"

#include <QRegularExpression>

#include <cmark-gfm-extension_api.h>
#include <cmark-gfm.h>

#include <cstdlib>

namespace vellicord::MarkdownHtml {

QString render(const QString& markdown)
{
    if (markdown.isEmpty())
        return QString();
    const CmarkDocument document(markdown);
    if (!document.root())
        return QString();
    char* html = cmark_render_html(document.root(), CMARK_OPT_DEFAULT | CMARK_OPT_HARDBREAKS,
                                   cmark_parser_get_syntax_extensions(document.parser()));
    if (!html)
        return QString();
    QString result = QString::fromUtf8(html);
    cmark_get_default_mem_allocator()->free(html);
    // An editor that pastes formatted text collapses the white space of a code span as of any
    // other text: a line of code would lose its indentation. A code block is preformatted already.
    static const QRegularExpression codeSpan(QStringLiteral("(?<!<pre>)<code>"));
    return result.replace(codeSpan, QStringLiteral("<code style=\"white-space: pre-wrap\">"));
}

QString ofPlainText(const QString& text)
{
    if (text.isEmpty())
        return QString();
    const QString lineBreak = QStringLiteral("<br />");
    QString lines = text.toHtmlEscaped();
    lines.replace(QStringLiteral("\r\n"), lineBreak).replace(u'\r', lineBreak).replace(u'\n', lineBreak);
    // Editors that honour the style keep runs of spaces and tabs too, as indented code needs.
    return QStringLiteral("<p style=\"white-space: pre-wrap\">") + lines + QStringLiteral("</p>\n");
}

} // namespace vellicord::MarkdownHtml
