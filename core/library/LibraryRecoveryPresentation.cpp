#include "core/library/LibraryRecoveryPresentation.h"

namespace vellicord {

QString LibraryRecoveryPresentation::title() const
{
    switch (value_) {
    case unreadable:
        return QStringLiteral("Library unavailable");
    case incompatibleVersion:
        return QStringLiteral("Library version not supported");
    }
    return {};
}

QString LibraryRecoveryPresentation::message() const
{
    switch (value_) {
    case unreadable:
        return QStringLiteral("Vellicord could not open the library. Restore a valid library or backup file, then "
                              "relaunch Vellicord.");
    case incompatibleVersion:
        return QStringLiteral("The library or backup uses a format this version of Vellicord cannot open. Both files "
                              "are unchanged. Open them with a compatible version of Vellicord.");
    }
    return {};
}

} // namespace vellicord
