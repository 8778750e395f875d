#pragma once

#include <QString>
#include <QStringList>

#include <cstdint>

namespace vellicord {

// One composed prompt, or one message of a split copy.
struct ComposedContext {
    QString text;
    int64_t tokens = 0;       // the estimate of text for the profile in use
    QStringList feedback;     // budget messages, in order; empty when it fits or no budget was given
    qsizetype entryCount = 0; // draft entries that went into text; 0 for an edited preview

    friend bool operator==(const ComposedContext&, const ComposedContext&) = default;
};

} // namespace vellicord
