#pragma once

#include <QList>
#include <QString>

#include <cstdint>

namespace vellicord {

// A language model's context budget.
struct ModelProfile {
    QString id;
    QString name;
    int64_t contextTokens = 0;
    double charsPerToken = 4.0;

    static const ModelProfile& gpt4o();
    static const ModelProfile& claude();
    static const ModelProfile& gemini();
    static const ModelProfile& local32k();
    static const ModelProfile& local16k();
    static const ModelProfile& custom();
    // The six built-in profiles, in the order the pickers list them.
    static const QList<ModelProfile>& all();
    // The built-in profile with exactly this id; "gpt-4o" for any other id.
    static const ModelProfile& profile(const QString& id);

    friend bool operator==(const ModelProfile& a, const ModelProfile& b);
};

size_t qHash(const ModelProfile& profile, size_t seed = 0);

} // namespace vellicord
