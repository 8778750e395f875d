#pragma once

#include "platform/HotKeys.h"

#include <optional>
#include <set>
#include <utility>

namespace vellicord {

// Hot keys for tests: combinations listed in taken fail as if another application held them.
class FakeHotKeys final : public HotKeys {
public:
    bool available = true;
    std::set<std::pair<uint32_t, uint32_t>> taken;
    std::optional<std::pair<uint32_t, uint32_t>> grabbed;
    int grabCount = 0;

    bool isAvailable() const override { return available; }
    int grab(uint32_t keyCode, uint32_t modifiers) override
    {
        release();
        ++grabCount;
        if (!available)
            return unavailable;
        if (taken.count({keyCode, modifiers}))
            return keyTaken;
        grabbed = std::pair{keyCode, modifiers};
        return noError;
    }
    void release() override { grabbed.reset(); }
    void press() { notifyPressed(); }
};

} // namespace vellicord
