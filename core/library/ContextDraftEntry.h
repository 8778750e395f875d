#pragma once

#include <QString>
#include <QUuid>

#include <optional>

namespace vellicord {

// One capture placed in a prompt draft, with the switches and edits made for this prompt.
struct ContextDraftEntry {
    QUuid id;
    QUuid selectionID;
    bool include = true;
    bool pin = false;
    bool verbatim = false;
    std::optional<QString> note;
    std::optional<QString> customText;

    friend bool operator==(const ContextDraftEntry& a, const ContextDraftEntry& b);
};

size_t qHash(const ContextDraftEntry& entry, size_t seed = 0);

} // namespace vellicord
