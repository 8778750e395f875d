#include "core/library/StorePersistenceStatus.h"

namespace vellicord {

bool StorePersistenceStatus::shouldShowLaunchAccessibilityPrompt(bool isAccessibilityTrusted) const
{
    return !isAccessibilityTrusted && allowsLibraryChanges();
}

std::optional<LibraryRecoveryPresentation> StorePersistenceStatus::unavailableLibraryPresentation() const
{
    switch (value_) {
    case unreadablePrimary:
        return LibraryRecoveryPresentation::unreadable;
    case incompatibleVersion:
        return LibraryRecoveryPresentation::incompatibleVersion;
    default:
        return std::nullopt;
    }
}

std::optional<QString> StorePersistenceStatus::blockedCaptureMessage() const
{
    if (const auto presentation = unavailableLibraryPresentation())
        return presentation->message();
    return std::nullopt;
}

const char* StorePersistenceStatus::name() const
{
    switch (value_) {
    case ready:
        return "ready";
    case recoveredFromBackup:
        return "recoveredFromBackup";
    case unreadablePrimary:
        return "unreadablePrimary";
    case incompatibleVersion:
        return "incompatibleVersion";
    case backupUnavailable:
        return "backupUnavailable";
    case saveFailed:
        return "saveFailed";
    }
    return "?";
}

} // namespace vellicord
