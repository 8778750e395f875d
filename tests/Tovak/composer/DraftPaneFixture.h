#pragma once

#include "Tovak/composer/ComposeDraftPane.h"
#include "Tovak/composer/ComposeEntryRow.h"
#include "Tovak/composer/DraftSession.h"
#include "Tovak/kit/CappedLabel.h"
#include "support/ViewFakes.h"

#include <QAction>
#include <QCheckBox>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QStringList>
#include <QTimer>

#include <algorithm>

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

// A prompt whose entries e1, e2, ... name the captures of the sources, over a real Store; its
// session, and the draft pane over it.
struct Pane : ViewFakes {
    QUuid draftID;
    QList<QUuid> entries;
    std::unique_ptr<DraftSession> session;
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
        session = std::make_unique<DraftSession>(services(), draftID);
        view = std::make_unique<ComposeDraftPane>(services(), *session);
        view->resize(420, 640);
    }

    ContextDraft draft() const { return *store->findDraft(draftID); }
    // e1, e2, ... as made; "new" for an entry added since.
    QString name(const QUuid& entryID) const
    {
        const qsizetype index = entries.indexOf(entryID);
        return index < 0 ? QStringLiteral("new") : QStringLiteral("e%1").arg(index + 1);
    }
    // The stored order as e1, e2, ...
    QString order() const
    {
        QStringList names;
        for (const ContextDraftEntry& e : draft().entries)
            names.append(name(e.id));
        return names.join(u' ');
    }
    // The pane as it reads, top to bottom: the count line, then the rows on screen in their places
    // (a row on its way out may be moved out of sight before it is deleted)
    // (an excluded source marked "-"), or the empty state's text: "2 included · 1 source | e1 e2-".
    QString shown() const
    {
        QString text = view->findChild<QLabel*>(QStringLiteral("SourceCount"))->text() + QStringLiteral(" |");
        const QWidget* empty = view->findChild<QWidget*>(QStringLiteral("EmptyState"));
        if (empty->isVisibleTo(view.get()))
            return text + QStringLiteral(" empty");
        // Where each row stands once laid out, as it would be by the time it is painted.
        for (QLayout* layout : view->findChildren<QLayout*>())
            layout->activate();
        QList<ComposeEntryRow*> rows;
        for (ComposeEntryRow* row : view->findChildren<ComposeEntryRow*>()) {
            if (row->isVisibleTo(view.get()) && row->geometry().intersects(row->parentWidget()->rect()))
                rows.append(row);
        }
        std::sort(rows.begin(), rows.end(), [&](ComposeEntryRow* a, ComposeEntryRow* b) {
            return a->mapTo(view.get(), QPoint()).y() < b->mapTo(view.get(), QPoint()).y();
        });
        for (ComposeEntryRow* row : rows)
            text += u' ' + name(row->entryID()) + (row->includeBox()->isChecked() ? QString() : QStringLiteral("-"));
        return text;
    }
    // The footer's line: the notice, or the hint.
    QString footer() const { return view->findChild<CappedLabel*>(QStringLiteral("Notice"))->fullText(); }
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
