#include "core/richtext/RichMarkdownRenderer.h"
#include "support/FixedTextMeasurer.h"
#include "core/richtext/MarkdownDisplay.h"
#include "core/richtext/MarkdownHtml.h"

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QString markdown = QString::fromUtf8(reinterpret_cast<const char*>(data), qsizetype(size));
    const vellicord::FixedTextMeasurer measurer;
    if (const auto text = vellicord::MarkdownDisplay::render(markdown, measurer)) {
        // Every character is laid out with a paragraph style, a font and the label colour, and
        // the marker line between lists never shows.
        for (qsizetype i = 0; i < text->length();) {
            vellicord::AttributedText::Range run;
            const auto& attributes = text->attributesAt(i, &run);
            if (!attributes.paragraphStyle || !attributes.font || !attributes.foregroundColor || run.length <= 0) {
                std::fprintf(stderr, "unstyled text at %lld\n", static_cast<long long>(i));
                std::abort();
            }
            i = run.end();
        }
        if (text->string().trimmed() == QStringLiteral("<!-- -->"))
            std::abort();
    }
    (void)vellicord::MarkdownHtml::render(markdown);
    return 0;
}
