#pragma once

#include "core/foundation/Text.h"
#include "core/richtext/AttributedText.h"
#include "core/richtext/CmarkDocument.h"

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

// The characters a reader's eye checks: letters, digits and ASCII punctuation.
inline void appendVisible(QString& out, QStringView text)
{
    for (QChar c : text) {
        if (c.isLetterOrNumber() || (c.unicode() > 0x20 && c.unicode() < 0x7F))
            out += c;
    }
}

// What a reader must see of the Markdown of formatted text, rendered as the application renders
// it (with strikethrough and tables): every letter, digit and punctuation mark of the text, in
// order. None may be taken for markup (a tag, a reference, a link's address, a marker, a heading's
// closing "#", a setext underline, a thematic break, a fence, a table's pipes, a strikethrough's
// tildes), and no line of text may become a code block. Rich text from a word processor carries
// each list item's marker as text marked as such at the start of the item, which the item's
// Markdown marker stands for; the item's own words all stay.
inline void checkReadsBack(const AttributedText& text, const QString& markdown)
{
    if (markdown.isEmpty())
        return;
    QString expected;
    for (qsizetype at = 0; at < text.length();) {
        const AttributedText::Range paragraph = text.paragraphRange(at);
        if (paragraph.length == 0)
            break;
        const auto& style = text.attributesAt(paragraph.location).paragraphStyle;
        qsizetype words = paragraph.location;
        AttributedText::Range run;
        while (style && !style->textLists.isEmpty() && words < paragraph.end()
               && text.attributesAt(words, &run).listMarkerText)
            words = run.end();
        appendVisible(expected, text.substring({words, paragraph.end() - words}));
        at = paragraph.end();
    }

    const CmarkDocument document(markdown);
    if (!document.root())
        fail("no document", markdown);
    const std::unique_ptr<cmark_iter, void (*)(cmark_iter*)> it(cmark_iter_new(document.root()), cmark_iter_free);
    QString seen;
    for (cmark_event_type event; (event = cmark_iter_next(it.get())) != CMARK_EVENT_DONE;) {
        cmark_node* node = cmark_iter_get_node(it.get());
        const cmark_node_type type = cmark_node_get_type(node);
        if (type == CMARK_NODE_CODE_BLOCK)
            fail("a code block", markdown);
        if (event == CMARK_EVENT_ENTER && (type == CMARK_NODE_TEXT || type == CMARK_NODE_CODE))
            appendVisible(seen, QString::fromUtf8(cmark_node_get_literal(node)));
    }
    if (seen != expected)
        fail("characters lost, added or taken for markup", markdown);
}

} // namespace vellicord::FuzzChecks
