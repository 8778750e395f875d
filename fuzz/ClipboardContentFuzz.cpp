// Clipboard content from other applications: the page title of copied HTML (also sent as
// UTF-16, or in the charset its meta element names), the formatted text read from HTML or RTF,
// and plain text in COMPOUND_TEXT or in no declared encoding.
#include "core/capture/Clipboard.h"
#include "core/foundation/Text.h"
#include "support/FakePasteboard.h"

#include <cstdio>
#include <cstdlib>

using namespace vellicord;

namespace {

void checkTitle(const std::optional<QString>& title)
{
    if (!title)
        return;
    auto fail = [&](const char* what) {
        std::fprintf(stderr, "%s in title: %s\n", what, title->toUtf8().constData());
        std::abort();
    };
    if (title->isEmpty())
        fail("empty title");
    for (qsizetype i = 0; i < title->size(); ++i) {
        const char16_t c = title->at(i).unicode();
        if (Text::isWhiteSpace(c) && (c != u' ' || i == 0 || i + 1 == title->size() || title->at(i + 1) == u' '))
            fail("white space other than single inner blanks");
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size < 1)
        return 0;
    // The first byte picks how the bytes arrive: as HTML, UTF-16 HTML, RTF, COMPOUND_TEXT or
    // text/plain.
    const QByteArray bytes(reinterpret_cast<const char*>(data) + 1, qsizetype(size - 1));
    FakePasteboard pasteboard;
    switch (data[0] % 5) {
    case 0:
        pasteboard.set({{{QStringLiteral("text/html"), bytes}}});
        break;
    case 1:
        pasteboard.set({{{QStringLiteral("text/html"), QByteArray("\xff\xfe", 2) + bytes}}});
        break;
    case 2:
        pasteboard.set({{{QStringLiteral("text/rtf"), bytes}}});
        break;
    case 3:
        pasteboard.set({{{QStringLiteral("COMPOUND_TEXT"), bytes}}});
        break;
    default:
        pasteboard.set({{{QStringLiteral("text/plain"), bytes}}});
        break;
    }
    if (const std::optional<QString> text = Clipboard::plainText(pasteboard)) {
        if (Text::hasLoneSurrogate(*text))
            std::abort();
    }
    checkTitle(Clipboard::htmlTitle(pasteboard));
    checkTitle(Clipboard::parsePageTitle(QString::fromUtf8(bytes)));
    if (const std::optional<AttributedText> text = Clipboard::richAttributedString(pasteboard)) {
        if (Text::hasLoneSurrogate(text->string()))
            std::abort();
    }
    return 0;
}
