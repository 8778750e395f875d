// A small X client for the end-to-end tests: a focused window that holds a text selection, puts it
// on the clipboard when it receives Control-C, and answers requests for it.
//
//   SelectionWindow [--text T] [--html H] [--no-copy] [--silent-clipboard] [--refuse-targets] [--class C]
//                   [--copy-needs-shift] [--slow-increments] [--slow-primary] [--clipboard-manager]
//                   [--offer TARGET HEX]...
//
// --text      the selected text (PRIMARY, and UTF8_STRING on the clipboard after a copy)
// --html      the copy also (or, without --text, only) offers text/html
// --offer     the copy also offers TARGET, with the bytes written in hexadecimal
// --no-copy   ignores Control-C, like a terminal that copies by selection
// --silent-clipboard  takes the clipboard at once and never answers a request for it
// --refuse-targets    takes the clipboard at once, serves its text but refuses to list its formats
// --class     the window's WM_CLASS (instance and class), "vellicord-test-editor" by default
// --copy-needs-shift  copies on Control-Shift-C only, like most terminals
// --slow-increments   sends its copied text in increments of ten bytes, one every 0.3 s, and never
//                     ends, like an application that answers a copy slowly
// --slow-primary      sends its selection (PRIMARY) in increments of 64 KiB of letters, one every
//                     0.3 s, and never ends, like a terminal asked for a very long selection
// --clipboard-manager a clipboard manager: owns CLIPBOARD_MANAGER, and on SAVE_TARGETS saves every
//                     format of the clipboard, takes the clipboard and serves them from then on
// Prints "ready" and the window's id when the window has the focus.
#include <xcb/xcb.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include <time.h>

#include <unistd.h>

namespace {

xcb_connection_t* c;

xcb_atom_t atom(const char* name)
{
    auto* reply = xcb_intern_atom_reply(c, xcb_intern_atom(c, 0, uint16_t(std::strlen(name)), name), nullptr);
    const xcb_atom_t value = reply ? reply->atom : XCB_NONE;
    std::free(reply);
    return value;
}

// Waits for the answer to a conversion made from this window; the property it filled, or none.
xcb_atom_t awaitConversion(xcb_window_t window, xcb_atom_t target)
{
    while (xcb_generic_event_t* event = xcb_wait_for_event(c)) {
        const bool answer = (event->response_type & 0x7F) == XCB_SELECTION_NOTIFY
            && reinterpret_cast<xcb_selection_notify_event_t*>(event)->requestor == window
            && reinterpret_cast<xcb_selection_notify_event_t*>(event)->target == target;
        const xcb_atom_t property = answer ? reinterpret_cast<xcb_selection_notify_event_t*>(event)->property : 0;
        std::free(event);
        if (answer)
            return property;
    }
    return XCB_NONE;
}

struct Saved {
    xcb_atom_t target;
    xcb_atom_t type;
    uint8_t format;
    std::string bytes;
};

// Reads every format of the clipboard, as a clipboard manager does before its owner leaves.
std::vector<Saved> saveClipboard(xcb_window_t window, xcb_atom_t clipboard, const std::vector<xcb_atom_t>& meta)
{
    std::vector<Saved> saved;
    const xcb_atom_t property = atom("_MANAGER_SAVE");
    auto convert = [&](xcb_atom_t target) -> xcb_get_property_reply_t* {
        xcb_convert_selection(c, window, clipboard, target, property, XCB_CURRENT_TIME);
        xcb_flush(c);
        if (awaitConversion(window, target) == XCB_NONE)
            return nullptr;
        return xcb_get_property_reply(
            c, xcb_get_property(c, 1, window, property, XCB_GET_PROPERTY_TYPE_ANY, 0, 1 << 24), nullptr);
    };
    xcb_get_property_reply_t* targets = convert(atom("TARGETS"));
    if (!targets)
        return saved;
    const auto* atoms = static_cast<const xcb_atom_t*>(xcb_get_property_value(targets));
    const int count = xcb_get_property_value_length(targets) / 4;
    for (int i = 0; i < count; ++i) {
        bool isMeta = false;
        for (xcb_atom_t m : meta)
            isMeta = isMeta || atoms[i] == m;
        if (isMeta)
            continue;
        if (xcb_get_property_reply_t* data = convert(atoms[i])) {
            saved.push_back({atoms[i], data->type, data->format,
                             std::string(static_cast<const char*>(xcb_get_property_value(data)),
                                         size_t(xcb_get_property_value_length(data)))});
            std::free(data);
        }
    }
    std::free(targets);
    return saved;
}

} // namespace

