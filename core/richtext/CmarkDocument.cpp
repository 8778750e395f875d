#include "core/richtext/CmarkDocument.h"

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

    parser_ = cmark_parser_new(CMARK_OPT_DEFAULT);
    const bool tables = !hasOverlongTableRow(markdown);
    for (const char* name : {"strikethrough", "table"}) {
        if (std::strcmp(name, "table") == 0 && !tables)
            continue;
        if (cmark_syntax_extension* extension = cmark_find_syntax_extension(name))
            cmark_parser_attach_syntax_extension(parser_, extension);
    }
    const QByteArray utf8 = markdown.toUtf8();
    cmark_parser_feed(parser_, utf8.constData(), size_t(utf8.size()));
    root_ = cmark_parser_finish(parser_);
}

CmarkDocument::~CmarkDocument()
{
    if (root_)
        cmark_node_free(root_);
    if (parser_)
        cmark_parser_free(parser_);
}

} // namespace vellicord
