#include "core/library/AppDataMigration.h"
#include "core/library/Store.h"
#include "support/FaultyFileSystem.h"
#include "support/ManualScheduler.h"
#include "support/ManualSerialQueue.h"
#include "support/MemoryDefaults.h"

#include "core/library/LibrarySamples.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vellicord {
namespace {

using Result = AppDataMigration::Result;

class AppDataMigrationTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_TRUE(folder.isValid());
        files.dataDirectory = folder.path();
        legacy = folder.filePath(QStringLiteral("Tovak/Tovak.json"));
        current = folder.filePath(QStringLiteral("Vellicord/Vellicord.json"));
    }

    static void put(const QString& path, const QByteArray& bytes)
    {
        QDir().mkpath(QFileInfo(path).absolutePath());
        QFile file(path);
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }

    static QByteArray read(const QString& path)
    {
        QFile file(path);
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    Result migrate(const QVariantMap& legacyPreferences = {})
    {
        return AppDataMigration::migrate(legacy, current, legacyPreferences, defaults, files);
    }

    QTemporaryDir folder;
    FaultyFileSystem files;
    MemoryDefaults defaults;
    QString legacy;
    QString current;
};

TEST_F(AppDataMigrationTest, NothingToAdopt)
{
    EXPECT_EQ(migrate(), (Result{false, 0}));
    EXPECT_FALSE(QFile::exists(current));
    EXPECT_TRUE(defaults.values.isEmpty());
}

TEST_F(AppDataMigrationTest, CopiesTheLibraryIntoANewFolderOnce)
{
    const QByteArray bytes = LibrarySamples::bytes(LibrarySamples::library(3));
    put(legacy, bytes);
    EXPECT_EQ(migrate(), (Result{true, 0}));
    EXPECT_EQ(read(current), bytes);
    EXPECT_EQ(read(legacy), bytes) << "the predecessor's file stays";
    EXPECT_EQ(migrate(), (Result{false, 0})) << "a second start adopts nothing";
}

TEST_F(AppDataMigrationTest, AnExistingLibraryOrBackupIsNeverReplaced)
{
    put(legacy, "legacy");
    put(current, "current");
    EXPECT_EQ(migrate(), (Result{false, 0}));
    EXPECT_EQ(read(current), QByteArray("current"));

    QFile::remove(current);
    put(StorePersistence::backupURL(current), "backup");
    EXPECT_EQ(migrate(), (Result{false, 0}));
    EXPECT_FALSE(QFile::exists(current));

    // A link to a library on a disk that is not mounted is a library, not a place to copy into.
    QFile::remove(StorePersistence::backupURL(current));
    ASSERT_TRUE(QFile::link(QStringLiteral("/unmounted/Vellicord.json"), current));
    EXPECT_EQ(migrate(), (Result{false, 0}));
    EXPECT_EQ(QFileInfo(current).symLinkTarget(), QStringLiteral("/unmounted/Vellicord.json"));
}

TEST_F(AppDataMigrationTest, AFailedCopyWritesNothingAndThrows)
{
    put(legacy, LibrarySamples::bytes(LibrarySamples::library(1)));
    const QVariantMap preferences{{QStringLiteral("captureHotKeyCombo"), QByteArray("{}")}};
    for (auto operation : {FaultyFileSystem::Operation::write, FaultyFileSystem::Operation::rename,
                           FaultyFileSystem::Operation::createDirectory}) {
        files.clearFailures();
        files.fail(operation);
        EXPECT_THROW(migrate(preferences), FileSystemError);
        EXPECT_FALSE(QFile::exists(current));
        EXPECT_TRUE(defaults.values.isEmpty());
        const QDir folderOfLibrary(QFileInfo(current).absolutePath());
        EXPECT_TRUE(!folderOfLibrary.exists() || folderOfLibrary.isEmpty()) << "no partial or temporary file";
    }

    // The predecessor's library behind a link whose target is missing cannot be adopted, and
    // starting without it would leave it behind for good.
    files.clearFailures();
    QFile::remove(legacy);
    ASSERT_TRUE(QFile::link(QStringLiteral("/unmounted/Tovak.json"), legacy));
    EXPECT_THROW(migrate(preferences), FileSystemError);
    EXPECT_FALSE(QFile::exists(current));
}

TEST_F(AppDataMigrationTest, SettingsAreAdoptedWhereUnset)
{
    const QVariantMap all{
        {QStringLiteral("Tovak.collectIntoActiveDraft"), true},
        {QStringLiteral("Tovak.customPromptTemplates"), QByteArray("[]")},
        {QStringLiteral("captureHotKeyCombo"), QByteArray(R"({"keyCode":8})")},
        {QStringLiteral("NSWindow Frame TovakMainWindow"), QStringLiteral("0 0 800 600")},
        {QStringLiteral("NSWindow Frame TovakSettingsWindow"), QStringLiteral("0 0 400 300")},
        {QStringLiteral("unrelated"), 1},
    };
    EXPECT_EQ(migrate(all), (Result{false, 5}));
    EXPECT_EQ(defaults.values.value(QStringLiteral("captureHotKeyCombo")), QVariant(QByteArray(R"({"keyCode":8})")));
    // Under the names the windows read their frames by.
    EXPECT_EQ(defaults.values.value(QStringLiteral("VellicordMainWindow")), QVariant(QStringLiteral("0 0 800 600")));
    EXPECT_EQ(defaults.values.value(QStringLiteral("VellicordSettingsWindow")),
              QVariant(QStringLiteral("0 0 400 300")));
    EXPECT_EQ(migrate(all), (Result{false, 0}));

    MemoryDefaults fresh;
    fresh.setBool(QStringLiteral("Vellicord.collectIntoActiveDraft"), false);
    fresh.setDataValue(QStringLiteral("Vellicord.customPromptTemplates"), QByteArray());
    const Result partial = AppDataMigration::migrate(legacy, current, all, fresh, files);
    EXPECT_EQ(partial, (Result{false, 3})) << "false and empty values are set values";
    EXPECT_EQ(fresh.values.value(QStringLiteral("Vellicord.collectIntoActiveDraft")), QVariant(false));
}

// A missing library beside a good backup: the store recovers the backup, and the predecessor's
// old library is not copied over it.
TEST_F(AppDataMigrationTest, TheBackupWinsOverThePredecessorEndToEnd)
{
    const QByteArray mine = LibrarySamples::bytes(LibrarySamples::library(5));
    put(legacy, LibrarySamples::bytes(LibrarySamples::library(1, 7)));
    put(StorePersistence::backupURL(current), mine);
    EXPECT_EQ(migrate(), (Result{false, 0}));

    ManualSerialQueue queue;
    ManualScheduler time;
    Store store(current,
                Store::Services{
                    .fileSystem = files, .defaults = defaults, .saveQueue = queue, .scheduler = time, .clock = time});
    EXPECT_EQ(store.persistenceStatus(), StorePersistenceStatus::recoveredFromBackup);
    EXPECT_EQ(store.selections().size(), 5);
    EXPECT_EQ(read(current), mine);
}

} // namespace
} // namespace vellicord
