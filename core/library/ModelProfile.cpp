#include "core/library/ModelProfile.h"

#include "core/library/RecordEquality.h"

namespace vellicord {

const QList<ModelProfile>& ModelProfile::all()
{
    static const QList<ModelProfile> profiles{
        {QStringLiteral("gpt-4o"), QStringLiteral("GPT-4o (128k)"), 128000, 4.0},
        {QStringLiteral("claude"), QStringLiteral("Claude (200k)"), 200000, 4.0},
        {QStringLiteral("gemini"), QStringLiteral("Gemini (1M)"), 1048576, 4.0},
        {QStringLiteral("local-32k"), QStringLiteral("Local (32k)"), 32768, 4.0},
        {QStringLiteral("local-16k"), QStringLiteral("Local (16k)"), 16384, 4.0},
        {QStringLiteral("custom"), QStringLiteral("Custom"), 64000, 4.0},
    };
    return profiles;
}

const ModelProfile& ModelProfile::gpt4o() { return all()[0]; }
const ModelProfile& ModelProfile::claude() { return all()[1]; }
const ModelProfile& ModelProfile::gemini() { return all()[2]; }
const ModelProfile& ModelProfile::local32k() { return all()[3]; }
const ModelProfile& ModelProfile::local16k() { return all()[4]; }
const ModelProfile& ModelProfile::custom() { return all()[5]; }

const ModelProfile& ModelProfile::profile(const QString& id)
{
    for (const ModelProfile& p : all()) {
        if (p.id == id)
            return p;
    }
    return gpt4o();
}

bool operator==(const ModelProfile& a, const ModelProfile& b)
{
    return RecordEquality::same(a.id, b.id) && RecordEquality::same(a.name, b.name)
        && a.contextTokens == b.contextTokens && a.charsPerToken == b.charsPerToken;
}

size_t qHash(const ModelProfile& p, size_t seed)
{
    return RecordEquality::combine(seed, p.id, p.name, qint64(p.contextTokens), p.charsPerToken);
}

} // namespace vellicord
