#pragma once

#include "platform/Pasteboard.h"

#include <QByteArray>
#include <QString>

#include <optional>

#include <sys/types.h>
#include <xcb/xcb.h>

namespace vellicord {

// The small process that keeps serving the clipboard content we own after the application ends
// (where no clipboard manager takes it), as command-line clipboard tools do. It gets the content
// on its standard input and ends as soon as another client owns the clipboard.
namespace ClipboardKeeper {

// The program's name, beside the application's own.
inline constexpr const char* programName = "vellicord-clipboard";

QByteArray encode(const PasteboardItem& item);
// Nullopt for bytes that are not a whole encoding.
std::optional<PasteboardItem> decode(const QByteArray& bytes);

// Starts the program detached (its own session, so the end of our terminal or process group does
// not end it), with the item on its standard input and the window it takes the clipboard from as
// its argument. Its process id, or nullopt when it could not be started.
std::optional<pid_t> start(const QString& program, const PasteboardItem& item, xcb_window_t previousOwner);

} // namespace ClipboardKeeper
} // namespace vellicord
