#include "platform/x11/X11SelectionReader.h"

#include <QSet>

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <memory>

#include <poll.h>
#include <xcb/xfixes.h>

namespace vellicord {

namespace {

struct FreeDeleter {
    void operator()(void* p) const { std::free(p); }
};
template<typename T> using Reply = std::unique_ptr<T, FreeDeleter>;
using Event = std::unique_ptr<xcb_generic_event_t, FreeDeleter>;

uint8_t responseType(const xcb_generic_event_t* event)
{
    return event->response_type & 0x7F;
}

} // namespace

X11SelectionReader::X11SelectionReader(const char* selectionName)
{
    if (!x11_.isValid())
        return;
    xcb_connection_t* c = x11_.get();
    selection_ = x11_.atom(selectionName);
    transferProperty_ = x11_.atom("_VELLICORD_SELECTION");

    window_ = xcb_generate_id(c);
    const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window_, x11_.root(), -10, -10, 1, 1, 0, XCB_WINDOW_CLASS_INPUT_ONLY,
                      XCB_COPY_FROM_PARENT, XCB_CW_EVENT_MASK, &mask);

    const xcb_query_extension_reply_t* extension = xcb_get_extension_data(c, &xcb_xfixes_id);
    if (extension && extension->present) {
        Reply<xcb_xfixes_query_version_reply_t> version(
            xcb_xfixes_query_version_reply(c, xcb_xfixes_query_version(c, 5, 0), nullptr));
        if (version) {
            haveXFixes_ = true;
            xfixesFirstEvent_ = extension->first_event;
            xcb_xfixes_select_selection_input(c, window_, selection_,
                                              XCB_XFIXES_SELECTION_EVENT_MASK_SET_SELECTION_OWNER
                                                  | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_WINDOW_DESTROY
                                                  | XCB_XFIXES_SELECTION_EVENT_MASK_SELECTION_CLIENT_CLOSE);
        }
    }
    x11_.roundTrip();
}

X11SelectionReader::~X11SelectionReader()
{
    if (window_ != XCB_NONE) {
        xcb_destroy_window(x11_.get(), window_);
        xcb_flush(x11_.get());
    }
}

void X11SelectionReader::countIfOwnerChange(xcb_generic_event_t* event)
{
    if (haveXFixes_ && responseType(event) == xfixesFirstEvent_ + XCB_XFIXES_SELECTION_NOTIFY)
        ++changes_;
}

qint64 X11SelectionReader::changeCount()
{
    std::lock_guard lock(mutex_);
    if (!isValid())
        return 0;
    x11_.roundTrip();
    while (Event event{xcb_poll_for_event(x11_.get())})
        countIfOwnerChange(event.get());
    if (!haveXFixes_) {
        // Without XFixes the owner window stands in for the count: a new owner is a change.
        return qint64(owner());
    }
    return changes_;
}

xcb_window_t X11SelectionReader::owner()
{
    if (!isValid())
        return XCB_NONE;
    Reply<xcb_get_selection_owner_reply_t> reply(
        xcb_get_selection_owner_reply(x11_.get(), xcb_get_selection_owner(x11_.get(), selection_), nullptr));
    return reply ? reply->owner : XCB_NONE;
}

xcb_generic_event_t* X11SelectionReader::waitForEvent(const std::function<bool(xcb_generic_event_t*)>& accept,
                                                      Clock::time_point deadline)
{
    xcb_connection_t* c = x11_.get();
    xcb_flush(c);
    for (;;) {
        while (xcb_generic_event_t* event = xcb_poll_for_event(c)) {
            countIfOwnerChange(event);
            if (accept(event))
                return event;
            std::free(event);
        }
        if (xcb_connection_has_error(c))
            return nullptr;
        // Rounded up: a read gives up only once its deadline has passed, never a moment before.
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now()).count();
        if (left <= 0)
            return nullptr;
        pollfd descriptor{xcb_get_file_descriptor(c), POLLIN, 0};
        ::poll(&descriptor, 1, int(std::min<long long>(left, 50)));
    }
}

std::optional<QStringList> X11SelectionReader::targets(Clock::time_point deadline, Clock::time_point limit)
{
    std::lock_guard lock(mutex_);
    if (!isValid())
        return std::nullopt;
    if (owner() == XCB_NONE)
        return QStringList{};
    const PasteboardData data = convertLocked(x11_.atom("TARGETS"), std::min(deadline, limit), limit);
    // An owner that does not tell its formats is unreadable, not empty: taken for empty, the
    // capture would copy over content it never saved.
    if (data.status != PasteboardData::Status::ok)
        return std::nullopt;
    const qsizetype count = data.bytes.size() / qsizetype(sizeof(xcb_atom_t));
    if (count > maximumTargets)
        return std::nullopt;
    QStringList names;
    QSet<xcb_atom_t> seen;
    const auto* atoms = reinterpret_cast<const xcb_atom_t*>(data.bytes.constData());
    for (qsizetype i = 0; i < count; ++i) {
        if (seen.contains(atoms[i]))
            continue;
        seen.insert(atoms[i]);
        const QString name = x11_.atomName(atoms[i]);
        if (!name.isEmpty() && !PasteboardTypes::isMeta(name))
            names.append(name);
    }
    return names;
}

