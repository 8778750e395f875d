#pragma once

#include <QString>

namespace vellicord {

// A user's name or a captured address as a menu item shows it. A menu reads "&" as the mark of a
// shortcut letter and the text after a tab as the item's shortcut, and breaks the item at a line
// separator; a name of thousands of characters would make the menu as wide as the screen.
namespace MenuItemText {

// The text escaped so that it reads as typed, its tabs and line or paragraph separators shown as
// spaces, elided in the middle to a line a menu can show. Only the title: the item acts on the whole.
QString of(const QString& text);

} // namespace MenuItemText
} // namespace vellicord
