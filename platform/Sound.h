#pragma once

namespace vellicord {

// The two sounds of the application: the soft confirmation of a saved capture and the alert.
class Sound {
public:
    virtual ~Sound() = default;
    virtual void playPop() = 0;
    virtual void beep() = 0;
};

} // namespace vellicord
