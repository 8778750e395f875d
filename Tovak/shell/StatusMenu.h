#pragma once

#include <QMenu>

#include <functional>

namespace vellicord {

class AppActions;

// The menu of the status (tray) icon, over the application's actions. Its capture item names the
// shortcut in force and its enabled states follow the library: both are read again each time the
// menu opens, so it never offers a shortcut that is not registered.
class StatusMenu final : public QMenu {
public:
    // refresh: brings the actions up to date; called on every opening.
    StatusMenu(AppActions& actions, std::function<void()> refresh, QWidget* parent = nullptr);
};

} // namespace vellicord
