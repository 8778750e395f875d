#pragma once

#include <cstdint>
#include <functional>

namespace vellicord {

// One system-wide key combination whose presses reach this process while any application is in
// front. The combination is given as a Carbon key code and Carbon modifier bits (CarbonKeys.h).
class HotKeys {
public:
    // Statuses of grab(), with the values the log has always shown for them.
    static constexpr int noError = 0;
    static constexpr int keyTaken = -9878;   // another client holds the combination
    static constexpr int keyInvalid = -9879; // the key is not in the table or not on this keyboard
    static constexpr int unavailable = -9868; // no display connection to grab on

    virtual ~HotKeys() = default;

    // False when presses cannot be received at all (no X11 display).
    virtual bool isAvailable() const = 0;
    // Takes the combination; noError on success. Holds at most one: grabbing releases the last.
    virtual int grab(uint32_t carbonKeyCode, uint32_t carbonModifiers) = 0;
    virtual void release() = 0;
    // Called on the main thread once per press of the grabbed combination; holding the keys
    // down (auto-repeat) does not call it again.
    void setPressedHandler(std::function<void()> handler) { pressed_ = std::move(handler); }

protected:
    void notifyPressed()
    {
        if (pressed_)
            pressed_();
    }

private:
    std::function<void()> pressed_;
};

} // namespace vellicord
