#pragma once

#include "core/library/StorePersistence.h"
#include "core/library/StoreSnapshot.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QUuid>

#include <algorithm>
#include <map>
#include <random>
#include <string>

#include <unistd.h>

namespace vellicord::LibrarySamples {

// A fixed id per number, so documents built twice are identical.
inline QUuid id(int n)
{
    return QUuid(uint(n), 0x1234, 0x5678, 0x9a, 0xbc, 0xde, 0xf0, 0x12, 0x34, 0x56, 0x78);
}

inline QDateTime date(int secondsAfter)
{
    return QDateTime::fromSecsSinceEpoch(1772353800 + secondsAfter, Qt::UTC); // 2026-03-01T08:30:00Z
}

inline Selection selection(int n)
{
    return Selection(id(n), QStringLiteral("Passage %1 about the weather").arg(n), std::nullopt,
                     QStringLiteral("Browser"), QStringLiteral("org.example.browser"),
                     QStringLiteral("https://example.org/page/%1").arg(n), QStringLiteral("Page %1").arg(n),
                     std::nullopt, {}, date(n));
}

// A library of `count` captures, one group and one draft holding the first capture.
inline StoreSnapshot library(int count, int salt = 0)
{
    StoreSnapshot snapshot;
    for (int n = 0; n < count; ++n)
        snapshot.selections.append(selection(salt * 1000 + n));
    snapshot.groups.append({id(900000 + salt), QStringLiteral("Reading"), QStringLiteral("#3366FF"), date(0)});
    ContextDraft draft;
    draft.id = id(800000 + salt);
    draft.name = QStringLiteral("Draft");
    draft.templateName = QStringLiteral("Sections");
    draft.modelProfileID = QStringLiteral("gpt-4o");
    draft.createdAt = date(-100);
    draft.updatedAt = date(-50);
    if (count > 0)
        draft.entries.append({id(700000 + salt), id(salt * 1000), true, false, false, std::nullopt, std::nullopt});
    snapshot.drafts = QList<ContextDraft>{draft};
    snapshot.activeDraftID = draft.id;
    return snapshot;
}

// A library that looks like a real one: paragraphs of prose (a few non-ASCII letters and
// quotes), their Markdown, a page address and title, every fifth capture in one of 20 groups, and
// five drafts of 20 entries. 100,000 captures make a file of about 145 MB.
inline StoreSnapshot realistic(int captures)
{
    static const QString words[] = {
        QStringLiteral("the"),         QStringLiteral("library"), QStringLiteral("captures"), QStringLiteral("passage"),
        QStringLiteral("weather"),     QStringLiteral("model"),   QStringLiteral("prompt"),   QStringLiteral("naïve"),
        QStringLiteral("résumé"),      QStringLiteral("“quoted”"), QStringLiteral("of"),      QStringLiteral("and"),
        QStringLiteral("application"), QStringLiteral("context"), QStringLiteral("window"),   QStringLiteral("source"),
    };
    std::mt19937 random(42);
    std::uniform_int_distribution<int> word(0, 15);
    std::uniform_int_distribution<int> length(30, 110);
    StoreSnapshot snapshot;
    for (int g = 0; g < 20; ++g)
        snapshot.groups.append({QUuid::createUuid(), QStringLiteral("Group %1").arg(g), QStringLiteral("#3366FF"),
                                QDateTime::fromSecsSinceEpoch(1772353800 + g, Qt::UTC)});
    for (int n = 0; n < captures; ++n) {
        QString text;
        const int count = length(random);
        for (int w = 0; w < count; ++w) {
            text += words[word(random)];
            text += w % 17 == 16 ? QStringLiteral(".\n") : QStringLiteral(" ");
        }
        QList<QUuid> groups;
        if (n % 5 == 0)
            groups.append(snapshot.groups[n % 20].id);
        snapshot.selections.append(Selection(QUuid::createUuid(), text, QStringLiteral("**Note** ") + text,
                                             QStringLiteral("Firefox"), QStringLiteral("org.mozilla.firefox"),
                                             QStringLiteral("https://example.org/articles/%1?ref=library").arg(n),
                                             QStringLiteral("Article number %1 — a title").arg(n), std::nullopt, groups,
                                             QDateTime::fromSecsSinceEpoch(1772353800 + n, Qt::UTC)));
    }
    QList<ContextDraft> drafts;
    for (int d = 0; d < 5; ++d) {
        ContextDraft draft;
        draft.id = QUuid::createUuid();
        draft.name = QStringLiteral("Draft %1").arg(d);
        draft.task = QStringLiteral("Summarise the captures.");
        draft.templateName = QStringLiteral("Sections");
        draft.modelProfileID = QStringLiteral("gpt-4o");
        draft.createdAt = draft.updatedAt = QDateTime::fromSecsSinceEpoch(1772353800, Qt::UTC);
        for (int e = 0; e < 20 && e < captures; ++e)
            draft.entries.append({QUuid::createUuid(), snapshot.selections[e].id, true, false, false, std::nullopt,
                                  std::nullopt});
        drafts.append(draft);
    }
    snapshot.drafts = drafts;
    snapshot.activeDraftID = drafts.first().id;
    return snapshot;
}

inline QByteArray bytes(const StoreSnapshot& snapshot)
{
    return StorePersistence::encode(snapshot);
}

inline void writeFile(const QString& path, const QByteArray& content)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        throw std::runtime_error("cannot write test file " + path.toStdString());
    file.write(content);
}

inline QByteArray readFile(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

// Every entry of a folder with its content; folders show as "<folder>", links as "<link to TARGET>"
// with the target as the link holds it.
inline std::map<std::string, std::string> folderContents(const QString& folder)
{
    std::map<std::string, std::string> contents;
    const QDir dir(folder);
    for (const QFileInfo& info :
         dir.entryInfoList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot)) {
        std::string& entry = contents[info.fileName().toStdString()];
        if (info.isSymLink()) {
            char target[4096];
            const ssize_t length = ::readlink(QFile::encodeName(info.filePath()).constData(), target, sizeof target);
            entry = "<link to " + std::string(target, size_t(std::max<ssize_t>(length, 0))) + ">";
        } else {
            entry = info.isDir() ? "<folder>" : readFile(info.filePath()).toStdString();
        }
    }
    return contents;
}

} // namespace vellicord::LibrarySamples
