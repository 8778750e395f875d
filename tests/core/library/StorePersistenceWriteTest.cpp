#include "core/foundation/JsonReader.h"
#include "core/foundation/UuidText.h"
#include "core/library/RecordCodec.h"
#include "core/library/StorePersistence.h"
#include "support/FaultyFileSystem.h"

#include "core/library/LibrarySamples.h"

#include <QDir>
#include <QScopeGuard>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <functional>

#include <sys/mount.h>
#include <unistd.h>

namespace vellicord {
namespace {

using namespace LibrarySamples;
using Op = FaultyFileSystem::Operation;
using Status = StorePersistenceStatus;
using ErrorCase = StorePersistence::PersistenceError::Case;

class StorePersistenceWrite : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(root.isValid());
        folder = root.path() + QStringLiteral("/Vellicord");
        storePath = folder + QStringLiteral("/Vellicord.json");
        backupPath = folder + QStringLiteral("/Vellicord.backup.json");
    }

    // The status a failed write leads to; ready when it succeeds.
    Status save(StorePersistence& persistence, const StoreSnapshot& snapshot)
    {
        try {
            persistence.write(snapshot);
            return Status::ready;
        } catch (const std::exception& error) {
            return StorePersistence::failureStatus(error);
        }
    }

    QTemporaryDir root;
    QString folder;
    QString storePath;
    QString backupPath;
    FaultyFileSystem files;
};

TEST_F(StorePersistenceWrite, writesTwoIdenticalFilesThatReadBack)
{
    StorePersistence persistence(storePath, backupPath, files);
    const StoreSnapshot snapshot = library(3);
    ASSERT_EQ(save(persistence, snapshot), Status::ready);
    EXPECT_EQ(folderContents(folder),
              (std::map<std::string, std::string>{{"Vellicord.backup.json", bytes(snapshot).toStdString()},
                                                  {"Vellicord.json", bytes(snapshot).toStdString()}}));
    EXPECT_EQ(StorePersistence::decode(readFile(storePath)), snapshot);
    EXPECT_EQ(persistence.load().status, Status::ready);
}

TEST_F(StorePersistenceWrite, bothFilesAreFlushedBeforeTheyReplaceTheOldOnes)
{
    StorePersistence persistence(storePath, backupPath, files);
    ASSERT_EQ(save(persistence, library(1)), Status::ready);
    files.clearSteps();
    ASSERT_EQ(save(persistence, library(2)), Status::ready);
    // The two files are written side by side, so only the steps of each file have an order.
    for (const QString& file : {storePath, backupPath}) {
        QList<Op> steps;
        for (const FaultyFileSystem::Step& step : files.steps()) {
            if (step.path == file)
                steps.append(step.operation);
            else if (step.operation == Op::syncFolder && !steps.isEmpty() && steps.last() == Op::rename)
                steps.append(Op::syncFolder);
        }
        EXPECT_EQ(steps, (QList<Op>{Op::write, Op::syncFile, Op::rename, Op::syncFolder})) << file.toStdString();
    }
}

TEST_F(StorePersistenceWrite, emptyLibraryDocument)
{
    StoreSnapshot empty;
    empty.drafts = QList<ContextDraft>{};
    EXPECT_EQ(bytes(empty).toStdString(),
              "{\n  \"drafts\": [],\n  \"groups\": [],\n  \"selections\": [],\n  \"version\": 2\n}");
}

