#pragma once

#include "platform/Pasteboard.h"
#include "platform/x11/X11Connection.h"

#include <atomic>
#include <chrono>

namespace vellicord {

// Owns an X11 selection on a connection and window of its own and serves fixed content to every
// client that asks, as an owner must: its targets, TIMESTAMP, and each target's bytes, in
// increments when they are too large for one request. Serves until another client owns the
// selection or the display goes away.
class X11SelectionServer {
public:
    using Clock = std::chrono::steady_clock;

    explicit X11SelectionServer(const char* selection);
    ~X11SelectionServer();
    X11SelectionServer(const X11SelectionServer&) = delete;
    X11SelectionServer& operator=(const X11SelectionServer&) = delete;

    bool isValid() const { return window_ != XCB_NONE; }
    xcb_window_t window() const { return window_; }

    // Content larger than this goes in increments.
    static constexpr qsizetype chunkBytes = qsizetype(256) << 10;
    // A requestor that takes no increment for this long has gone.
    static constexpr std::chrono::milliseconds transferTimeout{5000};

    // Takes the selection for this content while it still belongs to previousOwner, or to no one
    // (the previous owner has gone). False when another client owns it now or the server refused.
    bool take(const PasteboardItem& item, xcb_window_t previousOwner);
    // Answers requests until the selection has another owner, the connection ends or stop().
    void serve();
    // From another thread: makes serve() return soon. The selection stays ours until the server
    // is destroyed.
    void stop();

private:
    struct Transfer {
        xcb_window_t requestor;
        xcb_atom_t property;
        xcb_atom_t type;
        QByteArray bytes;
        qsizetype sent = 0;
        Clock::time_point lastProgress;
    };

    xcb_timestamp_t serverTime();
    void answer(const xcb_selection_request_event_t& request);
    bool send(xcb_window_t requestor, xcb_atom_t property, xcb_atom_t target);
    void continueTransfer(const xcb_property_notify_event_t& event);
    void dropStaleTransfers();

    X11Connection x11_;
    xcb_atom_t selection_ = XCB_NONE;
    xcb_window_t window_ = XCB_NONE;
    xcb_timestamp_t time_ = XCB_CURRENT_TIME;
    QList<std::pair<xcb_atom_t, QByteArray>> content_;
    QList<Transfer> transfers_;
    std::atomic<bool> stopping_ = false;
};

} // namespace vellicord
