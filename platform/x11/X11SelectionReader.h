#pragma once

#include "platform/Pasteboard.h"
#include "platform/x11/X11Connection.h"

#include <chrono>
#include <mutex>

namespace vellicord {

// Reads an X11 selection (CLIPBOARD or PRIMARY) through its own connection and window: the owner's
// targets, the content of a target (incremental transfers included), and a change count kept from
// XFixes owner-change events. Every conversion is bounded by a timeout, so an owner that never
// answers costs at most that long.
class X11SelectionReader {
public:
    using Clock = std::chrono::steady_clock;

    explicit X11SelectionReader(const char* selection);
    ~X11SelectionReader();

    bool isValid() const { return window_ != XCB_NONE; }
    X11Connection& connection() { return x11_; }

    // Makes a round trip first, so that every owner change the server made before the call is counted.
    qint64 changeCount();
    xcb_window_t owner();

    // The owner's content targets (meta targets left out): empty when there is no owner or it
    // offers none; nullopt when it did not answer before the deadline, refused to tell, or offered
    // more than maximumTargets.
    // An answer is awaited until the deadline; an incremental transfer that has started goes on
    // past it (see transferOverrun), never past the limit. A transfer that stops there, or whose
    // owner stops sending, is partial.
    std::optional<QStringList> targets(Clock::time_point deadline, Clock::time_point limit = Clock::time_point::max());
    PasteboardData convert(const QString& target, Clock::time_point deadline,
                           Clock::time_point limit = Clock::time_point::max());

    static constexpr std::chrono::milliseconds chunkTimeout{500};
    // An incremental transfer that goes on past its deadline by this much, or grows beyond
    // maximumTransferBytes, is given up as unanswered: an owner that never stops sending must
    // not hold the capture (and the memory) forever. A reply sent whole has the same cap.
    static constexpr std::chrono::milliseconds transferOverrun{5000};
    static constexpr qsizetype maximumTransferBytes = qsizetype(256) << 20;
    // More formats than any real owner offers; a longer list is not read.
    static constexpr qsizetype maximumTargets = 1024;

private:
    // Waits for the event the predicate accepts; counts owner changes on the way.
    xcb_generic_event_t* waitForEvent(const std::function<bool(xcb_generic_event_t*)>& accept,
                                      Clock::time_point deadline);
    void countIfOwnerChange(xcb_generic_event_t* event);
    PasteboardData convertLocked(xcb_atom_t target, Clock::time_point deadline, Clock::time_point limit);
    PasteboardData readIncrementally(xcb_atom_t property, Clock::time_point deadline, Clock::time_point limit,
                                     qsizetype announced);

    X11Connection x11_;
    std::recursive_mutex mutex_;
    xcb_atom_t selection_ = XCB_NONE;
    xcb_atom_t transferProperty_ = XCB_NONE;
    xcb_window_t window_ = XCB_NONE;
    uint8_t xfixesFirstEvent_ = 0;
    bool haveXFixes_ = false;
    qint64 changes_ = 0;
};

} // namespace vellicord
