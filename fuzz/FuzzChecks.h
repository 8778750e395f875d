#pragma once

#include "core/foundation/Text.h"

#include <QString>

#include <cstdio>
#include <cstdlib>

namespace vellicord::FuzzChecks {

// What every Markdown the serializer writes must satisfy, whatever the input.
inline void checkMarkdown(const QString& markdown)
{
    auto fail = [&](const char* what) {
        std::fprintf(stderr, "%s in: %s\n", what, markdown.toUtf8().constData());
        std::abort();
    };
    if (markdown.contains(QStringLiteral("\n\n\n")))
        fail("three line feeds");
    if (!markdown.isEmpty()
        && (Text::isWhiteSpace(markdown.front().unicode()) || Text::isWhiteSpace(markdown.back().unicode())))
        fail("leading or trailing white space");
    if (Text::hasLoneSurrogate(markdown))
        fail("a lone surrogate");
}

} // namespace vellicord::FuzzChecks
