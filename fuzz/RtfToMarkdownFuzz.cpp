#include "core/richtext/MarkdownSerializer.h"
#include "core/richtext/RtfReader.h"

#include "FuzzChecks.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    // Most inputs should reach the reader's body rather than fail the "{\rtf" check.
    QByteArray rtf = "{\\rtf1 ";
    rtf.append(reinterpret_cast<const char*>(data), qsizetype(size));
    if (const auto text = vellicord::RtfReader::read(rtf)) {
        const QString markdown = vellicord::MarkdownSerializer::convert(*text);
        vellicord::FuzzChecks::checkMarkdown(markdown);
        vellicord::FuzzChecks::checkReadsBack(*text, markdown);
    }
    return 0;
}