PasteboardData X11SelectionReader::convert(const QString& target, Clock::time_point deadline, Clock::time_point limit)
{
    std::lock_guard lock(mutex_);
    if (!isValid())
        return {PasteboardData::Status::noAnswer, {}};
    return convertLocked(x11_.atom(target.toLatin1().constData()), std::min(deadline, limit), limit);
}

PasteboardData X11SelectionReader::convertLocked(xcb_atom_t target, Clock::time_point deadline, Clock::time_point limit)
{
    xcb_connection_t* c = x11_.get();
    xcb_delete_property(c, window_, transferProperty_);
    xcb_convert_selection(c, window_, selection_, target, transferProperty_, XCB_CURRENT_TIME);
    Event notify{waitForEvent(
        [&](xcb_generic_event_t* event) {
            if (responseType(event) != XCB_SELECTION_NOTIFY)
                return false;
            const auto* n = reinterpret_cast<xcb_selection_notify_event_t*>(event);
            return n->requestor == window_ && n->selection == selection_ && n->target == target;
        },
        deadline)};
    if (!notify)
        return {PasteboardData::Status::noAnswer, {}};
    if (reinterpret_cast<xcb_selection_notify_event_t*>(notify.get())->property == XCB_NONE)
        return {};

    xcb_atom_t type = XCB_NONE;
    bool tooLarge = false;
    std::optional<QByteArray> bytes = x11_.property(window_, transferProperty_, &type, maximumTransferBytes, &tooLarge);
    if (tooLarge) {
        xcb_delete_property(c, window_, transferProperty_);
        xcb_flush(c);
        return {PasteboardData::Status::noAnswer, {}};
    }
    if (!bytes)
        return {};
    if (type == x11_.atom("INCR")) {
        // The announcement gives the size the owner expects to send: room for it at once, within the cap.
        quint32 announced = 0;
        if (bytes->size() >= 4)
            std::memcpy(&announced, bytes->constData(), 4);
        return readIncrementally(transferProperty_, deadline, limit,
                                 std::min<qsizetype>(announced, maximumTransferBytes));
    }
    xcb_delete_property(c, window_, transferProperty_);
    xcb_flush(c);
    return {PasteboardData::Status::ok, *bytes};
}

PasteboardData X11SelectionReader::readIncrementally(xcb_atom_t property, Clock::time_point deadline,
                                                     Clock::time_point limit, qsizetype announced)
{
    // Deleting the INCR announcement asks the owner for the first chunk; each chunk is deleted in
    // turn, and an empty chunk ends the transfer. Each chunk may take up to its own timeout, as a
    // large transfer is expected to take longer than a small one. A transfer cut short gives what
    // arrived: the caller decides whether a part will do.
    xcb_connection_t* c = x11_.get();
    QByteArray data;
    data.reserve(announced);
    const auto giveUp = std::min(limit, std::max(deadline, Clock::now()) + transferOverrun);
    xcb_delete_property(c, window_, property);
    for (;;) {
        const auto chunkDeadline = std::min(giveUp, std::max(deadline, Clock::now() + chunkTimeout));
        Event event{waitForEvent(
            [&](xcb_generic_event_t* e) {
                if (responseType(e) != XCB_PROPERTY_NOTIFY)
                    return false;
                const auto* n = reinterpret_cast<xcb_property_notify_event_t*>(e);
                return n->window == window_ && n->atom == property && n->state == XCB_PROPERTY_NEW_VALUE;
            },
            chunkDeadline)};
        if (!event)
            return {data.isEmpty() ? PasteboardData::Status::noAnswer : PasteboardData::Status::partial, data};
        bool tooLarge = false;
        const std::optional<QByteArray> chunk
            = x11_.property(window_, property, nullptr, maximumTransferBytes - data.size(), &tooLarge);
        xcb_delete_property(c, window_, property);
        xcb_flush(c);
        if (tooLarge)
            return {PasteboardData::Status::noAnswer, {}};
        if (!chunk || chunk->isEmpty())
            return {PasteboardData::Status::ok, data};
        data += *chunk;
    }
}

} // namespace vellicord
