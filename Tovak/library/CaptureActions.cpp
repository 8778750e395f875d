#include "Tovak/library/CaptureActions.h"

#include "Tovak/kit/MenuItemText.h"
#include "core/capture/Clipboard.h"
#include "core/composition/SelectionsMarkdown.h"
#include "core/foundation/Text.h"
#include "core/library/SourceIdentity.h"
#include "core/library/Store.h"
#include "platform/Desktop.h"

#include <QMenu>

namespace vellicord::CaptureActions {

QList<Selection> sameSource(const Store& store, const Selection& selection)
{
    // A source's identifier is its display text: reading it spares making an identity per capture.
    // Identifiers are compared as the sidebar groups them: canonically equal texts name one source.
    const QString& identifier = SourceIdentity::displayOf(selection);
    QList<Selection> same;
    for (const Selection& other : store.selections()) {
        if (Text::equal(SourceIdentity::displayOf(other), identifier))
            same.append(other);
    }
    return same;
}

bool copyAllFromSource(const Store& store, const Selection& selection, Pasteboard& pasteboard)
{
    return Clipboard::writeMarkdown(
        SelectionsMarkdown::fromSource(sameSource(store, selection), SourceIdentity::from(selection)), pasteboard);
}

void addGroupItems(QMenu& menu, Store& store, const Selection& selection)
{
    if (store.groups().isEmpty()) {
        menu.addAction(QStringLiteral("No groups yet"))->setEnabled(false);
        return;
    }
    const QUuid id = selection.id;
    for (const SelectionGroup& group : store.groups()) {
        QAction* item = menu.addAction(MenuItemText::of(group.name));
        item->setCheckable(true);
        item->setChecked(selection.groupIDs.contains(group.id));
        // A library that cannot be changed shows where the capture belongs, and takes no change.
        item->setEnabled(store.canModifyLibrary());
        QObject::connect(item, &QAction::triggered, &menu,
                         [&store, groupID = group.id, id] { store.addToGroup(groupID, {id}); });
    }
}

void addOpenItems(QMenu& menu, Desktop& desktop, Pasteboard& pasteboard, const Selection& selection)
{
    if (!selection.sourceURL)
        return;
    const QString address = *selection.sourceURL;
    QAction* open = menu.addAction(QStringLiteral("Open in Browser"));
    open->setEnabled(Desktop::isOpenable(address));
    QObject::connect(open, &QAction::triggered, &menu, [&desktop, address] { desktop.openURL(address); });
    QAction* copy = menu.addAction(QStringLiteral("Copy URL"));
    QObject::connect(copy, &QAction::triggered, &menu,
                     [&pasteboard, address] { Clipboard::writePlain(address, pasteboard); });
}

void addRevealItem(QMenu& menu, Desktop& desktop, const Selection& selection)
{
    if (!selection.filePath)
        return;
    const QString path = *selection.filePath;
    QAction* reveal = menu.addAction(QStringLiteral("Open Containing Folder"));
    reveal->setEnabled(Desktop::isRevealable(path));
    QObject::connect(reveal, &QAction::triggered, &menu, [&desktop, path] { desktop.revealFile(path); });
}

} // namespace vellicord::CaptureActions
