#include "platform/x11/X11SelectionServer.h"

#include <algorithm>
#include <cstdlib>
#include <memory>

#include <poll.h>

namespace vellicord {

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
using Event = std::unique_ptr<xcb_generic_event_t, FreeDeleter>;
template<typename T> using Reply = std::unique_ptr<T, FreeDeleter>;

uint8_t responseType(const xcb_generic_event_t* event)
{
    return event->response_type & 0x7F;
}

constexpr auto serverTimeWait = std::chrono::milliseconds(1000);

} // namespace

X11SelectionServer::X11SelectionServer(const char* selection)
{
    if (!x11_.isValid())
        return;
    xcb_connection_t* c = x11_.get();
    selection_ = x11_.atom(selection);
    window_ = xcb_generate_id(c);
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window_, x11_.root(), -10, -10, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);
    x11_.roundTrip();
}

X11SelectionServer::~X11SelectionServer()
{
    if (window_ != XCB_NONE) {
        xcb_destroy_window(x11_.get(), window_);
        xcb_flush(x11_.get());
    }
}

xcb_timestamp_t X11SelectionServer::serverTime()
{
    // ICCCM: a selection is taken with the time of an event, never CurrentTime; an empty append to
    // a property of our own window gets one from the server.
    xcb_connection_t* c = x11_.get();
    const xcb_atom_t stamp = x11_.atom("_VELLICORD_TIMESTAMP");
    xcb_change_property(c, XCB_PROP_MODE_APPEND, window_, stamp, XCB_ATOM_STRING, 8, 0, nullptr);
    xcb_flush(c);
    const auto deadline = Clock::now() + serverTimeWait;
    while (Clock::now() < deadline && !xcb_connection_has_error(c)) {
        while (Event event{xcb_poll_for_event(c)}) {
            if (responseType(event.get()) != XCB_PROPERTY_NOTIFY)
                continue;
            const auto* notify = reinterpret_cast<const xcb_property_notify_event_t*>(event.get());
            if (notify->window == window_ && notify->atom == stamp)
                return notify->time;
        }
        pollfd descriptor{xcb_get_file_descriptor(c), POLLIN, 0};
        ::poll(&descriptor, 1, 50);
    }
    return XCB_CURRENT_TIME;
}

bool X11SelectionServer::take(const PasteboardItem& item, xcb_window_t previousOwner)
{
    if (!isValid())
        return false;
    xcb_connection_t* c = x11_.get();
    content_.clear();
    for (const auto& [target, bytes] : item) {
        const xcb_atom_t atom = x11_.atom(target.toLatin1().constData());
        if (atom != XCB_NONE)
            content_.append({atom, bytes});
    }
    time_ = serverTime();
    // Whoever copied something since the previous owner left keeps the clipboard.
    Reply<xcb_get_selection_owner_reply_t> before(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection_), nullptr));
    if (!before || (before->owner != XCB_NONE && before->owner != previousOwner))
        return false;
    xcb_set_selection_owner(c, window_, selection_, time_);
    Reply<xcb_get_selection_owner_reply_t> after(
        xcb_get_selection_owner_reply(c, xcb_get_selection_owner(c, selection_), nullptr));
    return after && after->owner == window_;
}

void X11SelectionServer::serve()
{
    xcb_connection_t* c = x11_.get();
    for (;;) {
        xcb_flush(c);
        while (Event event{xcb_poll_for_event(c)}) {
            switch (responseType(event.get())) {
            case XCB_SELECTION_REQUEST:
                answer(*reinterpret_cast<const xcb_selection_request_event_t*>(event.get()));
                break;
            case XCB_PROPERTY_NOTIFY:
                continueTransfer(*reinterpret_cast<const xcb_property_notify_event_t*>(event.get()));
                break;
            case XCB_SELECTION_CLEAR:
                if (reinterpret_cast<const xcb_selection_clear_event_t*>(event.get())->selection == selection_)
                    return;
                break;
            default: break;
            }
        }
        if (xcb_connection_has_error(c) || stopping_)
            return;
        dropStaleTransfers();
        xcb_flush(c);
        pollfd descriptor{xcb_get_file_descriptor(c), POLLIN, 0};
        ::poll(&descriptor, 1, transfers_.isEmpty() ? -1 : 500);
    }
}

