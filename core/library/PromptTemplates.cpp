#include "core/library/PromptTemplates.h"

#include "core/foundation/JsonReader.h"
#include "core/foundation/JsonWriter.h"
#include "core/foundation/Text.h"
#include "core/foundation/UuidText.h"
#include "core/library/AppLog.h"

#include <QStringList>
#include <QUuid>

namespace vellicord::PromptTemplates {

namespace {

PromptTemplate builtin(const char* id, const char* name, const char* task)
{
    return {QString::fromUtf8(id), QString::fromUtf8(name), QString::fromUtf8(task), ComposerTemplate::sections};
}

PromptTemplate decodeTemplate(JsonReader::Value value)
{
    std::optional<QString> id, name, task;
    std::optional<ComposerTemplate> layout;
    for (const simdjson::dom::key_value_pair field : JsonReader::object(value, "template")) {
        if (field.key == "id") {
            id = JsonReader::string(field.value, "template.id");
        } else if (field.key == "name") {
            name = JsonReader::string(field.value, "template.name");
        } else if (field.key == "task") {
            task = JsonReader::string(field.value, "template.task");
        } else if (field.key == "template") {
            layout = ComposerTemplates::fromRawValue(JsonReader::string(field.value, "template.template"));
            if (!layout)
                JsonReader::fail(JsonDecodeError::Kind::dataCorrupted, "template.template");
        }
    }
    return {JsonReader::required(id, "template.id"), JsonReader::required(name, "template.name"),
            JsonReader::required(task, "template.task"), JsonReader::required(layout, "template.template")};
}

// The stored value when it is there but cannot be read as a list (not data, or data that does
// not decode); nothing otherwise.
std::optional<QVariant> unreadableStoredValue(const Defaults& defaults)
{
    const auto stored = defaults.value(QString::fromLatin1(customKey));
    if (!stored)
        return std::nullopt;
    const auto data = defaults.dataValue(QString::fromLatin1(customKey));
    if (data && decode(*data))
        return std::nullopt;
    return stored;
}

} // namespace

const QList<PromptTemplate>& builtins()
{
    static const QList<PromptTemplate> list{
        builtin("summarize", "Summarize",
                "Summarize the key points of each source below, then give a one-paragraph overall summary. Cite each "
                "source by name."),
        builtin("explain", "Explain",
                "Explain the content below to a knowledgeable peer: the core concepts, how the pieces fit together, "
                "and any caveats. Ground every claim in the sources and cite them by name."),
        builtin("compare", "Compare sources",
                "Compare the sources below: list where they agree, where they disagree, and details only one of them "
                "mentions. Cite each source by name."),
        builtin("review", "Review / critique",
                "Critically review the material below. Point out strengths, weaknesses, unsupported claims, and "
                "anything you would double-check. Be specific and cite sources by name."),
        builtin("code-review", "Review code",
                "Review the code below for bugs, edge cases, readability, and performance. Suggest concrete fixes. "
                "Use only the provided code."),
        builtin("refactor", "Refactor code",
                "Refactor the code below to improve clarity and maintainability without changing behavior. Show the "
                "rewritten version and briefly explain each change."),
        builtin("grounded-qa", "Grounded Q&A",
                "Answer the question using only the information in the sources below. Cite each source by name and "
                "clearly state anything the sources do not cover."),
        builtin("report", "Write report",
                "Write a concise report on the topic using only the sources below, citing each by name. End with open "
                "questions the sources leave unanswered."),
    };
    return list;
}

ContextDraft apply(const PromptTemplate& t, const ContextDraft& draft)
{
    ContextDraft copy = draft;
    copy.task = t.task;
    copy.templateName = ComposerTemplates::rawValue(t.layout);
    return copy;
}

QString customID(const QString& name)
{
    QStringList runs;
    QString run;
    // A character is a letter or digit by its first code point: an accented letter written with a
    // combining mark stays one letter, and an emoji with its modifiers separates as a whole.
    Text::forEachGrapheme(Text::lowercased(name), [&](QStringView character) {
        const char32_t first = character.size() > 1 && character[0].isHighSurrogate() && character[1].isLowSurrogate()
            ? QChar::surrogateToUcs4(character[0], character[1])
            : char32_t(character[0].unicode());
        if (QChar::isLetterOrNumber(first)) {
            run += character;
        } else if (!run.isEmpty()) {
            runs.append(run);
            run.clear();
        }
    });
    if (!run.isEmpty())
        runs.append(run);
    return runs.isEmpty() ? UuidText::format(QUuid::createUuid()) : runs.join(u'-');
}

PromptTemplate fromDraft(const QString& typedName, const ContextDraft& draft)
{
    const QString name = Text::trimmedHorizontally(typedName);
    return {customID(name), name, draft.task, draft.templateKind()};
}

QByteArray encode(const QList<PromptTemplate>& templates)
{
    std::string bytes;
    JsonWriter writer(bytes, JsonWriter::Style::compact);
    writer.beginArray();
    for (const PromptTemplate& t : templates) {
        writer.beginObject();
        writer.member("id", t.id);
        writer.member("name", t.name);
        writer.member("task", t.task);
        writer.member("template", ComposerTemplates::rawValue(t.layout));
        writer.endObject();
    }
    writer.endArray();
    return QByteArray(bytes.data(), qsizetype(bytes.size()));
}

std::optional<QList<PromptTemplate>> decode(const QByteArray& data)
{
    try {
        simdjson::dom::parser parser;
        QList<PromptTemplate> list;
        const auto root = JsonReader::parse(parser, std::string_view(data.constData(), size_t(data.size())));
        for (JsonReader::Value item : JsonReader::array(root, "templates"))
            list.append(decodeTemplate(item));
        return list;
    } catch (const JsonDecodeError&) {
        return std::nullopt;
    }
}

QList<PromptTemplate> loadCustom(const Defaults& defaults)
{
    const auto data = defaults.dataValue(QString::fromLatin1(customKey));
    if (!data)
        return {};
    return decode(*data).value_or(QList<PromptTemplate>());
}

void saveCustom(const QList<PromptTemplate>& templates, Defaults& defaults)
{
    if (const auto unreadable = unreadableStoredValue(defaults)) {
        if (!defaults.value(QString::fromLatin1(unreadableKey))) {
            defaults.setValue(QString::fromLatin1(unreadableKey), *unreadable);
            logApp(QStringLiteral("Kept an unreadable custom template list under %1")
                       .arg(QString::fromLatin1(unreadableKey)));
        }
    }
    defaults.setDataValue(QString::fromLatin1(customKey), encode(templates));
}

void saveCustom(const PromptTemplate& t, Defaults& defaults)
{
    QList<PromptTemplate> list = loadCustom(defaults);
    list.removeIf([&](const PromptTemplate& existing) { return existing.id == t.id; });
    list.append(t);
    saveCustom(list, defaults);
}

void removeCustom(const QString& id, Defaults& defaults)
{
    QList<PromptTemplate> list = loadCustom(defaults);
    list.removeIf([&](const PromptTemplate& existing) { return existing.id == id; });
    saveCustom(list, defaults);
}

} // namespace vellicord::PromptTemplates
