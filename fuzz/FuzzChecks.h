#pragma once

#include "core/foundation/Text.h"
#include "core/richtext/AttributedText.h"

#include <QString>

#include <cmark-gfm.h>

#include <cstdio>
#include <cstdlib>
#include <memory>

namespace vellicord::FuzzChecks {

[[noreturn]] inline void fail(const char* what, const QString& markdown)
{
    std::fprintf(stderr, "%s in: %s\n", what, markdown.toUtf8().constData());
    std::abort();
}

// What every Markdown the serializer writes must satisfy, whatever the input.
inline void checkMarkdown(const QString& markdown)
{
    if (markdown.contains(QStringLiteral("\n\n\n")))
        fail("three line feeds", markdown);
    if (!markdown.isEmpty()
        && (Text::isWhiteSpace(markdown.front().unicode()) || Text::isWhiteSpace(markdown.back().unicode())))
        fail("leading or trailing white space", markdown);
    if (Text::hasLoneSurrogate(markdown))
        fail("a lone surrogate", markdown);
}

// What a CommonMark reader must see of the Markdown of formatted text: every letter of the text,
// in order (none taken for a tag, a reference or a link's address), and as many asterisks and
// underscores as the text has (no marker left unpaired, none of the text's taken for a marker).
// Rich text from a word processor carries its list markers as text that the serializer skips:
// with `markersInText`, text with lists is not checked. Neither is Markdown a reader turns into a
// code block (leading spaces the serializer keeps), where escapes show as written.
inline void checkReadsBack(const AttributedText& text, const QString& markdown, bool markersInText)
{
    if (markdown.isEmpty())
        return;
    QString expected;
    qsizetype expectedMarkers = 0;
    for (qsizetype at = 0; at < text.length();) {
        const AttributedText::Range paragraph = text.paragraphRange(at);
        if (paragraph.length == 0)
            break;
        const auto& style = text.attributesAt(paragraph.location).paragraphStyle;
        if (markersInText && style && !style->textLists.isEmpty())
            return;
        for (QChar c : text.substring(paragraph)) {
            if (c.isLetter())
                expected += c;
            expectedMarkers += c == u'*' || c == u'_';
        }
        at = paragraph.end();
    }

    const QByteArray bytes = markdown.toUtf8();
    const std::unique_ptr<cmark_node, void (*)(cmark_node*)> root(
        cmark_parse_document(bytes.constData(), size_t(bytes.size()), CMARK_OPT_DEFAULT), cmark_node_free);
    const std::unique_ptr<cmark_iter, void (*)(cmark_iter*)> it(cmark_iter_new(root.get()), cmark_iter_free);
    QString seen;
    qsizetype seenMarkers = 0;
    for (cmark_event_type event; (event = cmark_iter_next(it.get())) != CMARK_EVENT_DONE;) {
        cmark_node* node = cmark_iter_get_node(it.get());
        const cmark_node_type type = cmark_node_get_type(node);
        if (type == CMARK_NODE_CODE_BLOCK)
            return;
        if (event != CMARK_EVENT_ENTER || (type != CMARK_NODE_TEXT && type != CMARK_NODE_CODE))
            continue;
        for (QChar c : QString::fromUtf8(cmark_node_get_literal(node))) {
            if (c.isLetter())
                seen += c;
            seenMarkers += c == u'*' || c == u'_';
        }
    }
    if (seen != expected)
        fail("letters lost or added", markdown);
    if (seenMarkers != expectedMarkers)
        fail("asterisks or underscores lost or added", markdown);
}

} // namespace vellicord::FuzzChecks
