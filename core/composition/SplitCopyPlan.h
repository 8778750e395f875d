#pragma once

#include "core/composition/ComposedContext.h"

#include <QList>
#include <QString>

#include <optional>

namespace vellicord {

// What a split copy would put on the clipboard, and the line to show the user either way.
struct SplitCopyPlan {
    QList<ComposedContext> messages;
    std::optional<QString> clipboardText; // absent whenever the split cannot be copied
    QString notice;

    friend bool operator==(const SplitCopyPlan&, const SplitCopyPlan&) = default;
};

} // namespace vellicord