int main(int argc, char** argv)
{
    std::string text;
    std::string html;
    bool hasText = false;
    bool copies = true;
    bool silent = false;
    bool refuseTargets = false;
    bool needsShift = false;
    bool slowIncrements = false;
    bool slowPrimary = false;
    bool manager = false;
    std::string windowClass;
    std::vector<std::pair<std::string, std::string>> offers; // target name, bytes
    for (int i = 1; i < argc; ++i) {
        const std::string arg = argv[i];
        if (arg == "--text" && i + 1 < argc) {
            text = argv[++i];
            hasText = true;
        } else if (arg == "--html" && i + 1 < argc) {
            html = argv[++i];
        } else if (arg == "--no-copy") {
            copies = false;
        } else if (arg == "--refuse-targets") {
            refuseTargets = true;
        } else if (arg == "--silent-clipboard") {
            silent = true;
        } else if (arg == "--class" && i + 1 < argc) {
            windowClass = argv[++i];
        } else if (arg == "--copy-needs-shift") {
            needsShift = true;
        } else if (arg == "--slow-increments") {
            slowIncrements = true;
        } else if (arg == "--slow-primary") {
            slowPrimary = true;
        } else if (arg == "--clipboard-manager") {
            manager = true;
        } else if (arg == "--offer" && i + 2 < argc) {
            std::string bytes;
            for (const char* hex = argv[i + 2]; hex[0] && hex[1]; hex += 2)
                bytes += char(std::stoi(std::string(hex, 2), nullptr, 16));
            offers.emplace_back(argv[i + 1], bytes);
            i += 2;
        }
    }

    c = xcb_connect(nullptr, nullptr);
    if (xcb_connection_has_error(c))
        return 1;
    xcb_screen_t* screen = xcb_setup_roots_iterator(xcb_get_setup(c)).data;
    const xcb_window_t window = xcb_generate_id(c);
    const uint32_t values[]
        = {screen->white_pixel,
           XCB_EVENT_MASK_KEY_PRESS | XCB_EVENT_MASK_STRUCTURE_NOTIFY | XCB_EVENT_MASK_PROPERTY_CHANGE};
    xcb_create_window(c, XCB_COPY_FROM_PARENT, window, screen->root, 10, 10, 200, 100, 0, XCB_WINDOW_CLASS_INPUT_OUTPUT,
                      screen->root_visual, XCB_CW_BACK_PIXEL | XCB_CW_EVENT_MASK, values);
    const std::string wmClass = windowClass.empty() ? std::string("vellicord-test-editor\0VellicordTestEditor", 41)
                                                    : windowClass + '\0' + windowClass;
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, XCB_ATOM_WM_CLASS, XCB_ATOM_STRING, 8,
                        uint32_t(wmClass.size() + 1), wmClass.c_str());
    const uint32_t pid = uint32_t(getpid());
    xcb_change_property(c, XCB_PROP_MODE_REPLACE, window, atom("_NET_WM_PID"), XCB_ATOM_CARDINAL, 32, 1, &pid);
    xcb_map_window(c, window);
    xcb_flush(c);

    const xcb_atom_t clipboard = atom("CLIPBOARD");
    const xcb_atom_t primary = XCB_ATOM_PRIMARY;
    const xcb_atom_t targets = atom("TARGETS");
    const xcb_atom_t utf8 = atom("UTF8_STRING");
    const xcb_atom_t htmlAtom = atom("text/html");
    const xcb_atom_t clipboardManager = atom("CLIPBOARD_MANAGER");
    const xcb_atom_t saveTargets = atom("SAVE_TARGETS");
    const xcb_atom_t incr = atom("INCR");
    const std::vector<xcb_atom_t> meta{targets, atom("MULTIPLE"), atom("TIMESTAMP"), saveTargets};
    std::vector<xcb_atom_t> offerAtoms;
    for (const auto& offer : offers)
        offerAtoms.push_back(atom(offer.first.c_str()));
    std::vector<Saved> saved;
    bool servesSaved = false;
    // The increments under way: the requestor's window and property, and what each increment holds.
    struct Trickle {
        xcb_window_t requestor;
        xcb_atom_t property;
        std::string increment;
    };
    std::vector<Trickle> trickles;
    std::string letters(64 * 1024, 'a');
    for (size_t i = 0; i < letters.size(); ++i)
        letters[i] = char('a' + i % 26);

    // Keycode to first keysym, to recognise "c".
    const xcb_setup_t* setup = xcb_get_setup(c);
    auto* mapping = xcb_get_keyboard_mapping_reply(
        c, xcb_get_keyboard_mapping(c, setup->min_keycode, uint8_t(setup->max_keycode - setup->min_keycode + 1)),
        nullptr);
    auto keysymOf = [&](xcb_keycode_t code) -> xcb_keysym_t {
        if (!mapping || code < setup->min_keycode)
            return 0;
        return xcb_get_keyboard_mapping_keysyms(mapping)[(code - setup->min_keycode) * mapping->keysyms_per_keycode];
    };

    bool ownsClipboard = false;
    xcb_generic_event_t* event;
    while ((event = xcb_wait_for_event(c))) {
        switch (event->response_type & 0x7F) {
        case XCB_MAP_NOTIFY:
            if (manager)
                xcb_set_selection_owner(c, window, clipboardManager, XCB_CURRENT_TIME);
            else
                xcb_set_input_focus(c, XCB_INPUT_FOCUS_POINTER_ROOT, window, XCB_CURRENT_TIME);
            if (hasText)
                xcb_set_selection_owner(c, window, primary, XCB_CURRENT_TIME);
            if (silent || refuseTargets)
                xcb_set_selection_owner(c, window, clipboard, XCB_CURRENT_TIME);
            ownsClipboard = refuseTargets;
            std::free(xcb_get_input_focus_reply(c, xcb_get_input_focus(c), nullptr));
            std::printf("ready %u\n", unsigned(window));
            std::fflush(stdout);
            break;
        case XCB_KEY_PRESS: {
            auto* key = reinterpret_cast<xcb_key_press_event_t*>(event);
            const bool shifted = (key->state & XCB_MOD_MASK_SHIFT) != 0;
            if (copies && (key->state & XCB_MOD_MASK_CONTROL) && shifted == needsShift
                && keysymOf(key->detail) == 'c') {
                xcb_set_selection_owner(c, window, clipboard, XCB_CURRENT_TIME);
                ownsClipboard = true;
            }
            break;
        }
        case XCB_PROPERTY_NOTIFY: {
            auto* notify = reinterpret_cast<xcb_property_notify_event_t*>(event);
            for (const Trickle& trickle : trickles) {
                if (notify->state != XCB_PROPERTY_DELETE || notify->window != trickle.requestor
                    || notify->atom != trickle.property)
                    continue;
                const timespec pause{0, 300'000'000};
                nanosleep(&pause, nullptr);
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, trickle.requestor, trickle.property, utf8, 8,
                                    uint32_t(trickle.increment.size()), trickle.increment.data());
            }
            break;
        }
        case XCB_SELECTION_REQUEST: {
            auto* request = reinterpret_cast<xcb_selection_request_event_t*>(event);
            if (manager && request->selection == clipboardManager) {
                xcb_selection_notify_event_t notify{};
                notify.response_type = XCB_SELECTION_NOTIFY;
                notify.time = request->time;
                notify.requestor = request->requestor;
                notify.selection = request->selection;
                notify.target = request->target;
                if (request->target == saveTargets) {
                    saved = saveClipboard(window, clipboard, meta);
                    xcb_set_selection_owner(c, window, clipboard, XCB_CURRENT_TIME);
                    servesSaved = true;
                    notify.property = request->property;
                }
                xcb_send_event(c, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT,
                               reinterpret_cast<const char*>(&notify));
                break;
            }
            if (servesSaved && request->selection == clipboard) {
                xcb_selection_notify_event_t notify{};
                notify.response_type = XCB_SELECTION_NOTIFY;
                notify.time = request->time;
                notify.requestor = request->requestor;
                notify.selection = request->selection;
                notify.target = request->target;
                notify.property = XCB_NONE;
                std::vector<xcb_atom_t> offered{targets};
                for (const Saved& entry : saved) {
                    offered.push_back(entry.target);
                    if (entry.target == request->target) {
                        xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, request->property, entry.type,
                                            entry.format, uint32_t(entry.bytes.size() / (entry.format / 8)),
                                            entry.bytes.data());
                        notify.property = request->property;
                    }
                }
                if (request->target == targets) {
                    xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, request->property, XCB_ATOM_ATOM,
                                        32, uint32_t(offered.size()), offered.data());
                    notify.property = request->property;
                }
                xcb_send_event(c, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT,
                               reinterpret_cast<const char*>(&notify));
                break;
            }
            const bool forClipboard = request->selection == clipboard;
            if (forClipboard && (silent || !ownsClipboard))
                break;
            xcb_selection_notify_event_t notify{};
            notify.response_type = XCB_SELECTION_NOTIFY;
            notify.time = request->time;
            notify.requestor = request->requestor;
            notify.selection = request->selection;
            notify.target = request->target;
            notify.property = request->property;
            std::vector<xcb_atom_t> offered;
            if (hasText)
                offered.push_back(utf8);
            if (forClipboard && !html.empty())
                offered.push_back(htmlAtom);
            if (forClipboard)
                offered.insert(offered.end(), offerAtoms.begin(), offerAtoms.end());
            const auto offer = std::find(offerAtoms.begin(), offerAtoms.end(), request->target);
            if (request->target == targets && refuseTargets) {
                notify.property = XCB_NONE;
            } else if (request->target == targets) {
                offered.insert(offered.begin(), targets);
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, request->property, XCB_ATOM_ATOM, 32,
                                    uint32_t(offered.size()), offered.data());
            } else if (request->target == utf8 && hasText
                       && (forClipboard ? slowIncrements : request->selection == primary && slowPrimary)) {
                const uint32_t mask = XCB_EVENT_MASK_PROPERTY_CHANGE;
                xcb_change_window_attributes(c, request->requestor, XCB_CW_EVENT_MASK, &mask);
                const uint32_t size = forClipboard ? 1'000'000 : 2'000'000;
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, request->property, incr, 32, 1,
                                    &size);
                trickles.push_back({request->requestor, request->property, forClipboard ? "0123456789" : letters});
            } else if (request->target == utf8 && hasText) {
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, request->property, utf8, 8,
                                    uint32_t(text.size()), text.data());
            } else if (request->target == htmlAtom && forClipboard && !html.empty()) {
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, request->property, htmlAtom, 8,
                                    uint32_t(html.size()), html.data());
            } else if (forClipboard && offer != offerAtoms.end()) {
                const std::string& bytes = offers[size_t(offer - offerAtoms.begin())].second;
                xcb_change_property(c, XCB_PROP_MODE_REPLACE, request->requestor, request->property, *offer, 8,
                                    uint32_t(bytes.size()), bytes.data());
            } else {
                notify.property = XCB_NONE;
            }
            xcb_send_event(c, 0, request->requestor, XCB_EVENT_MASK_NO_EVENT, reinterpret_cast<const char*>(&notify));
            break;
        }
        case XCB_SELECTION_CLEAR: {
            auto* clear = reinterpret_cast<xcb_selection_clear_event_t*>(event);
            if (clear->selection == clipboard) {
                ownsClipboard = false;
                servesSaved = false;
            }
            break;
        }
        default: break;
        }
        std::free(event);
        xcb_flush(c);
    }
    return 0;
}
