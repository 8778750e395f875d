#pragma once

class QMenuBar;

namespace vellicord {

class AppDelegate;

// The menu bar of the main window: the application's commands, Edit, File and View.
namespace MainMenu {

// Fills the bar. The library's commands are enabled as the library allows when it is built; each
// checks again when it runs.
void build(QMenuBar& bar, AppDelegate& delegate, bool canModifyLibrary);

} // namespace MainMenu
} // namespace vellicord
