// Any bytes given to the library decoder give a library or one of its typed errors, never a crash
// or a hang; a library that decodes encodes to a document that decodes to the same library.
#include "core/foundation/JsonReader.h"
#include "core/library/StorePersistence.h"

#include <cstdint>
#include <cstdlib>
#include <string_view>

using namespace vellicord;

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view bytes(reinterpret_cast<const char*>(data), size);
    StoreSnapshot snapshot;
    try {
        snapshot = StorePersistence::decode(bytes);
    } catch (const StorePersistence::PersistenceError&) {
        return 0;
    } catch (const JsonDecodeError&) {
        return 0;
    }
    // Anything else escaping above is a crash the fuzzer reports.
    const QByteArray encoded = StorePersistence::encode(snapshot);
    if (!(StorePersistence::decode(encoded) == snapshot))
        std::abort();
    return 0;
}
