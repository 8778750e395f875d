#pragma once

#include "platform/Sound.h"

namespace vellicord {

class FakeSound final : public Sound {
public:
    int pops = 0;
    int beeps = 0;
    void playPop() override { ++pops; }
    void beep() override { ++beeps; }
};

} // namespace vellicord
