#include "platform/qt/SettingsDefaults.h"

#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vellicord {
namespace {

TEST(SettingsDefaults, valuesPersistPerDomain)
{
    QTemporaryDir root;
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", root.path().toUtf8());
    {
        SettingsDefaults defaults(QStringLiteral("com.ruvo.vellicord"));
        EXPECT_EQ(defaults.fileName(), root.path() + QStringLiteral("/com.ruvo.vellicord.ini"));
        EXPECT_FALSE(defaults.boolValue(QStringLiteral("Vellicord.collectIntoActiveDraft"))) << "absent";
        EXPECT_FALSE(defaults.value(QStringLiteral("Vellicord.collectIntoActiveDraft")).has_value());
        defaults.setBool(QStringLiteral("Vellicord.collectIntoActiveDraft"), true);
        defaults.setDataValue(QStringLiteral("Vellicord.customPromptTemplates"), QByteArray("[{\"a\":1}]\n\0", 11));
        defaults.setValue(QStringLiteral("name"), QStringLiteral("text"));
    }
    qputenv("XDG_CONFIG_HOME", saved);

    SettingsDefaults reopened(QStringLiteral("com.ruvo.vellicord"), root.path());
    EXPECT_TRUE(QFileInfo::exists(root.path() + QStringLiteral("/com.ruvo.vellicord.ini")));
    EXPECT_TRUE(reopened.boolValue(QStringLiteral("Vellicord.collectIntoActiveDraft")));
    EXPECT_EQ(reopened.dataValue(QStringLiteral("Vellicord.customPromptTemplates")),
              QByteArray("[{\"a\":1}]\n\0", 11));
    EXPECT_FALSE(reopened.dataValue(QStringLiteral("name")).has_value()) << "a text is no data value";
    EXPECT_FALSE(reopened.boolValue(QStringLiteral("name"))) << "a text is no Bool";
    EXPECT_TRUE(reopened.value(QStringLiteral("name")).has_value());

    EXPECT_FALSE(reopened.persistentDomain(QStringLiteral("com.ruvo.tovak")).has_value()) << "no such domain";
    const auto own = reopened.persistentDomain(QStringLiteral("com.ruvo.vellicord"));
    ASSERT_TRUE(own.has_value());
    EXPECT_EQ(own->value(QStringLiteral("name")).toString(), QStringLiteral("text"));
    EXPECT_EQ(own->size(), 3);

    // A Bool written by hand into the file is text.
    const std::pair<const char*, bool> byHand[] = {{"true", true}, {"1", true}, {"0", false}, {"false", false}};
    for (const auto& [text, value] : byHand) {
        reopened.setValue(QStringLiteral("byHand"), QString::fromLatin1(text));
        EXPECT_EQ(reopened.boolValue(QStringLiteral("byHand")), value) << text;
    }
}

} // namespace
} // namespace vellicord
