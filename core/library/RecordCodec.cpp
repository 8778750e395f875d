#include "core/library/RecordCodec.h"

namespace vellicord::RecordCodec {

using namespace JsonReader;

namespace {

// Calls visit(key, value) for every member of an object, once per key in document order.
template<typename Visit> void forEachMember(Value value, std::string_view context, Visit visit)
{
    for (const simdjson::dom::key_value_pair field : JsonReader::object(value, context))
        visit(field.key, field.value);
}

} // namespace

void encode(JsonWriter& out, const Selection& s)
{
    out.beginObject();
    out.member("appName", s.appName);
    out.member("bundleID", s.bundleID);
    out.member("createdAt", s.createdAt);
    out.member("filePath", s.filePath);
    out.key("groupIDs");
    out.beginArray();
    for (const QUuid& id : s.groupIDs)
        out.uuid(id);
    out.endArray();
    out.member("id", s.id);
    out.member("markdown", s.markdown);
    out.member("sourceTitle", s.sourceTitle);
    out.member("sourceURL", s.sourceURL);
    out.member("text", s.text);
    out.endObject();
}

void encode(JsonWriter& out, const SelectionGroup& g)
{
    out.beginObject();
    out.member("colorHex", g.colorHex);
    out.member("createdAt", g.createdAt);
    out.member("id", g.id);
    out.member("name", g.name);
    out.endObject();
}

void encode(JsonWriter& out, const ContextDraftEntry& e)
{
    out.beginObject();
    out.member("customText", e.customText);
    out.member("id", e.id);
    out.member("include", e.include);
    out.member("note", e.note);
    out.member("pin", e.pin);
    out.member("selectionID", e.selectionID);
    out.member("verbatim", e.verbatim);
    out.endObject();
}

void encode(JsonWriter& out, const ContextDraft& d)
{
    out.beginObject();
    out.member("createdAt", d.createdAt);
    out.key("entries");
    out.beginArray();
    for (const ContextDraftEntry& entry : d.entries)
        encode(out, entry);
    out.endArray();
    out.member("id", d.id);
    out.member("modelProfileID", d.modelProfileID);
    out.member("name", d.name);
    out.member("previewText", d.previewText);
    out.member("task", d.task);
    out.member("template", d.templateName);
    out.member("updatedAt", d.updatedAt);
    out.endObject();
}

void encode(JsonWriter& out, const ModelProfile& p)
{
    out.beginObject();
    out.key("charsPerToken");
    out.number(p.charsPerToken);
    out.member("contextTokens", p.contextTokens);
    out.member("id", p.id);
    out.member("name", p.name);
    out.endObject();
}

void encode(JsonWriter& out, const SourceIdentity& i)
{
    out.beginObject();
    out.member("appName", i.appName);
    out.member("bundleID", i.bundleID);
    out.member("filePath", i.filePath);
    out.member("identifier", i.identifier);
    out.member("sourceURL", i.sourceURL);
    out.endObject();
}

QList<QUuid> decodeUuidList(Value value, std::string_view context)
{
    QList<QUuid> ids;
    const simdjson::dom::array items = JsonReader::array(value, context);
    ids.reserve(qsizetype(items.size()));
    for (Value item : items)
        ids.append(uuid(item, context));
    return ids;
}

QString RecurringTexts::text(std::string_view utf8)
{
    // A few dozen applications make most libraries; past that the rest are decoded each time.
    constexpr size_t kept = 64;
    for (const auto& [bytes, text] : known_) {
        if (bytes == utf8)
            return text;
    }
    QString made = JsonReader::fromUtf8(utf8);
    if (known_.size() < kept)
        known_.emplace_back(std::string(utf8), made);
    return made;
}

Selection decodeSelection(Value value)
{
    RecurringTexts recurring;
    return decodeSelectionWith(value, recurring);
}

Selection decodeSelectionWith(Value value, RecurringTexts& recurring)
{
    std::optional<QUuid> id;
    std::optional<std::string_view> text, markdown;
    std::optional<QString> appName;
    std::optional<QList<QUuid>> groupIDs;
    std::optional<QDateTime> createdAt;
    Selection s;
    forEachMember(value, "selection", [&](std::string_view key, Value v) {
        if (key == "id")
            id = uuid(v, "selection.id");
        else if (key == "text")
            text = utf8(v, "selection.text");
        else if (key == "markdown")
            markdown = utf8(v, "selection.markdown");
        else if (key == "appName")
            appName = recurring.text(utf8(v, "selection.appName"));
        else if (key == "bundleID")
            s.bundleID
                = isNull(v) ? std::nullopt : std::optional<QString>(recurring.text(utf8(v, "selection.bundleID")));
        else if (key == "sourceURL")
            s.sourceURL = optionalAddress(v, "selection.sourceURL");
        else if (key == "sourceTitle")
            s.sourceTitle = optionalString(v, "selection.sourceTitle");
        else if (key == "filePath")
            s.filePath = optionalString(v, "selection.filePath");
        else if (key == "groupIDs")
            groupIDs = decodeUuidList(v, "selection.groupIDs");
        else if (key == "createdAt")
            createdAt = date(v, "selection.createdAt");
    });
    s.id = required(id, "selection.id");
    // Kept as the file holds them; a Markdown that is the text (a capture from plain text) is
    // the text's own copy.
    s.text = Utf8Text::fromUtf8(required(text, "selection.text"));
    const std::string_view markdownBytes = required(markdown, "selection.markdown");
    s.markdown = markdownBytes == *text ? s.text : Utf8Text::fromUtf8(markdownBytes);
    s.appName = required(appName, "selection.appName");
    s.groupIDs = required(groupIDs, "selection.groupIDs");
    s.createdAt = required(createdAt, "selection.createdAt");
    return s;
}

SelectionGroup decodeGroup(Value value)
{
    std::optional<QUuid> id;
    std::optional<QString> name, colorHex;
    std::optional<QDateTime> createdAt;
    forEachMember(value, "group", [&](std::string_view key, Value v) {
        if (key == "id")
            id = uuid(v, "group.id");
        else if (key == "name")
            name = string(v, "group.name");
        else if (key == "colorHex")
            colorHex = string(v, "group.colorHex");
        else if (key == "createdAt")
            createdAt = date(v, "group.createdAt");
    });
    return {required(id, "group.id"), required(name, "group.name"), required(colorHex, "group.colorHex"),
            required(createdAt, "group.createdAt")};
}

ContextDraftEntry decodeEntry(Value value)
{
    std::optional<QUuid> id, selectionID;
    std::optional<bool> include, pin, verbatim;
    ContextDraftEntry e;
    forEachMember(value, "entry", [&](std::string_view key, Value v) {
        if (key == "id")
            id = uuid(v, "entry.id");
        else if (key == "selectionID")
            selectionID = uuid(v, "entry.selectionID");
        else if (key == "include")
            include = boolean(v, "entry.include");
        else if (key == "pin")
            pin = boolean(v, "entry.pin");
        else if (key == "verbatim")
            verbatim = boolean(v, "entry.verbatim");
        else if (key == "note")
            e.note = optionalString(v, "entry.note");
        else if (key == "customText")
            e.customText = optionalString(v, "entry.customText");
    });
    e.id = required(id, "entry.id");
    e.selectionID = required(selectionID, "entry.selectionID");
    e.include = required(include, "entry.include");
    e.pin = required(pin, "entry.pin");
    e.verbatim = required(verbatim, "entry.verbatim");
    return e;
}

ContextDraft decodeDraft(Value value)
{
    std::optional<QUuid> id;
    std::optional<QString> name, task, templateName, modelProfileID;
    std::optional<QDateTime> createdAt, updatedAt;
    std::optional<QList<ContextDraftEntry>> entries;
    ContextDraft d;
    forEachMember(value, "draft", [&](std::string_view key, Value v) {
        if (key == "id") {
            id = uuid(v, "draft.id");
        } else if (key == "name") {
            name = string(v, "draft.name");
        } else if (key == "task") {
            task = string(v, "draft.task");
        } else if (key == "template") {
            templateName = string(v, "draft.template");
        } else if (key == "modelProfileID") {
            modelProfileID = string(v, "draft.modelProfileID");
        } else if (key == "createdAt") {
            createdAt = date(v, "draft.createdAt");
        } else if (key == "updatedAt") {
            updatedAt = date(v, "draft.updatedAt");
        } else if (key == "entries") {
            QList<ContextDraftEntry> list;
            for (Value item : JsonReader::array(v, "draft.entries"))
                list.append(decodeEntry(item));
            entries = std::move(list);
        } else if (key == "previewText") {
            d.previewText = optionalString(v, "draft.previewText");
        }
    });
    d.id = required(id, "draft.id");
    d.name = required(name, "draft.name");
    d.task = required(task, "draft.task");
    d.templateName = required(templateName, "draft.template");
    d.modelProfileID = required(modelProfileID, "draft.modelProfileID");
    d.createdAt = required(createdAt, "draft.createdAt");
    d.updatedAt = required(updatedAt, "draft.updatedAt");
    d.entries = required(entries, "draft.entries");
    return d;
}

ModelProfile decodeProfile(Value value)
{
    std::optional<QString> id, name;
    std::optional<int64_t> contextTokens;
    std::optional<double> charsPerToken;
    forEachMember(value, "profile", [&](std::string_view key, Value v) {
        if (key == "id")
            id = string(v, "profile.id");
        else if (key == "name")
            name = string(v, "profile.name");
        else if (key == "contextTokens")
            contextTokens = integer(v, "profile.contextTokens");
        else if (key == "charsPerToken")
            charsPerToken = number(v, "profile.charsPerToken");
    });
    return {required(id, "profile.id"), required(name, "profile.name"),
            required(contextTokens, "profile.contextTokens"), required(charsPerToken, "profile.charsPerToken")};
}

SourceIdentity decodeIdentity(Value value)
{
    std::optional<QString> identifier, appName;
    SourceIdentity i;
    forEachMember(value, "identity", [&](std::string_view key, Value v) {
        if (key == "identifier")
            identifier = string(v, "identity.identifier");
        else if (key == "appName")
            appName = string(v, "identity.appName");
        else if (key == "bundleID")
            i.bundleID = optionalString(v, "identity.bundleID");
        else if (key == "sourceURL")
            i.sourceURL = optionalAddress(v, "identity.sourceURL");
        else if (key == "filePath")
            i.filePath = optionalString(v, "identity.filePath");
    });
    i.identifier = required(identifier, "identity.identifier");
    i.appName = required(appName, "identity.appName");
    return i;
}

} // namespace vellicord::RecordCodec
