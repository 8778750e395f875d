#include "platform/markdown/CmarkDocument.h"

#include <cmark-gfm-core-extensions.h>
#include <cmark-gfm-extension_api.h>
#include <cmark-gfm.h>

#include <cstring>
#include <mutex>

namespace vellicord {

namespace {

// The table extension's time grows with the square of the cells in a row; no real table has
// this many columns, so text with such a line is read without tables.
constexpr qsizetype maximumTableColumns = 128;

bool hasOverlongTableRow(const QString& markdown)
{
    qsizetype pipes = 0;
    for (QChar c : markdown) {
        if (c == u'\n')
            pipes = 0;
        else if (c == u'|' && ++pipes > maximumTableColumns)
            return true;
    }
    return false;
}

} // namespace

CmarkDocument::CmarkDocument(const QString& markdown)
{
    // The extension registry is process-wide and its registration is not thread-safe.
    static std::once_flag registered;
    std::call_once(registered, [] { cmark_gfm_core_extensions_ensure_registered(); });

    m_parser = cmark_parser_new(CMARK_OPT_DEFAULT);
    const bool tables = !hasOverlongTableRow(markdown);
    for (const char* name : {"strikethrough", "table"}) {
        if (std::strcmp(name, "table") == 0 && !tables)
            continue;
        if (cmark_syntax_extension* extension = cmark_find_syntax_extension(name))
            cmark_parser_attach_syntax_extension(m_parser, extension);
    }
    const QByteArray utf8 = markdown.toUtf8();
    cmark_parser_feed(m_parser, utf8.constData(), size_t(utf8.size()));
    m_root = cmark_parser_finish(m_parser);
}

CmarkDocument::~CmarkDocument()
{
    if (m_root)
        cmark_node_free(m_root);
    if (m_parser)
        cmark_parser_free(m_parser);
}

} // namespace vellicord
