// Arbitrary bytes as a capture, a group or a prompt draft: decoding either gives a record or a
// JsonDecodeError, and a decoded record encodes to JSON that decodes to the same record.
#include "core/library/RecordCodec.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace vellicord;

namespace {

template <typename Record, typename Decode>
void roundTrip(std::string_view json, Decode decode)
{
    Record record;
    try {
        record = RecordCodec::fromJson<Record>(json, decode);
    } catch (const JsonDecodeError&) {
        return;
    }
    const std::string again = RecordCodec::toJson(record);
    const Record back = RecordCodec::fromJson<Record>(again, decode);
    // Dates lose nothing here: the decoder reads whole seconds only.
    if (!(back == record))
        std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    if (size == 0)
        return 0;
    const std::string_view json(reinterpret_cast<const char*>(data) + 1, size - 1);
    switch (data[0] % 3) {
    case 0:
        roundTrip<Selection>(json, RecordCodec::decodeSelection);
        break;
    case 1:
        roundTrip<SelectionGroup>(json, RecordCodec::decodeGroup);
        break;
    default:
        roundTrip<ContextDraft>(json, RecordCodec::decodeDraft);
        break;
    }
    return 0;
}
