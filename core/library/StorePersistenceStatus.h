#pragma once

#include "core/library/LibraryRecoveryPresentation.h"

#include <QString>

#include <cstddef>
#include <optional>

namespace vellicord {

// The state of the library file, and what depends on it: whether the library can be shown and
// changed, and whether a capture must be refused.
class StorePersistenceStatus {
public:
    enum Value {
        ready,               // library and backup in order, or no library yet
        recoveredFromBackup, // the library was restored from its backup at this start
        unreadablePrimary,   // nothing could be loaded, or the backup is shown read-only
        incompatibleVersion, // the library or its backup has a format version other than 1 or 2
        backupUnavailable,   // the library is in order but its backup could not be written
        saveFailed,          // the last save failed before or while writing the library
    };

    constexpr StorePersistenceStatus(Value value)
        : value_(value)
    {
    }
    constexpr operator Value() const { return value_; }

    // False exactly for unreadablePrimary and incompatibleVersion: the library stays as loaded.
    bool allowsLibraryChanges() const { return value_ != unreadablePrimary && value_ != incompatibleVersion; }
    // backupUnavailable and saveFailed give way to the launch status after the next good save.
    bool isTransient() const { return value_ == backupUnavailable || value_ == saveFailed; }

    bool shouldShowLaunchAccessibilityPrompt(bool isAccessibilityTrusted) const;
    std::optional<LibraryRecoveryPresentation> unavailableLibraryPresentation() const;
    std::optional<QString> blockedCaptureMessage() const;

    // The case's name, for logs and test output.
    const char* name() const;

private:
    Value value_;
};

inline size_t qHash(StorePersistenceStatus status, size_t seed = 0)
{
    return seed ^ size_t(StorePersistenceStatus::Value(status));
}

} // namespace vellicord
