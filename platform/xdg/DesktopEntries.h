#pragma once

#include <QString>

#include <optional>

namespace vellicord {

// What a window says about the application that made it, for finding its desktop entry.
struct WindowIdentity {
    QString gtkApplicationID;  // _GTK_APPLICATION_ID
    QString kdeDesktopFile;    // _KDE_NET_WM_DESKTOP_FILE
    QString flatpakID;         // the sandbox's application id
    QString wmClassInstance;   // WM_CLASS, first part
    QString wmClassName;       // WM_CLASS, second part
};

struct DesktopEntry {
    QString id;   // the desktop-file id without ".desktop": the application's bundle identifier
    QString name; // Name, localized for the user's language
    QString icon; // Icon: a name in the icon theme or an absolute path
};

// The installed applications' desktop entries ($XDG_DATA_HOME and $XDG_DATA_DIRS), read once and
// again when an applications folder changes.
namespace DesktopEntries {

std::optional<DesktopEntry> find(const WindowIdentity& window);
// The entry with this desktop-file id (without ".desktop").
std::optional<DesktopEntry> byID(const QString& id);
// The first entry, in order of precedence, whose localized name is exactly this one.
std::optional<DesktopEntry> byName(const QString& name);

} // namespace DesktopEntries
} // namespace vellicord
