#pragma once

#include "platform/Defaults.h"
#include "platform/FileSystem.h"

#include <QString>
#include <QVariantMap>

#include <cstdint>

namespace vellicord {

// Adoption of the predecessor application's library and settings at start, before the store
// loads the library. The predecessor's file and settings are only read.
namespace AppDataMigration {

inline constexpr char legacyBundleIdentifier[] = "com.ruvo.tovak";

struct Result {
    bool copiedStore = false;
    int64_t copiedPreferenceCount = 0;
    friend bool operator==(const Result&, const Result&) = default;
};

// The predecessor's library file: Tovak/Tovak.json in the data folder.
QString legacyStoreURL(const FileSystem& fileManager);

// The whole adoption with the real locations: throws FileSystemError when the library could not
// be copied (then no setting is written).
Result migrateIfNeeded(FileSystem& fileManager, Defaults& currentDefaults);

// Copies the predecessor's library when there is neither a current library nor its backup,
// atomically; then copies each of the five settings that is unset here and set there.
Result migrate(const QString& legacyStoreURL, const QString& currentStoreURL, const QVariantMap& legacyPreferences,
               Defaults& currentDefaults, FileSystem& fileManager);

} // namespace AppDataMigration
} // namespace vellicord