TEST_F(StorePersistenceWrite, duplicateIdsAreRefusedWithBothFilesUnchanged)
{
    struct Case {
        const char* name;
        std::function<void(StoreSnapshot&)> change;
        int captures = 2;
    };
    const Case cases[] = {
        {"two selections", [](StoreSnapshot& s) { s.selections.append(s.selections.first()); }},
        {"two selections far apart in a library checked on several threads",
         [](StoreSnapshot& s) { s.selections.append(s.selections.first()); }, 6000},
        {"two groups", [](StoreSnapshot& s) { s.groups.append(s.groups.first()); }},
        {"two drafts", [](StoreSnapshot& s) { s.drafts->append(s.drafts->first()); }},
        {"two entries in one draft",
         [](StoreSnapshot& s) { (*s.drafts)[0].entries.append((*s.drafts)[0].entries.first()); }},
    };
    StorePersistence persistence(storePath, backupPath, files);
    ASSERT_EQ(save(persistence, library(2)), Status::ready);
    const auto before = folderContents(folder);
    for (const Case& c : cases) {
        StoreSnapshot snapshot = library(c.captures);
        c.change(snapshot);
        try {
            persistence.write(snapshot);
            ADD_FAILURE() << c.name << ": written";
        } catch (const StorePersistence::PersistenceError& error) {
            EXPECT_EQ(error.errorCase(), ErrorCase::duplicateIdentity) << c.name;
            EXPECT_EQ(StorePersistence::failureStatus(error), Status::saveFailed) << c.name;
        }
        EXPECT_EQ(folderContents(folder), before) << c.name;
    }
}

TEST_F(StorePersistenceWrite, refusedFirstSaveMakesNoFolder)
{
    StoreSnapshot snapshot = library(2);
    snapshot.groups.append(snapshot.groups.first());
    StorePersistence persistence(storePath, backupPath, files);
    EXPECT_EQ(save(persistence, snapshot), Status::saveFailed);
    EXPECT_FALSE(QFileInfo::exists(folder));
}

TEST_F(StorePersistenceWrite, sameEntryIdInTwoDraftsIsAccepted)
{
    StoreSnapshot snapshot = library(2);
    ContextDraft second = snapshot.drafts->first();
    second.id = id(4242);
    snapshot.drafts->append(second);
    StorePersistence persistence(storePath, backupPath, files);
    EXPECT_EQ(save(persistence, snapshot), Status::ready);
    EXPECT_EQ(StorePersistence::decode(readFile(storePath)), snapshot);
}

TEST_F(StorePersistenceWrite, failuresLeaveWholeFilesAndNoTemporaryFile)
{
    // Each step of a save that can fail on a full, read-only or failing disk. A failed flush of the
    // folder comes after its rename: that file is new, yet the save is not reported as done.
    struct Case {
        const char* name;
        Op operation;
        QString file;
        int code;
        Status status;
        bool libraryNew;
        bool backupNew;
    };
    const Case cases[] = {
        {"library write", Op::write, "Vellicord.json", ENOSPC, Status::saveFailed, false, false},
        {"library flush", Op::syncFile, "Vellicord.json", EIO, Status::saveFailed, false, false},
        {"library rename", Op::rename, "Vellicord.json", EIO, Status::saveFailed, false, false},
        {"library read-only", Op::rename, "Vellicord.json", EROFS, Status::saveFailed, false, false},
        {"library folder flush", Op::syncFolder, "Vellicord.json", EIO, Status::saveFailed, true, false},
        {"folder creation", Op::createDirectory, "", ENOSPC, Status::saveFailed, false, false},
        {"backup write", Op::write, "Vellicord.backup.json", ENOSPC, Status::backupUnavailable, true, false},
        {"backup flush", Op::syncFile, "Vellicord.backup.json", EIO, Status::backupUnavailable, true, false},
        {"backup rename", Op::rename, "Vellicord.backup.json", EIO, Status::backupUnavailable, true, false},
        {"backup folder flush", Op::syncFolder, "Vellicord.backup.json", EIO, Status::backupUnavailable, true, true},
    };
    for (const Case& c : cases) {
        QDir(folder).removeRecursively();
        files.clearFailures();
        StorePersistence persistence(storePath, backupPath, files);
        const StoreSnapshot older = library(2);
        const StoreSnapshot newer = library(3);
        ASSERT_EQ(save(persistence, older), Status::ready) << c.name;

        files.fail(c.operation, c.file.isEmpty() ? folder : folder + QLatin1Char('/') + c.file, c.code);
        try {
            persistence.write(newer);
            ADD_FAILURE() << c.name << ": reported as saved";
        } catch (const std::exception& error) {
            EXPECT_EQ(StorePersistence::failureStatus(error).name(), c.status.name()) << c.name;
            EXPECT_TRUE(StorePersistence::describe(error).endsWith(QString::fromUtf8(std::strerror(c.code))))
                << c.name << ": " << error.what();
        }
        EXPECT_EQ(folderContents(folder),
                  (std::map<std::string, std::string>{
                      {"Vellicord.backup.json", bytes(c.backupNew ? newer : older).toStdString()},
                      {"Vellicord.json", bytes(c.libraryNew ? newer : older).toStdString()}}))
            << c.name;

        // The next good save brings both files level again.
        files.clearFailures();
        EXPECT_EQ(save(persistence, newer), Status::ready) << c.name;
        EXPECT_EQ(folderContents(folder),
                  (std::map<std::string, std::string>{{"Vellicord.backup.json", bytes(newer).toStdString()},
                                                      {"Vellicord.json", bytes(newer).toStdString()}}))
            << c.name;
    }
}