void X11SelectionServer::stop()
{
    // Set before the event is sent: serve() looks at it after it has read the events it was woken by.
    stopping_ = true;
    if (!isValid())
        return;
    xcb_client_message_event_t wake{};
    wake.response_type = XCB_CLIENT_MESSAGE;
    wake.format = 32;
    wake.window = window_;
    xcb_send_event(x11_.get(), 0, window_, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&wake));
    xcb_flush(x11_.get());
}

void X11SelectionServer::answer(const xcb_selection_request_event_t& request)
{
    xcb_selection_notify_event_t notify{};
    notify.response_type = XCB_SELECTION_NOTIFY;
    notify.time = request.time;
    notify.requestor = request.requestor;
    notify.selection = request.selection;
    notify.target = request.target;
    // Obsolete clients name no property; the target then serves as one.
    const xcb_atom_t property = request.property != XCB_NONE ? request.property : request.target;
    const bool current = request.time == XCB_CURRENT_TIME || request.time >= time_;
    notify.property = request.selection == selection_ && current && send(request.requestor, property, request.target)
        ? property
        : XCB_NONE;
    xcb_send_event(x11_.get(), 0, request.requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&notify));
}

bool X11SelectionServer::send(xcb_window_t requestor, xcb_atom_t property, xcb_atom_t target)
{
    xcb_connection_t* c = x11_.get();
    if (target == x11_.atom("TARGETS")) {
        QList<xcb_atom_t> atoms{x11_.atom("TARGETS"), x11_.atom("TIMESTAMP")};
        for (const auto& entry : std::as_const(content_))
            atoms.append(entry.first);
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_ATOM, 32, uint32_t(atoms.size()),
                            atoms.constData());
        return true;
    }
    if (target == x11_.atom("TIMESTAMP")) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, XCB_ATOM_INTEGER, 32, 1, &time_);
        return true;
    }
    const auto found = std::find_if(content_.cbegin(), content_.cend(),
                                    [target](const auto& entry) { return entry.first == target; });
    if (found == content_.cend())
        return false;
    const QByteArray& bytes = found->second;
    if (bytes.size() <= chunkBytes) {
        xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, target, 8, uint32_t(bytes.size()),
                            bytes.constData());
        return true;
    }
    // The requestor deletes the property to ask for each increment; we hear of it by its events.
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_change_window_attributes(c, requestor, XCB_CW_EVENT_MASK, &mask);
    const auto size = uint32_t(std::min<qsizetype>(bytes.size(), UINT32_MAX));
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, requestor, property, x11_.atom("INCR"), 32, 1, &size);
    transfers_.append(Transfer{requestor, property, target, bytes, 0, Clock::now()});
    return true;
}

void X11SelectionServer::continueTransfer(const xcb_property_notify_event_t& event)
{
    if (event.state != XCB_PROPERTY_DELETE)
        return;
    const auto found = std::find_if(transfers_.begin(), transfers_.end(), [&](const Transfer& transfer) {
        return transfer.requestor == event.window && transfer.property == event.atom;
    });
    if (found == transfers_.end())
        return;
    xcb_connection_t* c = x11_.get();
    const qsizetype length = std::min(chunkBytes, found->bytes.size() - found->sent);
    // The last increment is empty: it ends the transfer.
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, found->requestor, found->property, found->type, 8, uint32_t(length),
                        found->bytes.constData() + found->sent);
    if (length == 0) {
        const xcb_window_t requestor = found->requestor;
        transfers_.erase(found);
        if (std::none_of(transfers_.cbegin(), transfers_.cend(),
                         [requestor](const Transfer& other) { return other.requestor == requestor; })) {
            const uint32_t mask = XCB_EVENT_MASK_NO_EVENT;
            xcb_change_window_attributes(c, requestor, XCB_CW_EVENT_MASK, &mask);
        }
        return;
    }
    found->sent += length;
    found->lastProgress = Clock::now();
}

void X11SelectionServer::dropStaleTransfers()
{
    const auto now = Clock::now();
    transfers_.removeIf([&](const Transfer& transfer) { return now - transfer.lastProgress > transferTimeout; });
}

} // namespace vellicord
