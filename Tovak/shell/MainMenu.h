#pragma once

class QMenuBar;

namespace vellicord {

class AppActions;

// The menu bar of the main window: the application's commands, Edit, File and View.
namespace MainMenu {

void build(QMenuBar& bar, AppActions& actions);

} // namespace MainMenu
} // namespace vellicord
