#include "Tovak/shell/UpdatePolicy.h"

#include <QByteArray>

#include <limits>

namespace vellicord::UpdatePolicy {

std::optional<int64_t> parseBuild(QStringView text)
{
    qsizetype i = 0;
    bool negative = false;
    if (!text.isEmpty() && (text[0] == u'+' || text[0] == u'-')) {
        negative = text[0] == u'-';
        ++i;
    }
    if (i == text.size())
        return std::nullopt;
    // Accumulated as a negative number, whose range includes the most negative value.
    int64_t value = 0;
    constexpr int64_t minimum = std::numeric_limits<int64_t>::min();
    for (; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c < u'0' || c > u'9')
            return std::nullopt;
        const int digit = c - u'0';
        if (value < (minimum + digit) / 10)
            return std::nullopt;
        value = value * 10 - digit;
    }
    if (!negative) {
        if (value == minimum)
            return std::nullopt;
        value = -value;
    }
    return value;
}

bool isValidPublicKey(const std::optional<QString>& key)
{
    if (!key || key->isEmpty() || key->size() % 4 != 0)
        return false;
    const auto decoded = QByteArray::fromBase64Encoding(key->toLatin1(),
                                                        QByteArray::AbortOnBase64DecodingErrors);
    return decoded.decodingStatus == QByteArray::Base64DecodingStatus::Ok
        && decoded.decoded.size() == 32;
}

bool canStartUpdater(const BundleInfo& bundle)
{
    return bundle.feedURL == vendorFeedURL && isValidPublicKey(bundle.publicEDKey);
}

std::optional<UpdateRefusal> check(const BundleInfo& bundle, const AppcastItem& item)
{
    // An unknown running build counts as the newest possible, so that nothing is newer.
    const int64_t running = bundle.buildVersion ? parseBuild(*bundle.buildVersion).value_or(
                                std::numeric_limits<int64_t>::max())
                                                : std::numeric_limits<int64_t>::max();
    const std::optional<int64_t> offered = parseBuild(item.versionString);
    if (!offered || *offered <= running || !item.fileURL)
        return UpdateRefusal{};
    const QString expected = QStringLiteral("https://") + vendorDownloadHost
        + QStringLiteral("/Vellicord-") + QString::number(*offered) + QStringLiteral(".dmg");
    if (*item.fileURL != expected)
        return UpdateRefusal{};
    return std::nullopt;
}

} // namespace vellicord::UpdatePolicy