TEST_F(StorePersistenceWrite, aLinkedLibraryIsWrittenWhereTheLinkLeads)
{
    // A library kept elsewhere (a synced folder, another disk) through a link at the library's path.
    const QString away = root.path() + QStringLiteral("/synced");
    const auto link = [](const QString& target, const QString& at) {
        ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), QFile::encodeName(at).constData()), 0);
    };
    struct Case {
        const char* name;
        std::function<void()> arrange;
        Status status;
        std::map<std::string, std::string> folderAfter; // "new" stands for the new document
        std::map<std::string, std::string> awayAfter;
    };
    const std::string older = bytes(library(2)).toStdString();
    const Case cases[] = {
        {"a link to a file elsewhere",
         [&] {
             writeFile(away + QStringLiteral("/library.json"), bytes(library(2)));
             link(QStringLiteral("../synced/library.json"), storePath);
         },
         Status::ready,
         {{"Vellicord.json", "<link to ../synced/library.json>"}, {"Vellicord.backup.json", "new"}},
         {{"library.json", "new"}}},
        {"a link to a link to a file elsewhere",
         [&] {
             writeFile(away + QStringLiteral("/library.json"), bytes(library(2)));
             link(away + QStringLiteral("/library.json"), away + QStringLiteral("/current.json"));
             link(away + QStringLiteral("/current.json"), storePath);
         },
         Status::ready,
         {{"Vellicord.json", "<link to " + (away + QStringLiteral("/current.json")).toStdString() + ">"},
          {"Vellicord.backup.json", "new"}},
         {{"current.json", "<link to " + (away + QStringLiteral("/library.json")).toStdString() + ">"},
          {"library.json", "new"}}},
        {"a link whose target is missing",
         [&] { link(QStringLiteral("../synced/library.json"), storePath); },
         Status::saveFailed,
         {{"Vellicord.json", "<link to ../synced/library.json>"}},
         {}},
        {"the target's rename fails",
         [&] {
             writeFile(away + QStringLiteral("/library.json"), bytes(library(2)));
             link(QStringLiteral("../synced/library.json"), storePath);
             files.fail(Op::rename, away + QStringLiteral("/library.json"));
         },
         Status::saveFailed,
         {{"Vellicord.json", "<link to ../synced/library.json>"}},
         {{"library.json", older}}},
    };
    const std::string newer = bytes(library(3)).toStdString();
    for (const Case& c : cases) {
        QDir(folder).removeRecursively();
        QDir(away).removeRecursively();
        QDir().mkpath(folder);
        QDir().mkpath(away);
        files.clearFailures();
        c.arrange();
        StorePersistence persistence(storePath, backupPath, files);
        EXPECT_EQ(save(persistence, library(3)).name(), c.status.name()) << c.name;
        auto expected = [&](std::map<std::string, std::string> entries) {
            for (auto& [name, content] : entries)
                content = content == "new" ? newer : content;
            return entries;
        };
        EXPECT_EQ(folderContents(folder), expected(c.folderAfter)) << c.name;
        EXPECT_EQ(folderContents(away), expected(c.awayAfter)) << c.name;
    }
}

