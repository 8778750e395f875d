#pragma once

#include "core/library/StorePersistence.h"
#include "core/library/StoreSnapshot.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>
#include <QUuid>

#include <algorithm>
#include <cmath>
#include <map>
#include <random>
#include <string>

#include <unistd.h>

namespace vellicord::LibrarySamples {

// A fixed id per number, so documents built twice are identical.
inline QUuid id(int n, ushort family = 0x1234)
{
    return QUuid(uint(n), family, 0x5678, 0x9a, 0xbc, 0xde, 0xf0, 0x12, 0x34, 0x56, 0x78);
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

// A library as a user gathers one over the years: passages of 200 bytes to 5 KB, most of them
// short, from 997 sites, 1,300 documents and 7 applications (2,304 sources), every fifth capture in
// one of 20 groups, five drafts of 20 entries, newest first. Captures from pages and documents hold
// Markdown of their own (the text with some words in bold); those from an application alone
// (a terminal, an editor) were plain text, and their Markdown is their text. 100,000 captures make
// a file of about 150 MB.
inline StoreSnapshot everyday(int captures)
{
    static const QStringList vocabulary
        = QStringLiteral(
              "the of and to in is that for it as was with be by on not he this are or his from at which but have an "
              "they you were her she there been one all we their has would when if so no what up out about into them "
              "prompt context model token capture library selection source markdown budget layout draft \u00E9t\u00E9 "
              "na\u00EFve r\u00E9sum\u00E9 \u201Cquoted\u201D")
              .split(u' ');
    static const QString apps[] = {QStringLiteral("Firefox"),     QStringLiteral("Chromium"), QStringLiteral("Terminal"),
                                   QStringLiteral("Text Editor"), QStringLiteral("Mail"),     QStringLiteral("Notes"),
                                   QStringLiteral("Writer")};
    static const QString bundles[] = {QStringLiteral("org.mozilla.firefox"), QStringLiteral("org.chromium.Chromium"),
                                      QStringLiteral("org.gnome.Terminal"),  QStringLiteral("org.gnome.TextEditor"),
                                      QStringLiteral("org.gnome.Evolution"), QStringLiteral("org.gnome.Notes"),
                                      QStringLiteral("org.libreoffice.LibreOffice")};
    std::mt19937 random(23);
    std::uniform_real_distribution<double> unit(0, 1);
    std::uniform_int_distribution<int> word(0, int(vocabulary.size()) - 1);
    std::uniform_int_distribution<int> lineBreak(0, 11);
    StoreSnapshot snapshot;
    for (int g = 0; g < 20; ++g)
        snapshot.groups.append({id(g, 0x2345), QStringLiteral("Group %1").arg(g), QStringLiteral("#3366FF"), date(g)});
    snapshot.selections.reserve(captures);
    for (int n = 0; n < captures; ++n) {
        // 200 bytes to 5 KB: half of them under 250, one in ten over 1,500.
        const int length = int(200 * std::pow(25.0, std::pow(unit(random), 4.5)));
        QString text, markdown;
        text.reserve(length + 16);
        markdown.reserve(length + 64);
        for (int w = 0; text.size() < length; ++w) {
            const QString& next = vocabulary[word(random)];
            const QChar after = lineBreak(random) == 0 ? QChar(u'\n') : QChar(u' ');
            text.append(next).append(after);
            if (w % 15 == 0)
                markdown.append(QStringLiteral("**")).append(next).append(QStringLiteral("**")).append(after);
            else
                markdown.append(next).append(after);
        }
        std::optional<QString> url, title, path;
        if (n % 3 == 0) {
            url = QStringLiteral("https://site%1.example/article").arg(n % 997);
            title = QStringLiteral("An article on site %1").arg(n % 997);
        } else if (n % 3 == 1) {
            path = QStringLiteral("/home/user/Documents/file%1.md").arg(n % 1300);
        }
        QList<QUuid> groups;
        if (n % 5 == 0)
            groups.append(snapshot.groups[n / 5 % 20].id);
        const bool plain = n % 3 == 2;
        snapshot.selections.append(Selection(id(n), text, plain ? std::nullopt : std::optional<QString>(markdown),
                                             apps[n % 7], bundles[n % 7], url, title, path, groups,
                                             date(captures - n)));
    }
    QList<ContextDraft> drafts;
    for (int d = 0; d < 5; ++d) {
        ContextDraft draft;
        draft.id = id(d, 0x3456);
        draft.name = QStringLiteral("Draft %1").arg(d);
        draft.task = QStringLiteral("Summarise the captures.");
        draft.templateName = QStringLiteral("Sections");
        draft.modelProfileID = QStringLiteral("gpt-4o");
        draft.createdAt = draft.updatedAt = date(0);
        for (int e = 0; e < 20 && e < captures; ++e)
            draft.entries.append({id(d * 100 + e, 0x4567), snapshot.selections[e * 7 % captures].id, true, false,
                                  false, std::nullopt, std::nullopt});
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
            entry = info.isDir() ? "<folder>"
                : !info.isFile() ? "<special file>"
                                 : readFile(info.filePath()).toStdString();
        }
    }
    return contents;
}

} // namespace vellicord::LibrarySamples
