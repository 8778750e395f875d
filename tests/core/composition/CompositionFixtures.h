#pragma once

#include "core/library/ContextDraft.h"
#include "core/library/ContextDraftEntry.h"
#include "core/library/ModelProfile.h"
#include "core/library/Selection.h"

#include <QDateTime>
#include <QLocale>
#include <QUuid>

#include <optional>
#include <ostream>

// Readable failure messages for texts.
inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

namespace vellicord::testing {

// A capture from an application, with an optional page or file.
struct CaptureSpec {
    QString text;
    std::optional<QString> markdown;
    QString appName = QStringLiteral("Safari");
    std::optional<QString> sourceURL;
    std::optional<QString> sourceTitle;
    std::optional<QString> filePath;
};

inline Selection capture(const CaptureSpec& spec)
{
    return Selection(QUuid::createUuid(), spec.text, spec.markdown, spec.appName, std::nullopt, spec.sourceURL,
                     spec.sourceTitle, spec.filePath, {}, QDateTime(QDate(2026, 3, 5), QTime(9, 7), Qt::UTC));
}

struct EntrySpec {
    bool include = true;
    bool pin = false;
    bool verbatim = false;
    std::optional<QString> note;
    std::optional<QString> customText;
};

inline ContextDraftEntry entryFor(const Selection& selection, const EntrySpec& spec = {})
{
    return {QUuid::createUuid(), selection.id, spec.include, spec.pin, spec.verbatim, spec.note, spec.customText};
}

inline ContextDraft draftWith(QString task, QString layout, QList<ContextDraftEntry> entries)
{
    ContextDraft draft;
    draft.id = QUuid::createUuid();
    draft.name = QStringLiteral("Prompt 1");
    draft.task = std::move(task);
    draft.templateName = std::move(layout);
    draft.modelProfileID = QStringLiteral("gpt-4o");
    draft.entries = std::move(entries);
    return draft;
}

// A profile where one token is one character, so that token counts are character counts.
inline ModelProfile characterProfile()
{
    return {QStringLiteral("chars"), QStringLiteral("Characters"), 1000000, 1.0};
}

// Sets the default locale for the life of the object.
class LocaleScope {
public:
    explicit LocaleScope(const QString& name) { QLocale::setDefault(QLocale(name)); }
    ~LocaleScope() { QLocale::setDefault(saved_); }

private:
    QLocale saved_;
};

} // namespace vellicord::testing
