#pragma once

#include "core/foundation/JsonReader.h"
#include "core/foundation/JsonWriter.h"
#include "core/library/ContextDraft.h"
#include "core/library/ModelProfile.h"
#include "core/library/Selection.h"
#include "core/library/SelectionGroup.h"
#include "core/library/SourceIdentity.h"

#include <QByteArray>

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace vellicord {

// The JSON form of each record: the field names as keys (written in ascending order), optional
// fields written only when present and read as absent when missing or null, every other field
// required, unknown keys ignored. Decoding throws JsonDecodeError.
namespace RecordCodec {

void encode(JsonWriter& out, const Selection& selection);
void encode(JsonWriter& out, const SelectionGroup& group);
void encode(JsonWriter& out, const ContextDraftEntry& entry);
void encode(JsonWriter& out, const ContextDraft& draft);
void encode(JsonWriter& out, const ModelProfile& profile);
void encode(JsonWriter& out, const SourceIdentity& identity);

// Texts that most captures share with others (the application's name, its bundle id), decoded
// once and then shared: a large library then holds each of them once instead of once per capture.
// One per thread.
class RecurringTexts {
public:
    QString text(std::string_view utf8);

private:
    std::vector<std::pair<std::string, QString>> known_;
};

Selection decodeSelection(JsonReader::Value value);
Selection decodeSelectionWith(JsonReader::Value value, RecurringTexts& recurring);
SelectionGroup decodeGroup(JsonReader::Value value);
ContextDraftEntry decodeEntry(JsonReader::Value value);
ContextDraft decodeDraft(JsonReader::Value value);
ModelProfile decodeProfile(JsonReader::Value value);
SourceIdentity decodeIdentity(JsonReader::Value value);
QList<QUuid> decodeUuidList(JsonReader::Value value, std::string_view context);

// One record as a whole document, for tests and tools: encodes to bytes, or decodes bytes that
// hold exactly one record (throws JsonDecodeError otherwise).
template<typename Record> std::string toJson(const Record& record)
{
    std::string bytes;
    JsonWriter writer(bytes);
    encode(writer, record);
    return bytes;
}
template<typename Record, typename Decode> Record fromJson(std::string_view json, Decode decode)
{
    simdjson::dom::parser parser;
    return decode(JsonReader::parse(parser, json));
}

} // namespace RecordCodec
} // namespace vellicord
