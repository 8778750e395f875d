#pragma once

#include <QDateTime>

namespace vellicord {

// The current time, as records are stamped with it. Tests use one they set by hand.
//
// This header is an interface only, so the core can be handed a clock without linking the
// platform layer.
class Clock {
public:
    virtual ~Clock() = default;
    // Now, in UTC.
    virtual QDateTime now() const = 0;
};

} // namespace vellicord
