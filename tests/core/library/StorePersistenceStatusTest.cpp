#include "core/library/StorePersistenceStatus.h"

#include <gtest/gtest.h>

namespace vellicord {
namespace {

using Status = StorePersistenceStatus;

TEST(StorePersistenceStatus, decisionsPerStatus)
{
    struct Row {
        Status status;
        bool changesAllowed;
        bool promptWhenUntrusted;
        std::optional<LibraryRecoveryPresentation> presentation;
    };
    const Row rows[] = {
        {Status::ready, true, true, std::nullopt},
        {Status::recoveredFromBackup, true, true, std::nullopt},
        {Status::unreadablePrimary, false, false, LibraryRecoveryPresentation::unreadable},
        {Status::incompatibleVersion, false, false, LibraryRecoveryPresentation::incompatibleVersion},
        {Status::backupUnavailable, true, true, std::nullopt},
        {Status::saveFailed, true, true, std::nullopt},
    };
    for (const Row& row : rows) {
        const char* name = row.status.name();
        EXPECT_EQ(row.status.allowsLibraryChanges(), row.changesAllowed) << name;
        EXPECT_FALSE(row.status.shouldShowLaunchAccessibilityPrompt(true)) << name;
        EXPECT_EQ(row.status.shouldShowLaunchAccessibilityPrompt(false), row.promptWhenUntrusted) << name;
        EXPECT_EQ(row.status.unavailableLibraryPresentation(), row.presentation) << name;
        const auto message = row.status.blockedCaptureMessage();
        EXPECT_EQ(message.has_value(), row.presentation.has_value()) << name;
        if (message && row.presentation) {
            EXPECT_EQ(*message, row.presentation->message()) << name;
        }
    }
}

TEST(LibraryRecoveryPresentation, texts)
{
    const LibraryRecoveryPresentation unreadable = LibraryRecoveryPresentation::unreadable;
    const LibraryRecoveryPresentation incompatible = LibraryRecoveryPresentation::incompatibleVersion;
    EXPECT_EQ(unreadable.title(), QStringLiteral("Library unavailable"));
    EXPECT_EQ(unreadable.message(), QStringLiteral("Vellicord could not open the library. Restore a valid library or "
                                                   "backup file, then relaunch Vellicord."));
    EXPECT_TRUE(unreadable.canRevealLibraryFolder());
    EXPECT_EQ(incompatible.title(), QStringLiteral("Library version not supported"));
    EXPECT_EQ(incompatible.message(),
              QStringLiteral("The library or backup uses a format this version of Vellicord cannot open. Both files "
                             "are unchanged. Open them with a compatible version of Vellicord."));
    EXPECT_FALSE(incompatible.canRevealLibraryFolder());
}

} // namespace
} // namespace vellicord
