#pragma once

#include "core/library/Selection.h"

#include <QList>
#include <QString>

class QMenu;

namespace vellicord {

class Desktop;
class Pasteboard;
class Store;

// What a capture's row menu and its inspector both do to one capture, done one way for both.
namespace CaptureActions {

// Every capture of the library from the same source (page address, else file, else application),
// in library order, those the window's search or sidebar hides included.
QList<Selection> sameSource(const Store& store, const Selection& selection);
// Copies them as one Markdown document under the source's heading; true when the clipboard took it.
bool copyAllFromSource(const Store& store, const Selection& selection, Pasteboard& pasteboard);

// The group items: "No groups yet" when there are none, else one item per group in the library's
// order, checked when the capture is in it, that adds the capture to it (never takes it out);
// disabled while the library cannot be changed.
void addGroupItems(QMenu& menu, Store& store, const Selection& selection);

// "Open in Browser" opens the page through the desktop's allow-list, so it is enabled for http,
// https and mailto addresses only; "Copy URL" copies the address as captured. Only for a capture
// with an address.
void addOpenItems(QMenu& menu, Desktop& desktop, Pasteboard& pasteboard, const Selection& selection);
// "Open Containing Folder" shows the file in the file manager, never opens it; enabled for an absolute
// path only. Only for a capture with a file.
void addRevealItem(QMenu& menu, Desktop& desktop, const Selection& selection);

} // namespace CaptureActions
} // namespace vellicord
