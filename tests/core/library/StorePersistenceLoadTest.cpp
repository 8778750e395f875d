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
#include <string>
#include <vector>

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
    versionTwoPointZero,
    versionThreePointZero,
    versionExponent,
};

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
    case Content::none:
    case Content::folder: break;
    }
    return {};
}

std::string expectedEntry(Content content)
{
    return content == Content::folder ? "<folder>" : contentBytes(content).toStdString();
}

void place(const QString& path, Content content)
{
    if (content == Content::none)
        return;
    if (content == Content::folder)
        QDir().mkpath(path);
    else
        writeFile(path, contentBytes(content));
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
};

const char* const primaryUnreadable = "The primary store is unreadable. Vellicord will check its backup. ";
const char* const preserved = "The unreadable primary store was preserved.";
const char* const restored = "The store was recovered from its local backup.";
const char* const refreshed = "The local store backup was refreshed from the valid primary store.";
const char* const incompatible
    = "The library or backup requires a compatible version of Vellicord. Both files were left unchanged.";
const char* const missingBackup = "Could not open {dir}/Vellicord.backup.json: No such file or directory";

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
    };
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
        expectedFiles[name] = expectedEntry(content);
    EXPECT_EQ(folderContents(dir), expectedFiles);
}

std::string rowName(const ::testing::TestParamInfo<Row>& info)
{
    std::string name;
    for (const char c : std::string(info.param.name))
        name += std::isalnum(static_cast<unsigned char>(c)) ? c : '_';
    return name;
}

INSTANTIATE_TEST_SUITE_P(StorePersistence, LoadingMatrix, ::testing::ValuesIn(rows()), rowName);

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
