#include "Tovak/shell/UpdateController.h"
#include "Tovak/shell/UpdatePolicy.h"

#include <gtest/gtest.h>

using namespace vellicord;

namespace {

QString download(const QString& file)
{
    return QStringLiteral("https://") + UpdatePolicy::vendorDownloadHost + u'/' + file;
}

BundleInfo runningBuild(std::optional<QString> build)
{
    BundleInfo bundle;
    bundle.buildVersion = std::move(build);
    return bundle;
}

// 32 bytes, and 31 and 33.
const QString key32 = QString::fromLatin1(QByteArray(32, 'k').toBase64());
const QString key31 = QString::fromLatin1(QByteArray(31, 'k').toBase64());
const QString key33 = QString::fromLatin1(QByteArray(33, 'k').toBase64());

} // namespace

TEST(UpdatePolicy, OffersProceedOnlyForANewerBuildFromTheExpectedAddress)
{
    struct Case {
        const char* name;
        std::optional<QString> running;
        QString offered;
        std::optional<QString> file;
        bool proceeds;
    };
    const Case cases[] = {
        {"newer build", QStringLiteral("120"), QStringLiteral("121"), download(QStringLiteral("Vellicord-121.dmg")), true},
        {"plus sign", QStringLiteral("120"), QStringLiteral("+121"), download(QStringLiteral("Vellicord-121.dmg")), true},
        {"much newer", QStringLiteral("-5"), QStringLiteral("9223372036854775807"),
         download(QStringLiteral("Vellicord-9223372036854775807.dmg")), true},
        {"leading zero in the file name", QStringLiteral("120"), QStringLiteral("121"), download(QStringLiteral("Vellicord-0121.dmg")), false},
        {"leading zero in the version", QStringLiteral("120"), QStringLiteral("0121"), download(QStringLiteral("Vellicord-121.dmg")), true},
        {"dotted version", QStringLiteral("120"), QStringLiteral("121.1"), download(QStringLiteral("Vellicord-121.1.dmg")), false},
        {"empty version", QStringLiteral("120"), QString(), download(QStringLiteral("Vellicord-.dmg")), false},
        {"same build", QStringLiteral("120"), QStringLiteral("120"), download(QStringLiteral("Vellicord-120.dmg")), false},
        {"older build", QStringLiteral("120"), QStringLiteral("119"), download(QStringLiteral("Vellicord-119.dmg")), false},
        {"no running build", std::nullopt, QStringLiteral("121"), download(QStringLiteral("Vellicord-121.dmg")), false},
        {"unparsable running build", QStringLiteral("1.2"), QStringLiteral("121"), download(QStringLiteral("Vellicord-121.dmg")), false},
        {"no file", QStringLiteral("120"), QStringLiteral("121"), std::nullopt, false},
        {"plain http", QStringLiteral("120"), QStringLiteral("121"),
         QStringLiteral("http://") + UpdatePolicy::vendorDownloadHost + QStringLiteral("/Vellicord-121.dmg"), false},
        {"other host", QStringLiteral("120"), QStringLiteral("121"), QStringLiteral("https://example.com/Vellicord-121.dmg"), false},
        {"overflowing version", QStringLiteral("120"), QStringLiteral("9223372036854775808"),
         download(QStringLiteral("Vellicord-9223372036854775808.dmg")), false},
        {"blank in version", QStringLiteral("120"), QStringLiteral(" 121"), download(QStringLiteral("Vellicord-121.dmg")), false},
    };
    for (const Case& c : cases) {
        const auto refusal = UpdatePolicy::check(runningBuild(c.running), {c.offered, c.file});
        EXPECT_EQ(!refusal.has_value(), c.proceeds) << c.name;
    }
    EXPECT_EQ(UpdateRefusal::domain, QStringLiteral("Vellicord.Update"));
    EXPECT_EQ(UpdateRefusal::code, 1);
    EXPECT_EQ(UpdateRefusal::description, QStringLiteral("This update could not be verified. Please try again later."));
}

TEST(UpdatePolicy, ParseBuildAcceptsSignedDecimalsOnly)
{
    EXPECT_EQ(UpdatePolicy::parseBuild(u"-9223372036854775808"), std::numeric_limits<int64_t>::min());
    EXPECT_EQ(UpdatePolicy::parseBuild(u"-0"), 0);
    EXPECT_FALSE(UpdatePolicy::parseBuild(u"+"));
    EXPECT_FALSE(UpdatePolicy::parseBuild(u"12a"));
    EXPECT_FALSE(UpdatePolicy::parseBuild(u"١٢"));
}

TEST(UpdatePolicy, UpdaterStartsOnlyWithTheVendorFeedAndAValidKey)
{
    struct Case {
        const char* name;
        std::optional<QString> feed;
        std::optional<QString> key;
        bool starts;
    };
    const QString feed = UpdatePolicy::vendorFeedURL;
    const Case cases[] = {
        {"vendor feed and key", feed, key32, true},
        {"no feed", std::nullopt, key32, false},
        {"trailing slash", feed + u'/', key32, false},
        {"other scheme", QString(feed).replace(QStringLiteral("https:"), QStringLiteral("http:")), key32, false},
        {"other path", QString(feed).replace(QStringLiteral("appcast"), QStringLiteral("feed")), key32, false},
        {"no key", feed, std::nullopt, false},
        {"31 bytes", feed, key31, false},
        {"33 bytes", feed, key33, false},
        {"not base64", feed, QStringLiteral("!!!!not-base64!!!!!!!!!!!!!!!!!!!!!!!!!!!!!"), false},
        {"unpadded", feed, QString(key32).remove(u'='), false},
    };
    for (const Case& c : cases) {
        BundleInfo bundle;
        bundle.feedURL = c.feed;
        bundle.publicEDKey = c.key;
        EXPECT_EQ(UpdatePolicy::canStartUpdater(bundle), c.starts) << c.name;
    }
    // This build has no feed: no updater, and the menu item explains why.
    UpdateController controller(BundleInfo::main());
    EXPECT_FALSE(controller.hasUpdater());
    EXPECT_EQ(UpdateController::unavailableTitle(), QStringLiteral("Updates are unavailable in this build"));
    EXPECT_EQ(UpdateController::unavailableText(), QStringLiteral("Please check vellicord.app for the current release."));
}
