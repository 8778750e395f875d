#pragma once

#include <QString>

#include <functional>

class QDialog;

namespace vellicord {

class Accessibility;
class Clock;
class Defaults;
class Desktop;
class Pasteboard;
class Scheduler;
class Store;

// What every view of the application works with: the one library and the desktop's services,
// filled once by the application (tests fill it with fakes). Views reach the clipboard through
// Clipboard's functions over the pasteboard, settings through the defaults only, and time through
// the clock and the scheduler. Everything referred to outlives the views.
struct ViewServices {
    Store& store;
    Pasteboard& pasteboard;
    Scheduler& scheduler;
    Clock& clock;
    Defaults& defaults;
    Desktop& desktop;
    Accessibility& accessibility; // whether captures may read other applications
    // The capture shortcut as menus and texts show it ("⌃⌥⌘C"), read when needed.
    std::function<QString()> shortcutDisplay;
    // Asks for a capture of the frontmost application's selection, with all its refusals.
    std::function<void()> requestCapture;
    // Puts up a sheet over its window, modal to that window only, and returns at once; the sheet
    // reports through its own signals when it is done. Tests answer sheets themselves.
    std::function<void(QDialog&)> runModal;
};

} // namespace vellicord
