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
