#include "core/library/TokenEstimator.h"

#include <QLocale>

#include <cmath>
#include <limits>

#include <gtest/gtest.h>

using namespace vellicord;

namespace {

TEST(ModelProfileTest, BuiltInProfiles)
{
    QStringList ids;
    for (const ModelProfile& p : ModelProfile::all())
        ids.append(p.id);
    EXPECT_EQ(ids, (QStringList{"gpt-4o", "claude", "gemini", "local-32k", "local-16k", "custom"}));
    EXPECT_EQ(ModelProfile::gemini().contextTokens, 1048576);
    EXPECT_EQ(ModelProfile::local32k().contextTokens, 32768);
    EXPECT_EQ(ModelProfile::custom().name, QStringLiteral("Custom"));
    EXPECT_EQ(ModelProfile::profile(QStringLiteral("claude")).contextTokens, 200000);
    EXPECT_EQ(&ModelProfile::profile(QStringLiteral("unknown")), &ModelProfile::gpt4o());
}

TEST(TokenEstimatorTest, Estimate)
{
    const ModelProfile& p = ModelProfile::gpt4o();
    const struct {
        const char* name;
        QString text;
        int64_t tokens;
    } cases[] = {
        {"empty", QString(), 0},
        {"one character", QStringLiteral("a"), 1},
        {"four", QStringLiteral("abcd"), 1},
        {"five", QStringLiteral("abcde"), 2},
        {"eight", QStringLiteral("abcdefgh"), 2},
        {"emoji sequence is one character", QStringLiteral("\U0001F468\u200D\U0001F469\u200D\U0001F467abcd"), 2},
        {"combining accent is one character", QStringLiteral("e\u0301e\u0301e\u0301e\u0301"), 1},
        {"4 x 128000", QString(4 * 128000, QChar(u'x')), 128000},
    };
    for (const auto& c : cases)
        EXPECT_EQ(TokenEstimator::estimate(c.text, p), c.tokens) << c.name;
}

TEST(TokenEstimatorTest, UnusableCharsPerTokenCountsFour)
{
    const double values[] = {0.0, -1.0, std::nan(""), std::numeric_limits<double>::infinity()};
    for (double value : values) {
        const ModelProfile odd{QStringLiteral("x"), QStringLiteral("X"), 100, value};
        EXPECT_EQ(TokenEstimator::estimate(QStringLiteral("abcde"), odd), 2) << value;
    }
    const ModelProfile tiny{QStringLiteral("x"), QStringLiteral("X"), 100, 1e-300};
    EXPECT_EQ(TokenEstimator::estimate(QStringLiteral("abc"), tiny), std::numeric_limits<int64_t>::max());
}

TEST(TokenEstimatorTest, FormatFollowsTheLocale)
{
    const struct {
        const char* locale;
        int64_t count;
        QString text;
    } cases[] = {
        {"en_US", 0, QStringLiteral("0")},
        {"en_US", 128000, QStringLiteral("128,000")},
        {"en_US", 1048576, QStringLiteral("1,048,576")},
        {"en_US", -5, QStringLiteral("-5")},
        {"de_DE", 128000, QStringLiteral("128.000")},
        {"fr_FR", 1048576, QStringLiteral("1\u202F048\u202F576")},
    };
    const QLocale saved;
    for (const auto& c : cases) {
        QLocale::setDefault(QLocale(QString::fromLatin1(c.locale)));
        EXPECT_EQ(TokenEstimator::format(c.count), c.text) << c.locale << " " << c.count;
    }
    QLocale::setDefault(saved);
}

} // namespace
