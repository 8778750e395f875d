#pragma once

#include "Tovak/library/SidebarItem.h"
#include "Tovak/library/SidebarTally.h"
#include "core/library/SelectionGroup.h"
#include "core/library/Store.h"

#include <QAbstractListModel>
#include <QSet>
#include <QUuid>

#include <optional>
#include <vector>

namespace vellicord {

// The sidebar's rows, for both of the window's layouts: the prompt drafts, the whole library, the
// groups and the sources with their counts, and the state of the library file, as one flat list.
// Headers, footers, notes and the status row cannot be chosen; the "New Prompt…" and "New Group…"
// rows act when clicked. Every change of the Store moves only the rows it touches. Main thread only.
class SidebarModel final : public QAbstractListModel {
    Q_OBJECT
public:
    enum class Kind {
        header,
        footer,
        prompt, // the active prompt
        draft, // any other prompt draft
        newPrompt,
        allSelections,
        group,
        newGroup,
        source,
        noSources, // "Nothing captured yet"
        status,
    };
    enum Role {
        KindRole = Qt::UserRole + 1, // Kind, as int
        CountRole, // the badge (int); none for rows without one
        SubtitleRole, // a source's address, path or application
        SymbolRole, // the symbol before the title
        ColorRole, // a group's colour (QColor)
        AttentionRole, // the status row asks for attention (bool)
    };

    explicit SidebarModel(Store& store, QObject* parent = nullptr);

    int rowCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

    Kind kind(int row) const;
    // What choosing the row shows; none for rows that cannot be chosen.
    std::optional<SidebarItem> item(int row) const;
    // The row of a navigation target, matched by its id (a source by its identifier), or -1.
    int rowOf(const SidebarItem& item) const;
    std::optional<SelectionGroup> group(int row) const;
    std::optional<QUuid> draftID(int row) const;
    std::optional<SourceIdentity> sourceIdentity(int row) const;

    // The active prompt and the groups take dropped captures.
    bool isDropTarget(int row) const;
    // Group and source rows drag all their captures.
    bool hasDragGrip(int row) const;
    // The captures of a group or source row, in library order.
    QList<QUuid> selectionIDs(int row) const;
    // The drag text of a group or source row: its captures' ids.
    QString dragPayload(int row) const;

Q_SIGNALS:
    // Around every update of the rows: while one runs, a view's selection changes are the
    // model's doing, not the user's.
    void updateStarted();
    void updateFinished();

private:
    struct Row {
        Kind kind;
        QUuid id; // the draft or group
        SidebarTally::Source source = -1;
        QString text; // a header's or footer's
        friend bool operator==(const Row&, const Row&) = default;
    };
    friend size_t qHash(const Row& row, size_t seed);

    std::vector<Row> layout() const;
    void follow(const Store::SelectionsChange& change);
    void relayout();
    void moveTo(std::vector<Row> next);
    void changed(int row);

    Store& store_;
    SidebarTally tally_;
    std::vector<Row> rows_;
};

} // namespace vellicord
