#pragma once

#include <QString>

#include <optional>

namespace vellicord {

// What the application knows about itself: its identifier, versions and update configuration,
// fixed when it is built.
struct BundleInfo {
    std::optional<QString> identifier;
    std::optional<QString> shortVersion; // the marketing version, "1.4"
    std::optional<QString> buildVersion; // the build number, "27"
    std::optional<QString> feedURL;
    std::optional<QString> publicEDKey;

    static BundleInfo main();
    // "1.4 (27)"; the parts that are missing read "1.0" and "1".
    QString versionString() const;
};

} // namespace vellicord
