#include "Tovak/shell/BundleInfo.h"

namespace vellicord {

BundleInfo BundleInfo::main()
{
    BundleInfo info;
    info.identifier = QStringLiteral("com.ruvo.vellicord");
#ifdef VELLICORD_VERSION
    info.shortVersion = QStringLiteral(VELLICORD_VERSION);
#endif
#ifdef VELLICORD_BUILD
    info.buildVersion = QStringLiteral(VELLICORD_BUILD);
#endif
    // This build carries no update feed: the updater never starts.
    return info;
}

QString BundleInfo::versionString() const
{
    return shortVersion.value_or(QStringLiteral("1.0")) + QStringLiteral(" (")
        + buildVersion.value_or(QStringLiteral("1")) + u')';
}

} // namespace vellicord
