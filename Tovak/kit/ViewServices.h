#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QDialog;
class QWidget;

namespace vellicord {

class Accessibility;
class Clock;
class Defaults;
class Desktop;
class FileSystem;
class Pasteboard;
class Scheduler;
class Store;

// What every view of the application works with: the one library and the desktop's services,
// filled once by the application (tests fill it with fakes). Views reach the clipboard through
// Clipboard's functions over the pasteboard, settings through the defaults only, and time through
// the clock and the scheduler. Everything referred to outlives the views.
struct ViewServices {
    // What a save dialog offers: its title, the file name filled in, the kinds of file it lists
    // ("Plain text (*.md *.txt)") and the extension added to a name typed without one.
    struct SaveFileRequest {
        QString title;
        QString suggestedName;
        QStringList nameFilters;
        QString defaultSuffix;
    };
    using SaveFileAnswer = std::function<void(const std::optional<QString>& path)>;

    Store& store;
    Pasteboard& pasteboard;
    Scheduler& scheduler;
    Clock& clock;
    Defaults& defaults;
    Desktop& desktop;
    Accessibility& accessibility; // whether captures may read other applications
    // The capture shortcut as menus and texts show it ("Ctrl+Alt+Super+C"), read when needed.
    std::function<QString()> shortcutDisplay;
    // Asks for a capture of the frontmost application's selection, with all its refusals.
    std::function<void()> requestCapture;
    // The files the views write for the user (an exported prompt).
    FileSystem& fileSystem;
    // Asks the user where to save a file, in a dialog modal to the view's window only, and returns
    // at once. The answer comes when the dialog closes: the path chosen, or none when it was
    // cancelled; it never comes once the view is gone.
    std::function<void(QWidget& view, const SaveFileRequest& request, SaveFileAnswer answer)> chooseSaveFile;
    // Puts up a sheet over its window, modal to that window only, and returns at once; the sheet
    // reports through its own signals when it is done. Tests answer sheets themselves.
    std::function<void(QDialog&)> runModal;
};

} // namespace vellicord
