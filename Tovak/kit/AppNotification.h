#pragma once

#include <QString>

namespace vellicord {

// Names of the requests that have no direct call path: from a second copy of the application to
// the running one, and from the menus and capture rows to the main window's content.
namespace AppNotification {

// Between processes (through the single-instance socket).
inline const QString vellicordShowWindowRequest = QStringLiteral("VellicordShowWindowRequest");
// In the process, through NotificationCenter::defaultCenter().
inline const QString vellicordNewPrompt = QStringLiteral("VellicordNewPrompt");
inline const QString vellicordOpenPrompt = QStringLiteral("VellicordOpenPrompt");
inline const QString vellicordFocusSearch = QStringLiteral("VellicordFocusSearch");
// Its object is the capture (a Selection) for which a group is to be made.
inline const QString vellicordRequestNewGroup = QStringLiteral("VellicordRequestNewGroup");

} // namespace AppNotification
} // namespace vellicord