// A 1.2 MB library on a 4 MiB disk, with room for one more copy and not two: every save writes both.
TEST_F(StorePersistenceWrite, aDiskWithRoomForOneMoreCopyTakesEverySave)
{
    if (::mount("tmpfs", QFile::encodeName(root.path()).constData(), "tmpfs", 0, "size=4m") != 0)
        GTEST_SKIP() << "a small disk of its own needs root to mount: " << std::strerror(errno);
    const auto unmount = qScopeGuard([&] { ::umount2(QFile::encodeName(root.path()).constData(), MNT_DETACH); });
    StorePersistence persistence(storePath, backupPath, files);
    for (const int count : {2800, 2801, 2802}) {
        EXPECT_EQ(save(persistence, library(count)), Status::ready) << count;
        EXPECT_EQ(readFile(backupPath), bytes(library(count))) << count;
    }
}

TEST_F(StorePersistenceWrite, createsMissingFolders)
{
    const QString nested = root.path() + QStringLiteral("/a/b/Vellicord.json");
    StorePersistence persistence(nested, StorePersistence::backupURL(nested), files);
    EXPECT_EQ(save(persistence, library(1)), Status::ready);
    EXPECT_EQ(readFile(nested), readFile(StorePersistence::backupURL(nested)));
}

TEST_F(StorePersistenceWrite, errorToStatus)
{
    const auto status = [](const std::exception& error) { return StorePersistence::failureStatus(error).name(); };
    using E = StorePersistence::PersistenceError;
    EXPECT_STREQ(status(E(ErrorCase::primaryNotPreserved)), "unreadablePrimary");
    EXPECT_STREQ(status(E(ErrorCase::backupWriteFailed)), "backupUnavailable");
    EXPECT_STREQ(status(E(ErrorCase::duplicateIdentity)), "saveFailed");
    EXPECT_STREQ(status(E(ErrorCase::incompatibleVersion)), "saveFailed");
    EXPECT_STREQ(status(FileSystemError(QStringLiteral("Could not write"), storePath, ENOSPC)), "saveFailed");
    EXPECT_STREQ(status(JsonDecodeError(JsonDecodeError::Kind::syntax, "document")), "saveFailed");
    EXPECT_STREQ(status(std::runtime_error("anything")), "saveFailed");
}

TEST_F(StorePersistenceWrite, loneSurrogatesSaveAsReplacementCharacters)
{
    StoreSnapshot snapshot = library(1);
    snapshot.selections[0].text = QStringLiteral("before ") + QChar(0xD800) + QStringLiteral(" after");
    snapshot.selections[0].appName = QString(QChar(0xDC00));
    StorePersistence persistence(storePath, backupPath, files);
    ASSERT_EQ(save(persistence, snapshot), Status::ready);
    const StoreLoadResult loaded = persistence.load();
    ASSERT_EQ(loaded.status, Status::ready);
    EXPECT_EQ(loaded.snapshot->selections[0].text, QStringLiteral("before \uFFFD after"));
    EXPECT_EQ(loaded.snapshot->selections[0].appName, QStringLiteral("\uFFFD"));
    // Later saves of the same in-memory library keep working.
    snapshot.selections.append(selection(7));
    EXPECT_EQ(save(persistence, snapshot), Status::ready);
}

