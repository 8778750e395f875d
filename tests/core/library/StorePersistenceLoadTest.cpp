#include "core/library/FileLogger.h"
#include "core/library/StorePersistence.h"
#include "platform/posix/ThreadSerialQueue.h"
#include "platform/qt/SystemClock.h"
#include "support/FaultyFileSystem.h"

#include "core/library/LibrarySamples.h"

#include <QDir>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <map>
#include <mutex>
#include <string>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace vellicord {
namespace {

using namespace LibrarySamples;
using Op = FaultyFileSystem::Operation;
using Status = StorePersistenceStatus;

enum class Content {
    none,
    libraryA,
    libraryB,
    badJson,
    empty,
    missingKey,
    fractionalDate,
    duplicateIds,
    folder,
    version3,
    version0,
    versionMinus1,
    versionString,
    versionMissing,
    versionFraction,
    versionBool,
    repeatedSelections, // a second, empty "selections" after the version
    repeatedVersion,
    linkElsewhere, // a link to ../elsewhere/NAME, which holds libraryA
    danglingLink, // a link to ../unmounted/NAME, which does not exist
    partialWrite, // what a temporary file cut short holds
    versionTwoPointZero,
    versionThreePointZero,
    versionExponent,
    pipe, // a named pipe nothing writes into
    byteOrderMark, // libraryA after the UTF-8 byte order mark an editor may put first
};

// Where links in the library's folder lead (relative, as a user's link often is).
const char* const elsewhere = "../elsewhere/";
const char* const unmounted = "../unmounted/";

QByteArray withVersion(const char* version)
{
    QByteArray document = bytes(library(2));
    document.replace("\"version\": 2", QByteArray("\"version\": ") + version);
    return document;
}

QByteArray contentBytes(Content content)
{
    switch (content) {
    case Content::libraryA: return bytes(library(2, 0));
    case Content::libraryB: return bytes(library(3, 1));
    case Content::badJson: return bytes(library(2)).left(100);
    case Content::empty: return {};
    case Content::missingKey: {
        QByteArray document = bytes(library(2));
        document.replace("\"groups\"", "\"grupos\"");
        return document;
    }
    case Content::fractionalDate: {
        QByteArray document = bytes(library(2));
        document.replace("2026-03-01T08:30:01Z", "2026-03-01T08:30:01.500Z");
        return document;
    }
    case Content::duplicateIds: {
        StoreSnapshot snapshot = library(2);
        snapshot.selections.append(snapshot.selections.first());
        return bytes(snapshot);
    }
    case Content::version3: return withVersion("3");
    case Content::version0: return withVersion("0");
    case Content::versionMinus1: return withVersion("-1");
    case Content::versionString: return withVersion("\"2\"");
    case Content::versionFraction: return withVersion("2.5");
    case Content::versionBool: return withVersion("true");
    case Content::versionTwoPointZero: return withVersion("2.0");
    case Content::versionThreePointZero: return withVersion("3.0");
    case Content::versionExponent: return withVersion("0.2e1");
    case Content::versionMissing: {
        QByteArray document = bytes(library(2));
        document.replace(",\n  \"version\": 2", "");
        return document;
    }
    case Content::repeatedSelections:
        return bytes(library(2)).replace("\"version\": 2\n}", "\"version\": 2,\n  \"selections\": []\n}");
    case Content::repeatedVersion:
        return bytes(library(2)).replace("\"version\": 2\n}", "\"version\": 2,\n  \"version\": 2\n}");
    case Content::partialWrite: return "{\n  \"activeDraftID\": \"0000";
    case Content::byteOrderMark: return "\xEF\xBB\xBF" + bytes(library(2, 0));
    case Content::none:
    case Content::pipe:
    case Content::folder:
    case Content::linkElsewhere:
    case Content::danglingLink: break;
    }
    return {};
}

std::string expectedEntry(Content content, const QString& path)
{
    switch (content) {
    case Content::folder: return "<folder>";
    case Content::pipe: return "<special file>";
    case Content::linkElsewhere:
        return std::string("<link to ") + elsewhere + QFileInfo(path).fileName().toStdString() + ">";
    case Content::danglingLink:
        return std::string("<link to ") + unmounted + QFileInfo(path).fileName().toStdString() + ">";
    default: return contentBytes(content).toStdString();
    }
}

void place(const QString& path, Content content)
{
    const QString name = QFileInfo(path).fileName();
    switch (content) {
    case Content::none: return;
    case Content::folder: QDir().mkpath(path); return;
    case Content::pipe: ASSERT_EQ(::mkfifo(QFile::encodeName(path).constData(), 0600), 0); return;
    case Content::linkElsewhere:
        QDir().mkpath(QFileInfo(path).path() + QLatin1Char('/') + QLatin1String(elsewhere));
        writeFile(QFileInfo(path).path() + QLatin1Char('/') + QLatin1String(elsewhere) + name,
                  contentBytes(Content::libraryA));
        ASSERT_EQ(::symlink((elsewhere + name.toStdString()).c_str(), QFile::encodeName(path).constData()), 0);
        return;
    case Content::danglingLink:
        ASSERT_EQ(::symlink((unmounted + name.toStdString()).c_str(), QFile::encodeName(path).constData()), 0);
        return;
    default: writeFile(path, contentBytes(content));
    }
}

struct Fault {
    Op operation;
    const char* file; // in the library's folder
};

struct Row {
    const char* name;
    Content library;
    Content backup;
    std::vector<std::pair<const char*, Content>> otherFiles;
    std::vector<Fault> faults;
    Status status;
    Content snapshot; // none, libraryA or libraryB
    std::vector<std::string> log; // "{dir}" stands for the library's folder
    std::map<std::string, Content> filesAfter;
    // The folder links lead to, beside the library's; nothing may be written there but through a link.
    std::map<std::string, Content> elsewhereAfter = {};
};

const char* const primaryUnreadable = "The primary store is unreadable. Vellicord will check its backup. ";
const char* const preserved = "The unreadable primary store was preserved.";
const char* const restored = "The store was recovered from its local backup.";
const char* const refreshed = "The local store backup was refreshed from the valid primary store.";
const char* const incompatible
    = "The library or backup requires a compatible version of Vellicord. Both files were left unchanged.";
const char* const missingBackup = "Could not open {dir}/Vellicord.backup.json: No such file or directory";
const char* const libraryTargetMissing = "Could not open {dir}/Vellicord.json: No such file or directory";
const char* const notCopied = "The unreadable primary store could not be copied and remains in place. ";
const char* const readOnly = "The backup was opened read-only because the unreadable primary could not be preserved.";
const char* const libraryNotAFile = "Could not read {dir}/Vellicord.json: Not a regular file";

std::string cat(std::initializer_list<std::string> parts)
{
    std::string text;
    for (const std::string& part : parts)
        text += part;
    return text;
}

const std::vector<Row>& rows()
{
    using C = Content;
    // clang-format off
    static const std::vector<Row> table = {
        {"neither file", C::none, C::none, {}, {}, Status::ready, C::none, {}, {}},
        {"valid library, identical backup",
         C::libraryA,
         C::libraryA,
         {},
         {},
         Status::ready,
         C::libraryA,
         {},
         {{"Vellicord.json", C::libraryA}, {"Vellicord.backup.json", C::libraryA}}},
        {"valid library, missing backup",
         C::libraryA,
         C::none,
         {},
         {},
         Status::ready,
         C::libraryA,
         {refreshed},
         {{"Vellicord.json", C::libraryA}, {"Vellicord.backup.json", C::libraryA}}},
        {"valid library, different valid backup",
         C::libraryA,
         C::libraryB,
         {},
         {},
         Status::ready,
         C::libraryA,
         {refreshed},
         {{"Vellicord.json", C::libraryA}, {"Vellicord.backup.json", C::libraryA}}},
        {"valid library, unreadable backup",
         C::libraryA,
         C::badJson,
         {},
         {},
         Status::ready,
         C::libraryA,
         {refreshed},
         {{"Vellicord.json", C::libraryA}, {"Vellicord.backup.json", C::libraryA}}},
        {"valid library, backup refresh fails",
         C::libraryA,
         C::libraryB,
         {},
         {{Op::write, "Vellicord.backup.json"}},
         Status::backupUnavailable,
         C::libraryA,
         {"The local store backup could not be refreshed. Could not write {dir}/Vellicord.backup.json: Input/output "
          "error"},
         {{"Vellicord.json", C::libraryA}, {"Vellicord.backup.json", C::libraryB}}},
        {"valid library, backup refresh rename fails",
         C::libraryA,
         C::none,
         {},
         {{Op::rename, "Vellicord.backup.json"}},
         Status::backupUnavailable,
         C::libraryA,
         {"The local store backup could not be refreshed. Could not replace {dir}/Vellicord.backup.json: Input/output "
          "error"},
         {{"Vellicord.json", C::libraryA}}},

        {"version 3 in the library",
         C::version3,
         C::libraryA,
         {},
         {},
         Status::incompatibleVersion,
         C::none,
         {incompatible},
         {{"Vellicord.json", C::version3}, {"Vellicord.backup.json", C::libraryA}}},
        {"version 0 in the library, no backup",
         C::version0,
         C::none,
         {},
         {},
         Status::incompatibleVersion,
         C::none,
         {incompatible},
         {{"Vellicord.json", C::version0}}},
        {"version -1 in the backup of a valid library",
         C::libraryA,
         C::versionMinus1,
         {},
         {},
         Status::incompatibleVersion,
         C::none,
         {incompatible},
         {{"Vellicord.json", C::libraryA}, {"Vellicord.backup.json", C::versionMinus1}}},
        {"version 3 in the backup, library missing",
         C::none,
         C::version3,
         {},
         {},
         Status::incompatibleVersion,
         C::none,
         {incompatible},
         {{"Vellicord.backup.json", C::version3}}},
        {"version 3 in both",
         C::version3,
         C::version3,
         {},
         {},
         Status::incompatibleVersion,
         C::none,
         {incompatible},
         {{"Vellicord.json", C::version3}, {"Vellicord.backup.json", C::version3}}},
        {"version 2.0 is version 2",
         C::versionTwoPointZero,
         C::versionTwoPointZero,
         {},
         {},
         Status::ready,
         C::libraryA,
         {},
         {{"Vellicord.json", C::versionTwoPointZero}, {"Vellicord.backup.json", C::versionTwoPointZero}}},
        {"version 0.2e1 is version 2",
         C::versionExponent,
         C::none,
         {},
         {},
         Status::ready,
         C::libraryA,
         {refreshed},
         {{"Vellicord.json", C::versionExponent}, {"Vellicord.backup.json", C::versionExponent}}},
        {"version 3.0 is a newer version",
         C::versionThreePointZero,
         C::libraryA,
         {},
         {},
         Status::incompatibleVersion,
         C::none,
         {incompatible},
         {{"Vellicord.json", C::versionThreePointZero}, {"Vellicord.backup.json", C::libraryA}}},

        {"version as the string \"2\"",
         C::versionString,
         C::libraryA,
         {},
         {},
         Status::recoveredFromBackup,
         C::libraryA,
         {cat({primaryUnreadable, "The data has a value of the wrong type for version."}), preserved, restored},
         {{"Vellicord.json", C::libraryA},
          {"Vellicord.backup.json", C::libraryA},
          {"Vellicord.unreadable.json", C::versionString}}},
        {"version missing",
         C::versionMissing,
         C::libraryA,
         {},
         {},
         Status::recoveredFromBackup,
         C::libraryA,
         {cat({primaryUnreadable, "The data has no value for version."}), preserved, restored},
         {{"Vellicord.json", C::libraryA},
          {"Vellicord.backup.json", C::libraryA},
          {"Vellicord.unreadable.json", C::versionMissing}}},
        {"version 2.5",
         C::versionFraction,
         C::libraryA,
         {},
         {},
         Status::recoveredFromBackup,
         C::libraryA,
         {cat({primaryUnreadable, "The data has a value of the wrong type for version."}), preserved, restored},
         {{"Vellicord.json", C::libraryA},
          {"Vellicord.backup.json", C::libraryA},
          {"Vellicord.unreadable.json", C::versionFraction}}},
        {"version true",
         C::versionBool,
         C::libraryA,
         {},
         {},
         Status::recoveredFromBackup,
         C::libraryA,
         {cat({primaryUnreadable, "The data has a value of the wrong type for version."}), preserved, restored},
         {{"Vellicord.json", C::libraryA},
          {"Vellicord.backup.json", C::libraryA},
          {"Vellicord.unreadable.json", C::versionBool}}},

        {"library missing, valid backup",
         C::none,
         C::libraryB,
         {},
         {},
         Status::recoveredFromBackup,
         C::libraryB,
         {"The missing primary store was recovered from its local backup."},
         {{"Vellicord.json", C::libraryB}, {"Vellicord.backup.json", C::libraryB}}},
        {"library missing, corrupt backup",
         C::none,
         C::badJson,
         {},
         {},
         Status::unreadablePrimary,
         C::none,
         {"The primary store is missing and its backup is unreadable. The data is not valid JSON (document: "
          "The JSON document has an improper structure: missing or superfluous commas, braces, missing keys, etc.)."},
         {{"Vellicord.backup.json", C::badJson}}},
        {"library missing, restore fails",
         C::none,
         C::libraryB,
         {},
         {{Op::write, "Vellicord.json"}},
         Status::unreadablePrimary,
         C::libraryB,
         {"The valid backup could not be restored as the missing primary store. Could not write "
          "{dir}/Vellicord.json: Input/output error"},
         {{"Vellicord.backup.json", C::libraryB}}},
        {"library missing, its folder cannot be made",
         C::none,
         C::libraryB,
         {},
         {{Op::createDirectory, ""}},
         Status::unreadablePrimary,
         C::libraryB,
         {"The valid backup could not be restored as the missing primary store. Could not create the folder "
          "{dir}: Input/output error"},
         {{"Vellicord.backup.json", C::libraryB}}},

        {"bad JSON, valid backup",
         C::badJson,
         C::libraryB,
         {},
         {},
         Status::recoveredFromBackup,
         C::libraryB,
         {cat({primaryUnreadable,
               "The data is not valid JSON (document: The JSON document has an improper structure: missing or "
               "superfluous commas, braces, missing keys, etc.)."}),
          preserved, restored},
         {{"Vellicord.json", C::libraryB},
          {"Vellicord.backup.json", C::libraryB},
          {"Vellicord.unreadable.json", C::badJson}}},
        {"0 bytes, valid backup",
         C::empty,
         C::libraryB,
         {},
         {},
         Status::recoveredFromBackup,
         C::libraryB,
         {cat({primaryUnreadable, "The data is not valid JSON (document: Empty: no JSON found)."}), preserved,
          restored},
         {{"Vellicord.json", C::libraryB},
          {"Vellicord.backup.json", C::libraryB},
          {"Vellicord.unreadable.json", C::empty}}},
        {"missing required key, valid backup",
         C::missingKey,
         C::libraryB,
         {},
         {},
         Status::recoveredFromBackup,
         C::libraryB,
         {cat({primaryUnreadable, "The data has no value for groups."}), preserved, restored},
         {{"Vellicord.json", C::libraryB},
          {"Vellicord.backup.json", C::libraryB},
          {"Vellicord.unreadable.json", C::missingKey}}},
        {"fractional-second date, valid backup",
         C::fractionalDate,
         C::libraryB,
         {},
         {},
         Status::recoveredFromBackup,
         C::libraryB,
         {cat({primaryUnreadable, "The data has an invalid value for selection.createdAt."}), preserved, restored},
         {{"Vellicord.json", C::libraryB},
          {"Vellicord.backup.json", C::libraryB},
          {"Vellicord.unreadable.json", C::fractionalDate}}},
        {"duplicate ids, valid backup",
         C::duplicateIds,
         C::libraryB,
         {},
         {},
         Status::recoveredFromBackup,
         C::libraryB,
         {cat({primaryUnreadable, "The library holds two records of one kind with the same id."}), preserved, restored},
         {{"Vellicord.json", C::libraryB},
          {"Vellicord.backup.json", C::libraryB},
          {"Vellicord.unreadable.json", C::duplicateIds}}},
        {"a folder, valid backup",
         C::folder,
         C::libraryB,
         {},
         {},
         Status::unreadablePrimary,
         C::libraryB,
         {cat({primaryUnreadable, "Could not read {dir}/Vellicord.json: Is a directory"}),
          "The unreadable primary store could not be copied and remains in place. Could not read "
          "{dir}/Vellicord.json: Is a directory",
          "The backup was opened read-only because the unreadable primary could not be preserved."},
         {{"Vellicord.json", C::folder}, {"Vellicord.backup.json", C::libraryB}}},
        // Nothing may wait for a writer to a pipe: it is read as a folder there would be.
        {"a pipe, valid backup", C::pipe, C::libraryB, {}, {}, Status::unreadablePrimary, C::libraryB,
         {cat({primaryUnreadable, libraryNotAFile}), cat({notCopied, libraryNotAFile}), readOnly},
         {{"Vellicord.json", C::pipe}, {"Vellicord.backup.json", C::libraryB}}},
        {"valid library, backup a pipe", C::libraryA, C::pipe, {}, {}, Status::backupUnavailable, C::libraryA,
         {"The local store backup could not be refreshed. Could not replace {dir}/Vellicord.backup.json: Not a "
          "regular file"},
         {{"Vellicord.json", C::libraryA}, {"Vellicord.backup.json", C::pipe}}},
        {"a byte order mark before a valid library", C::byteOrderMark, C::none, {}, {}, Status::ready, C::libraryA,
         {refreshed}, {{"Vellicord.json", C::byteOrderMark}, {"Vellicord.backup.json", C::libraryA}}},
        {"bad JSON, valid backup, copy fails",
         C::badJson,
         C::libraryB,
         {},
         {{Op::copy, ""}},
         Status::unreadablePrimary,
         C::libraryB,
         {cat({primaryUnreadable,
               "The data is not valid JSON (document: The JSON document has an improper structure: missing or "
               "superfluous commas, braces, missing keys, etc.)."}),
          "The unreadable primary store could not be copied and remains in place. Could not create "
          "{dir}/Vellicord.unreadable.json: Input/output error",
          "The backup was opened read-only because the unreadable primary could not be preserved."},
         {{"Vellicord.json", C::badJson}, {"Vellicord.backup.json", C::libraryB}}},
        {"bad JSON, valid backup, restore fails",
         C::empty,
         C::libraryB,
         {},
         {{Op::rename, "Vellicord.json"}},
         Status::unreadablePrimary,
         C::libraryB,
         {cat({primaryUnreadable, "The data is not valid JSON (document: Empty: no JSON found)."}), preserved,
          "The valid backup could not be restored as the primary store. Could not replace {dir}/Vellicord.json: "
          "Input/output error"},
         {{"Vellicord.json", C::empty},
          {"Vellicord.backup.json", C::libraryB},
          {"Vellicord.unreadable.json", C::empty}}},
        {"unreadable copy takes -2",
         C::empty,
         C::libraryB,
         {{"Vellicord.unreadable.json", C::badJson}},
         {},
         Status::recoveredFromBackup,
         C::libraryB,
         {cat({primaryUnreadable, "The data is not valid JSON (document: Empty: no JSON found)."}), preserved,
          restored},
         {{"Vellicord.json", C::libraryB},
          {"Vellicord.backup.json", C::libraryB},
          {"Vellicord.unreadable.json", C::badJson},
          {"Vellicord.unreadable-2.json", C::empty}}},
        {"unreadable copy takes -3",
         C::empty,
         C::libraryB,
         {{"Vellicord.unreadable.json", C::badJson}, {"Vellicord.unreadable-2.json", C::missingKey}},
         {},
         Status::recoveredFromBackup,
         C::libraryB,
         {cat({primaryUnreadable, "The data is not valid JSON (document: Empty: no JSON found)."}), preserved,
          restored},
         {{"Vellicord.json", C::libraryB},
          {"Vellicord.backup.json", C::libraryB},
          {"Vellicord.unreadable.json", C::badJson},
          {"Vellicord.unreadable-2.json", C::missingKey},
          {"Vellicord.unreadable-3.json", C::empty}}},
        {"library and backup both corrupt",
         C::badJson,
         C::empty,
         {},
         {},
         Status::unreadablePrimary,
         C::none,
         {cat({primaryUnreadable,
               "The data is not valid JSON (document: The JSON document has an improper structure: missing or "
               "superfluous commas, braces, missing keys, etc.)."}),
          preserved,
          "The store backup is unavailable or unreadable. The data is not valid JSON (document: Empty: no JSON "
          "found)."},
         {{"Vellicord.json", C::badJson},
          {"Vellicord.backup.json", C::empty},
          {"Vellicord.unreadable.json", C::badJson}}},
        {"corrupt library, no backup",
         C::duplicateIds,
         C::none,
         {},
         {},
         Status::unreadablePrimary,
         C::none,
         {cat({primaryUnreadable, "The library holds two records of one kind with the same id."}), preserved,
          cat({"The store backup is unavailable or unreadable. ", missingBackup})},
         {{"Vellicord.json", C::duplicateIds}, {"Vellicord.unreadable.json", C::duplicateIds}}},

        {"selections given twice in both files", C::repeatedSelections, C::repeatedSelections, {}, {},
         Status::unreadablePrimary, C::none,
         {cat({primaryUnreadable, "The data has more than one value for selections."}), preserved,
          "The store backup is unavailable or unreadable. The data has more than one value for selections."},
         {{"Vellicord.json", C::repeatedSelections}, {"Vellicord.backup.json", C::repeatedSelections},
          {"Vellicord.unreadable.json", C::repeatedSelections}}},
        {"version given twice, valid backup", C::repeatedVersion, C::libraryB, {}, {}, Status::recoveredFromBackup,
         C::libraryB, {cat({primaryUnreadable, "The data has more than one value for version."}), preserved, restored},
         {{"Vellicord.json", C::libraryB}, {"Vellicord.backup.json", C::libraryB},
          {"Vellicord.unreadable.json", C::repeatedVersion}}},

        {"library a link to a library elsewhere", C::linkElsewhere, C::none, {}, {}, Status::ready, C::libraryA,
         {refreshed}, {{"Vellicord.json", C::linkElsewhere}, {"Vellicord.backup.json", C::libraryA}},
         {{"Vellicord.json", C::libraryA}}},
        {"library a link whose target is missing, valid backup", C::danglingLink, C::libraryB, {}, {},
         Status::unreadablePrimary, C::libraryB,
         {cat({primaryUnreadable, libraryTargetMissing}), cat({notCopied, libraryTargetMissing}), readOnly},
         {{"Vellicord.json", C::danglingLink}, {"Vellicord.backup.json", C::libraryB}}},
        {"library a link whose target is missing, no backup", C::danglingLink, C::none, {}, {},
         Status::unreadablePrimary, C::none,
         {cat({primaryUnreadable, libraryTargetMissing}), cat({notCopied, libraryTargetMissing}),
          cat({"The store backup is unavailable or unreadable. ", missingBackup})},
         {{"Vellicord.json", C::danglingLink}}},
        {"library missing, backup a link whose target is missing", C::none, C::danglingLink, {}, {},
         Status::unreadablePrimary, C::none,
         {cat({"The primary store is missing and its backup is unreadable. ", missingBackup})},
         {{"Vellicord.backup.json", C::danglingLink}}},
        {"valid library, backup a link whose target is missing", C::libraryA, C::danglingLink, {}, {},
         Status::backupUnavailable, C::libraryA,
         {"The local store backup could not be refreshed. Could not follow the link {dir}/Vellicord.backup.json: No "
          "such file or directory"},
         {{"Vellicord.json", C::libraryA}, {"Vellicord.backup.json", C::danglingLink}}},
        {"unreadable copy passes over a link whose target is missing", C::empty, C::libraryB,
         {{"Vellicord.unreadable.json", C::danglingLink}}, {}, Status::recoveredFromBackup, C::libraryB,
         {cat({primaryUnreadable, "The data is not valid JSON (document: Empty: no JSON found)."}), preserved,
          restored},
         {{"Vellicord.json", C::libraryB}, {"Vellicord.backup.json", C::libraryB},
          {"Vellicord.unreadable.json", C::danglingLink}, {"Vellicord.unreadable-2.json", C::empty}}},

        {"temporary files of interrupted saves are removed", C::libraryA, C::libraryA,
         {{".Vellicord.json.tmp-a1B2c3", C::partialWrite},
          {".Vellicord.backup.json.tmp-Zz9y8X", C::partialWrite},
          {".Vellicord.json.tmp-short", C::partialWrite},
          {"Vellicord.json.tmp-a1B2c3", C::partialWrite},
          {".Vellicord.json.tmp-folder", C::folder},
          {".Vellicord.json.tmp-linkus", C::danglingLink}},
         {}, Status::ready, C::libraryA, {"Removed 2 temporary files left by interrupted saves."},
         {{"Vellicord.json", C::libraryA}, {"Vellicord.backup.json", C::libraryA},
          {".Vellicord.json.tmp-short", C::partialWrite}, {"Vellicord.json.tmp-a1B2c3", C::partialWrite},
          {".Vellicord.json.tmp-folder", C::folder}, {".Vellicord.json.tmp-linkus", C::danglingLink}}},
        {"temporary file beside a linked library's target is removed", C::linkElsewhere, C::libraryA,
         {{"../elsewhere/.Vellicord.json.tmp-q1w2e3", C::partialWrite}}, {}, Status::ready, C::libraryA,
         {"Removed a temporary file left by an interrupted save."},
         {{"Vellicord.json", C::linkElsewhere}, {"Vellicord.backup.json", C::libraryA}},
         {{"Vellicord.json", C::libraryA}}},
    };
    // clang-format on
    return table;
}

void PrintTo(const Row& row, std::ostream* out)
{
    *out << row.name;
}

std::string substituted(std::string line, const std::string& dir)
{
    for (size_t at; (at = line.find("{dir}")) != std::string::npos;)
        line.replace(at, 5, dir);
    return line;
}

// The log lines without their "[time] " prefix.
std::vector<std::string> logLines(const QString& file)
{
    std::vector<std::string> lines;
    for (const QByteArray& line : readFile(file).split('\n')) {
        if (line.isEmpty())
            continue;
        const qsizetype end = line.indexOf("] ");
        lines.push_back(line.mid(end + 2).toStdString());
    }
    return lines;
}

class LoadingMatrix : public ::testing::TestWithParam<Row> {};

TEST_P(LoadingMatrix, givesStatusLogAndFiles)
{
    const Row& row = GetParam();
    QTemporaryDir root;
    ASSERT_TRUE(root.isValid());
    const QString dir = root.path() + QStringLiteral("/Vellicord");
    const QString logDir = root.path() + QStringLiteral("/logs");
    QDir().mkpath(dir);
    const QString storePath = dir + QStringLiteral("/Vellicord.json");
    place(storePath, row.library);
    place(dir + QStringLiteral("/Vellicord.backup.json"), row.backup);
    for (const auto& [name, content] : row.otherFiles)
        place(dir + QLatin1Char('/') + QLatin1String(name), content);

    FaultyFileSystem files;
    for (const Fault& fault : row.faults)
        files.fail(fault.operation, *fault.file ? dir + QLatin1Char('/') + QLatin1String(fault.file) : QString());

    qputenv(FileLogger::directoryVariable, logDir.toUtf8());
    PosixFileSystem logFiles;
    ThreadSerialQueue logQueue(FileLogger::queueLabel);
    SystemClock clock;
    FileLogger logger(logFiles, logQueue, clock);
    ASSERT_TRUE(logger.start());
    FileLogger::setShared(&logger);

    StorePersistence persistence(storePath, StorePersistence::backupURL(storePath), files);
    const StoreLoadResult result = persistence.load();

    logQueue.sync([] {});
    FileLogger::setShared(nullptr);
    qunsetenv(FileLogger::directoryVariable);

    EXPECT_EQ(result.status.name(), Status(row.status).name());
    EXPECT_EQ(persistence.writesAllowed(), result.status.allowsLibraryChanges())
        << "writes must be off exactly when the library may not be changed";
    if (row.snapshot == Content::none)
        EXPECT_FALSE(result.snapshot.has_value());
    else if (!result.snapshot)
        ADD_FAILURE() << "no snapshot";
    else
        EXPECT_EQ(*result.snapshot, StorePersistence::decode(contentBytes(row.snapshot)));

    std::vector<std::string> expectedLog;
    for (const std::string& line : row.log)
        expectedLog.push_back(substituted(line, dir.toStdString()));
    EXPECT_EQ(logLines(logDir + QStringLiteral("/vellicord.log")), expectedLog);

    std::map<std::string, std::string> expectedFiles;
    for (const auto& [name, content] : row.filesAfter)
        expectedFiles[name] = expectedEntry(content, QString::fromStdString(name));
    EXPECT_EQ(folderContents(dir), expectedFiles);
    std::map<std::string, std::string> expectedElsewhere;
    for (const auto& [name, content] : row.elsewhereAfter)
        expectedElsewhere[name] = expectedEntry(content, QString::fromStdString(name));
    EXPECT_EQ(folderContents(root.path() + QStringLiteral("/elsewhere")), expectedElsewhere);
}

std::string rowName(const ::testing::TestParamInfo<Row>& info)
{
    std::string name;
    for (const char c : std::string(info.param.name))
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(StorePersistence, LoadingMatrix, ::testing::ValuesIn(rows()), rowName);

// A large library another program changes while it is loaded: once its contents are open, before
// its captures are read, or once they are read, as its backup is written from them.
class ChangingFileSystem : public PosixFileSystem {
public:
    enum class Change {
        cutShort, // to half its size
        emptied,
        rewrittenInPlace, // bytes in its middle written over, its size kept
        grown, // more bytes put at its end
    };

    ChangingFileSystem(QString path, Change change, bool duringRefresh)
        : path_(std::move(path))
        , change_(change)
        , duringRefresh_(duringRefresh)
    {
    }

    std::unique_ptr<const FileContents> readContents(const QString& path) const override
    {
        auto contents = PosixFileSystem::readContents(path);
        if (path == path_ && !duringRefresh_)
            std::call_once(once_, [this] { apply(); });
        return contents;
    }

protected:
    void writeTemporary(int fd, QByteArrayView bytes, const QString& target) override
    {
        if (duringRefresh_)
            std::call_once(once_, [this] { apply(); });
        PosixFileSystem::writeTemporary(fd, bytes, target);
    }

private:
    void apply() const
    {
        const QByteArray path = QFile::encodeName(path_);
        struct stat info {};
        ::stat(path.constData(), &info);
        const int fd = ::open(path.constData(), O_WRONLY);
        switch (change_) {
        case Change::cutShort: ::ftruncate(fd, info.st_size / 2); break;
        case Change::emptied: ::ftruncate(fd, 0); break;
        case Change::rewrittenInPlace: ::pwrite(fd, "xxxxxxxxxxxxxxxx", 16, info.st_size / 2); break;
        case Change::grown: ::pwrite(fd, "\n\n\n\n", 4, info.st_size); break;
        }
        // A program's write comes some time after the file was opened; a clock that moves in steps
        // of milliseconds could otherwise give it the time of the opening.
        const timespec later[2] = {info.st_atim, {info.st_mtim.tv_sec + 1, info.st_mtim.tv_nsec}};
        ::futimens(fd, later);
        ::close(fd);
    }

    QString path_;
    Change change_;
    bool duringRefresh_;
    mutable std::once_flag once_;
};

// A file that changes or shrinks during a load counts as damaged and never stops the process: a
// file cut short under the decode's reads (mapped pages it no longer has were a bus error) reads as
// zeros where it was cut, and any change at all makes the load set it aside and take the backup.
// Changed once it was read whole, the library as read is written again.
TEST(StorePersistenceLoad, aLibraryChangedDuringTheLoadCountsAsDamaged)
{
    using Change = ChangingFileSystem::Change;
    const struct {
        const char* name;
        Change change;
        bool backupSame; // the backup holds the library's bytes, else an older library
        bool duringRefresh = false;
    } cases[] = {
        {"cut short", Change::cutShort, true},
        {"cut short, older backup", Change::cutShort, false},
        {"emptied", Change::emptied, true},
        {"rewritten in place", Change::rewrittenInPlace, false},
        {"grown", Change::grown, true},
        {"cut short during the backup refresh", Change::cutShort, false, true},
    };
    // Large enough to be mapped and decoded capture by capture on several threads.
    const QByteArray read = bytes(library(6000, 0));
    const QByteArray older = bytes(library(6000, 1));
    ASSERT_GT(read.size(), 2 << 20);
    for (const auto& c : cases) {
        QTemporaryDir root;
        const QString storePath = root.path() + QStringLiteral("/Vellicord.json");
        const QString backupPath = StorePersistence::backupURL(storePath);
        writeFile(storePath, read);
        const QByteArray backup = c.backupSame ? read : older;
        writeFile(backupPath, backup);
        ChangingFileSystem files(storePath, c.change, c.duringRefresh);
        StorePersistence persistence(storePath, backupPath, files);
        const StoreLoadResult result = persistence.load();

        const QByteArray kept = c.duringRefresh ? read : backup;
        EXPECT_EQ(result.status.name(), Status(c.duringRefresh ? Status::ready : Status::recoveredFromBackup).name())
            << c.name;
        ASSERT_TRUE(result.snapshot) << c.name;
        EXPECT_EQ(*result.snapshot, StorePersistence::decode(kept)) << c.name;
        const QByteArray setAside = readFile(root.path() + QStringLiteral("/Vellicord.unreadable.json"));
        EXPECT_NE(setAside, read) << c.name << ": the file as the other program left it, if set aside";
        EXPECT_EQ(readFile(storePath), kept) << c.name << ": the backup put in its place, or the library again";
        EXPECT_EQ(readFile(backupPath), kept) << c.name;
    }
}

TEST(StorePersistenceLoad, writeAfterUnreadableLoadIsRefused)
{
    QTemporaryDir root;
    const QString storePath = root.path() + QStringLiteral("/Vellicord.json");
    writeFile(storePath, "{");
    PosixFileSystem files;
    StorePersistence persistence(storePath, StorePersistence::backupURL(storePath), files);
    ASSERT_EQ(persistence.load().status, Status::unreadablePrimary);
    try {
        persistence.write(library(1));
        FAIL() << "the write went through";
    } catch (const StorePersistence::PersistenceError& error) {
        EXPECT_EQ(error.errorCase(), StorePersistence::PersistenceError::Case::primaryNotPreserved);
        EXPECT_EQ(StorePersistence::failureStatus(error), Status::unreadablePrimary);
    }
    EXPECT_EQ(readFile(storePath), QByteArray("{"));
}

} // namespace
} // namespace vellicord
