#pragma once

#include "platform/Accessibility.h"

#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace vellicord {

class X11Connection;
class X11SelectionReader;

// Other applications' interfaces through AT-SPI: the focused element of a process, its selected
// text, and the document address of the document it sits in. Every call waits for its answer up to
// a second, and never past the deadline the caller gave; a web page's document is the top of its walk. The PRIMARY
// selection, where selecting text on X11 puts it, is read for applications that tell AT-SPI nothing (or when there is
// no accessibility bus).
//
// Trusted means what the copy command needs: an X display with the XTEST extension.
class AtspiAccessibility final : public Accessibility {
public:
    AtspiAccessibility();
    ~AtspiAccessibility() override;

    // How long one call may wait for its answer: a busy application answers late, and one that does
    // not answer at all must not take the time of every other look-up.
    static constexpr std::chrono::milliseconds longestCall{1000};
    // How long PRIMARY's owner has to start answering; a large selection sent in increments may
    // then go on arriving up to the end the caller gives.
    static constexpr std::chrono::milliseconds primaryTimeout{300};
    // How often applications' announcements are read while no capture runs.
    static constexpr std::chrono::milliseconds dispatchInterval{100};

    bool isProcessTrusted() override;
    std::unique_ptr<AccessibilityElement> focusedElement(qint32 pid,
                                                         std::chrono::steady_clock::time_point deadline) override;
    std::optional<SelectionText> primarySelection(qint32 pid, std::chrono::steady_clock::time_point end) override;

private:
    void startDispatching();

    std::unique_ptr<X11SelectionReader> primary_;
    std::once_flag dispatching_;
    std::mutex dispatchMutex_;
    std::condition_variable stop_;
    bool stopping_ = false;
    std::thread dispatcher_;
};

} // namespace vellicord
