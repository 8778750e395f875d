#pragma once

#include "platform/Clock.h"

namespace vellicord {

class SystemClock : public Clock {
public:
    QDateTime now() const override;
};

} // namespace vellicord
