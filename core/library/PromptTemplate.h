#pragma once

#include "core/library/ComposerTemplate.h"

#include <QString>

namespace vellicord {

// A reusable task: a named task text with the layout the prompt is composed in.
struct PromptTemplate {
    QString id;
    QString name;
    QString task;
    ComposerTemplate layout = ComposerTemplate::sections; // "template" in its JSON form

    friend bool operator==(const PromptTemplate& a, const PromptTemplate& b);
};

size_t qHash(const PromptTemplate& t, size_t seed = 0);

} // namespace vellicord