TEST(StorePersistenceCodec, documentRules)
{
    const auto decodeError = [](const QByteArray& document) -> std::string {
        try {
            StorePersistence::decode(document);
            return "decoded";
        } catch (const StorePersistence::PersistenceError& error) {
            return error.errorCase() == ErrorCase::incompatibleVersion ? "incompatibleVersion"
                                                                       : "other persistence error";
        } catch (const JsonDecodeError& error) {
            switch (error.kind()) {
            case JsonDecodeError::Kind::syntax: return "syntax";
            case JsonDecodeError::Kind::missingKey: return std::string("missing ") + error.what();
            case JsonDecodeError::Kind::typeMismatch: return std::string("type ") + error.what();
            case JsonDecodeError::Kind::dataCorrupted: return std::string("corrupted ") + error.what();
            case JsonDecodeError::Kind::repeatedKey: return std::string("repeated ") + error.what();
            }
        }
        return "?";
    };
    const QByteArray selection
        = R"({"appName": "A", "createdAt": "2026-03-01T08:30:00Z", "groupIDs": [], "id": "00000001-1234-5678-9ABC-DEF012345678", "markdown": "m", "text": "t"})";
    struct Case {
        const char* name;
        QByteArray document;
        std::string outcome;
    };
    const Case cases[] = {
        {"minimal version 1", R"({"version": 1, "selections": [], "groups": []})", "decoded"},
        {"drafts null", R"({"version": 2, "selections": [], "groups": [], "drafts": null})", "decoded"},
        {"unknown key", R"({"version": 2, "selections": [], "groups": [], "theme": "dark"})", "decoded"},
        {"version 3, rest undecodable", R"({"version": 3, "selections": 7})", "incompatibleVersion"},
        {"version 3 after the lists", R"({"selections": [], "groups": [], "version": 3})", "incompatibleVersion"},
        {"version as a string", R"({"version": "2", "selections": [], "groups": []})", "type version"},
        {"version 3 as a string", R"({"version": "3", "selections": [], "groups": []})", "type version"},
        {"no selections", R"({"version": 2, "groups": []})", "missing selections"},
        {"date as seconds",
         "{\"version\": 2, \"groups\": [], \"selections\": ["
             + QByteArray(selection).replace("\"2026-03-01T08:30:00Z\"", "1772353800") + "]}",
         "type selection.createdAt"},
        {"date with an offset",
         "{\"version\": 2, \"groups\": [], \"selections\": [" + QByteArray(selection).replace("00Z", "00+01:00") + "]}",
         "corrupted selection.createdAt"},
        {"good selection", "{\"version\": 2, \"groups\": [], \"selections\": [" + selection + "]}", "decoded"},
        {"array at the top", "[]", "type library"},
        {"selections twice, the second empty",
         "{\"selections\": [" + selection + "], \"groups\": [], \"version\": 2, \"selections\": []}",
         "repeated selections"},
        {"version twice", R"({"version": 3, "selections": [], "groups": [], "version": 2})", "repeated version"},
        {"a key twice in a capture",
         "{\"version\": 2, \"groups\": [], \"selections\": ["
             + QByteArray(selection).replace("\"text\"", "\"text\": \"u\", \"text\"") + "]}",
         "repeated selection.text"},
        {"a key twice in a draft's entry",
         R"({"version": 2, "selections": [], "groups": [], "drafts": [{"entries": [{"note": "a", "note": "b"}]}]})",
         "repeated draft.note"},
        {"an unknown key twice", R"({"version": 2, "selections": [], "groups": [], "x": 1, "x": 2})", "repeated x"},
        {"one key in two objects", R"({"version": 2, "selections": [], "groups": [], "a": {"v": 1}, "b": {"v": 1}})",
         "decoded"},
        {"truncated", R"({"version": 2, "selec)", "syntax"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(decodeError(c.document), c.outcome) << c.name;
}

TEST(StorePersistenceCodec, optionalDraftsAndUnknownKeys)
{
    StoreSnapshot withoutDrafts = library(1);
    withoutDrafts.drafts.reset();
    withoutDrafts.activeDraftID.reset();
    const QByteArray encoded = bytes(withoutDrafts);
    EXPECT_FALSE(encoded.contains("\"drafts\""));
    EXPECT_FALSE(encoded.contains("\"activeDraftID\""));
    EXPECT_EQ(StorePersistence::decode(encoded), withoutDrafts);

    QByteArray extra = encoded;
    extra.replace("\"groups\"", "\"extra\": {\"a\": [1, 2]},\n  \"groups\"");
    const StoreSnapshot decoded = StorePersistence::decode(extra);
    EXPECT_EQ(decoded, withoutDrafts);
    EXPECT_EQ(StorePersistence::encode(decoded), encoded);
}

TEST(StorePersistenceCodec, datesLoseTheirFractions)
{
    StoreSnapshot snapshot = library(1);
    snapshot.selections[0].createdAt = date(5).addMSecs(750);
    const StoreSnapshot decoded = StorePersistence::decode(StorePersistence::encode(snapshot));
    EXPECT_EQ(decoded.selections[0].createdAt, date(5));
}

TEST(StorePersistenceCodec, largeLibrariesEncodeAndDecodeAsOneWriterWould)
{
    const std::pair<const char*, StoreSnapshot> cases[] = {
        {"split over threads", library(5000)},
        {"in parts copied into place as their memory is let go of", LibrarySamples::realistic(6000)},
    };
    for (const auto& [name, snapshot] : cases) {
        std::string reference;
        JsonWriter out(reference);
        out.beginObject();
        out.member("activeDraftID", snapshot.activeDraftID);
        out.key("drafts");
        out.beginArray();
        for (const ContextDraft& draft : *snapshot.drafts)
            RecordCodec::encode(out, draft);
        out.endArray();
        out.key("groups");
        out.beginArray();
        for (const SelectionGroup& group : snapshot.groups)
            RecordCodec::encode(out, group);
        out.endArray();
        out.key("selections");
        out.beginArray();
        for (const Selection& selection : snapshot.selections)
            RecordCodec::encode(out, selection);
        out.endArray();
        out.member("version", snapshot.version);
        out.endObject();
        const std::string encoded = bytes(snapshot).toStdString();
        EXPECT_TRUE(encoded == reference) << name << ": the parallel encoding differs";
        EXPECT_EQ(StorePersistence::decode(encoded), snapshot) << name;
    }
}

TEST(StorePersistenceCodec, largeLibraryReportsItsFirstError)
{
    QByteArray document = bytes(library(5000));
    // Capture 4990, near the end of the list, loses its text; capture 10 gets an id that is no id.
    // They are decoded on different threads; the error first in the document is the one reported.
    const QByteArray late = "\"text\": \"Passage 4990 about the weather\"";
    const QByteArray early = "\"id\": \"" + UuidText::format(id(10)).toUtf8() + "\"";
    ASSERT_TRUE(document.contains(late) && document.contains(early));
    document.replace(late, "\"texte\": \"\"");
    document.replace(early, "\"id\": \"not an id\"");
    try {
        StorePersistence::decode(document);
        FAIL() << "decoded";
    } catch (const JsonDecodeError& error) {
        EXPECT_EQ(error.kind(), JsonDecodeError::Kind::dataCorrupted);
        EXPECT_STREQ(error.what(), "selection.id");
    }
}

// A large document is parsed capture by capture on several threads. Whatever its bytes, that
// gives what one parse of the whole document gives: the same library, or the same error.
TEST(StorePersistenceCodec, aLargeDocumentSplitForThreadsDecodesAsAWholeParseWould)
{
    const QByteArray base = bytes(library(6000));
    ASSERT_GT(base.size(), 1 << 20) << "too small to be split";
    const QByteArray firstCapture = "\n    {\n      \"appName\"";
    const QByteArray between = "},\n    {";
    const auto replaceFirst = [](QByteArray from, const QByteArray& what, const QByteArray& with) {
        const qsizetype at = from.indexOf(what);
        EXPECT_GE(at, 0) << what.constData();
        return at < 0 ? from : from.replace(at, what.size(), with);
    };
    struct Case {
        const char* name;
        std::function<QByteArray(QByteArray)> change;
    };
    const Case cases[] = {
        {"unchanged", [](QByteArray d) { return d; }},
        {"line breaks CRLF", [](QByteArray d) { return d.replace("\n", "\r\n"); }},
        {"no line breaks", [](QByteArray d) { return d.replace("\n", ""); }},
        {"brackets, quotes and backslashes in a text",
         [&](QByteArray d) {
             return replaceFirst(d, "Passage 7 about", R"(} ] [ { \" \\\" \\\\ \\ \"\n    {\" about)");
         }},
        {"an unknown member holding a list named like the captures",
         [&](QByteArray d) { return replaceFirst(d, firstCapture, "\n    {\n\"selections\": [{}], \"appName\""); }},
        {"the key written with an escape",
         [&](QByteArray d) { return replaceFirst(d, "\"selections\"", "\"select\\u0069ons\""); }},
        {"a second captures list", [](QByteArray d) { return d.insert(d.lastIndexOf('}'), ", \"selections\": []"); }},
        {"a capture that is a number",
         [&](QByteArray d) { return replaceFirst(d, firstCapture, "\n    42,\n    {\n      \"appName\""); }},
        {"a capture that is a list",
         [&](QByteArray d) { return replaceFirst(d, firstCapture, "\n    [],\n    {\n      \"appName\""); }},
        {"a missing comma", [&](QByteArray d) { return replaceFirst(d, between, "}\n    {"); }},
        {"two commas", [&](QByteArray d) { return replaceFirst(d, between, "},,\n    {"); }},
        {"a trailing comma", [](QByteArray d) { return d.replace(d.lastIndexOf("}\n  ]"), 1, "},"); }},
        {"a line break inside a text",
         [&](QByteArray d) { return replaceFirst(d, "Passage 9 about", "Passage\n    {9 about"); }},
        {"an unclosed capture", [&](QByteArray d) { return replaceFirst(d, between, ",\n    {"); }},
        {"a repeated key in a capture",
         [&](QByteArray d) { return replaceFirst(d, firstCapture, "\n    {\n\"appName\": \"x\", \"appName\""); }},
        {"bytes after the document", [](QByteArray d) { return d.append(" x"); }},
        {"a text that is not UTF-8", [&](QByteArray d) { return replaceFirst(d, "Passage 11", "Passage \xff"); }},
    };
    for (const Case& c : cases) {
        QByteArray document = c.change(base);
        document.reserve(document.size() + 64); // padded: the split path
        const std::string whole = document.toStdString(); // not padded: one parse of the whole
        std::optional<StoreSnapshot> split, reference;
        std::string splitError, referenceError;
        try {
            split = StorePersistence::decode(document);
        } catch (const std::exception& error) {
            splitError = StorePersistence::describe(error).toStdString();
        }
        try {
            reference = StorePersistence::decode(std::string_view(whole));
        } catch (const std::exception& error) {
            referenceError = StorePersistence::describe(error).toStdString();
        }
        EXPECT_EQ(splitError, referenceError) << c.name;
        EXPECT_EQ(split.has_value(), reference.has_value()) << c.name;
        if (split && reference) {
            EXPECT_TRUE(*split == *reference) << c.name;
        }
    }
}

TEST(StorePersistenceCodec, libraryAndBackupNames)
{
    EXPECT_EQ(StorePersistence::backupURL(QStringLiteral("/d/Vellicord.json")),
              QStringLiteral("/d/Vellicord.backup.json"));
    EXPECT_EQ(StorePersistence::backupURL(QStringLiteral("/d/library.json")), QStringLiteral("/d/library.backup.json"));
    EXPECT_EQ(StorePersistence::backupURL(QStringLiteral("/d/library")), QStringLiteral("/d/library.backup.json"));
    FaultyFileSystem files;
    files.dataDirectory = QStringLiteral("/home/u/.local/share");
    EXPECT_EQ(StorePersistence::defaultStoreURL(files),
              QStringLiteral("/home/u/.local/share/Vellicord/Vellicord.json"));
}

} // namespace
} // namespace vellicord
