#include "core/library/AppDataMigration.h"

#include "core/library/Store.h"
#include "core/library/StorePersistence.h"

#include <QDir>
#include <QFileInfo>

namespace vellicord::AppDataMigration {

namespace {

struct PreferencePair {
    const char* legacyKey;
    const char* currentKey;
};

constexpr PreferencePair preferences[] = {
    {"Tovak.collectIntoActiveDraft", "Vellicord.collectIntoActiveDraft"},
    {"Tovak.customPromptTemplates", "Vellicord.customPromptTemplates"},
    {"captureHotKeyCombo", "captureHotKeyCombo"},
    // The windows keep their frames under their autosave names (FrameAutosave).
    {"NSWindow Frame TovakMainWindow", "VellicordMainWindow"},
    {"NSWindow Frame TovakSettingsWindow", "VellicordSettingsWindow"},
};

bool copyStoreIfNeeded(const QString& from, const QString& to, FileSystem& fileManager)
{
    if (fileManager.exists(to) || !fileManager.exists(from))
        return false;
    // A backup without its library is a library to recover, never one to replace with the
    // predecessor's older file (whose bytes the next save would then write over the backup).
    if (fileManager.exists(StorePersistence::backupURL(to)))
        return false;
    fileManager.createDirectories(QFileInfo(to).absolutePath());
    // Read and write atomically, so that a failed copy never leaves a partial library behind.
    fileManager.writeAtomically(to, fileManager.readFile(from));
    return true;
}

} // namespace

QString legacyStoreURL(const FileSystem& fileManager)
{
    return QDir(fileManager.applicationSupportDirectory()).filePath(QStringLiteral("Tovak/Tovak.json"));
}

Result migrate(const QString& legacyStoreURL, const QString& currentStoreURL, const QVariantMap& legacyPreferences,
               Defaults& currentDefaults, FileSystem& fileManager)
{
    Result result;
    result.copiedStore = copyStoreIfNeeded(legacyStoreURL, currentStoreURL, fileManager);
    for (const PreferencePair& pair : preferences) {
        const QString currentKey = QString::fromLatin1(pair.currentKey);
        if (currentDefaults.value(currentKey))
            continue;
        const auto legacy = legacyPreferences.constFind(QString::fromLatin1(pair.legacyKey));
        if (legacy == legacyPreferences.cend())
            continue;
        currentDefaults.setValue(currentKey, legacy.value());
        ++result.copiedPreferenceCount;
    }
    return result;
}

Result migrateIfNeeded(FileSystem& fileManager, Defaults& currentDefaults)
{
    const QVariantMap legacyPreferences =
        currentDefaults.persistentDomain(QString::fromLatin1(legacyBundleIdentifier)).value_or(QVariantMap());
    return migrate(legacyStoreURL(fileManager), Store::defaultStoreURL(fileManager), legacyPreferences, currentDefaults,
                   fileManager);
}

} // namespace vellicord::AppDataMigration
