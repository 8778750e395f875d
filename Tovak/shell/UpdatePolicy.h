#pragma once

#include "Tovak/shell/BundleInfo.h"

#include <QString>
#include <QStringView>

#include <cstdint>
#include <optional>

namespace vellicord {

// One update a feed offers.
struct AppcastItem {
    QString versionString;          // the build number offered
    std::optional<QString> fileURL; // where it downloads from
};

// Why an offered update was refused.
struct UpdateRefusal {
    static inline const QString domain = QStringLiteral("Vellicord.Update");
    static constexpr int code = 1;
    static inline const QString description =
        QStringLiteral("This update could not be verified. Please try again later.");
};

// What the application accepts from an update feed: the updater runs only with the vendor's
// exact feed address and a well-formed public key, and an offer proceeds only when it is a newer
// build downloading from exactly the expected address.
namespace UpdatePolicy {

inline const QString vendorFeedURL = QStringLiteral("https://downloads.vellicord.app/appcast.xml");
inline const QString vendorDownloadHost = QStringLiteral("downloads.vellicord.app");
inline const QString vendorSiteDomain = QStringLiteral("vellicord.app");

// A decimal 64-bit integer with an optional leading "+" or "-"; nothing else.
std::optional<int64_t> parseBuild(QStringView text);
// Standard Base64 (padded, no other characters) of exactly 32 bytes.
bool isValidPublicKey(const std::optional<QString>& key);
// The updater may start: the feed is the vendor's address exactly and the key is valid.
bool canStartUpdater(const BundleInfo& bundle);
// None when the offered update may proceed; otherwise the refusal.
std::optional<UpdateRefusal> check(const BundleInfo& bundle, const AppcastItem& item);

} // namespace UpdatePolicy
} // namespace vellicord
