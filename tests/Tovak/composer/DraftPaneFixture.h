#pragma once

#include "Tovak/composer/ComposeDraftPane.h"
#include "Tovak/composer/ComposeEntryRow.h"
#include "support/ViewFakes.h"

#include <QAction>
#include <QCoreApplication>
#include <QEventLoop>
#include <QMenu>
#include <QStringList>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

namespace vellicord::test {

struct Source {
    QString text;
    QString app = QStringLiteral("Firefox");
    std::optional<QString> url;
    std::optional<QString> title;
    bool captured = true; // false: the entry names a capture that is not in the library
};

// A prompt whose entries e1, e2, ... name the captures of the sources, over a real Store.
struct Pane : ViewFakes {
    QUuid draftID;
    QList<QUuid> entries;
    std::unique_ptr<ComposeDraftPane> view;

    explicit Pane(const QList<Source>& sources = {}, const std::function<void(ContextDraftEntry&, int)>& edit = {})
    {
        ContextDraft draft = *store->newDraft(QStringLiteral("Reading list"));
        for (int i = 0; i < sources.size(); ++i) {
            const Source& s = sources[i];
            const Selection capture(QUuid::createUuid(), s.text, std::nullopt, s.app, std::nullopt, s.url, s.title,
                                    std::nullopt, {}, time.now());
            if (s.captured)
                store->add(capture);
            ContextDraftEntry entry{QUuid::createUuid(), capture.id, true, false, false, std::nullopt, std::nullopt};
            if (edit)
                edit(entry, i);
            draft.entries.append(entry);
            entries.append(entry.id);
        }
        store->updateDraft(draft);
        draftID = draft.id;
        view = std::make_unique<ComposeDraftPane>(services(), draftID);
        view->resize(420, 640);
    }

    ContextDraft draft() const { return *store->findDraft(draftID); }
    // The stored order as e1, e2, ...
    QString order() const
    {
        QStringList names;
        for (const ContextDraftEntry& e : draft().entries)
            names.append(QStringLiteral("e%1").arg(entries.indexOf(e.id) + 1));
        return names.join(u' ');
    }
    ComposeEntryRow& row(int n) const { return *view->row(entries[n - 1]); }
    // The pane shows what the Store did once the event loop turns.
    static void turn() { QCoreApplication::processEvents(); }
    // An event loop of its own, as a drag runs one: objects let go of inside it are deleted there.
    static void turnInsideDrag()
    {
        QEventLoop loop;
        QTimer::singleShot(20, &loop, &QEventLoop::quit);
        loop.exec();
    }
};

inline QList<Source> sources(int count)
{
    QList<Source> list;
    for (int i = 1; i <= count; ++i)
        list.append({QStringLiteral("Source %1 headline\nand its body").arg(i)});
    return list;
}

// The menu as it reads, "Pin|-|Move Up!": separators as "-", disabled items marked "!".
inline QString menuText(QMenu* menu)
{
    QStringList items;
    for (QAction* action : menu->actions())
        items.append(action->isSeparator() ? QStringLiteral("-")
                                           : action->iconText() + (action->isEnabled() ? "" : "!"));
    menu->deleteLater();
    return items.join(u'|');
}

inline void trigger(QMenu* menu, const QString& title)
{
    for (QAction* action : menu->actions()) {
        if (action->text() == title)
            action->trigger();
    }
    menu->deleteLater();
}

} // namespace vellicord::test
