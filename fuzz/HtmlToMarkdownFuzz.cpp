#include "core/richtext/MarkdownSerializer.h"
#include "core/richtext/OfflineHTMLConverter.h"

#include "FuzzChecks.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray html = QByteArray::fromRawData(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const auto text = vellicord::OfflineHTMLConverter::convert(html)) {
        const QString markdown = vellicord::MarkdownSerializer::convert(*text);
        vellicord::FuzzChecks::checkMarkdown(markdown);
        vellicord::FuzzChecks::checkReadsBack(*text, markdown);
    }
    return 0;
}
