#pragma once

#include "Tovak/library/SidebarItem.h"
#include "Tovak/library/SidebarTally.h"
#include "core/library/SelectionGroup.h"
#include "core/library/Store.h"

#include <QAbstractListModel>
#include <QSet>
#include <QUuid>

#include <atomic>
#include <future>
#include <memory>
#include <optional>
#include <vector>

namespace vellicord {

// The sidebar's rows, for both of the window's layouts: the prompt drafts, the whole library, the
// groups and the sources with their counts, and the state of the library file, as one flat list.
// Headers, footers, notes and the status row cannot be chosen; the "New Prompt…" and "New Group…"
// rows act when clicked. Every change of the Store moves only the rows it touches. Main thread only.
//
// A large library's sources are counted on a thread of their own, so that opening the window waits
// for none of it: until they are, the sources section is empty and groups show no count, and then
// the source rows come in as inserted rows.
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

    // From this many captures on, the sources are counted on another thread, from the moment
    // `startCounting()` asks for it (once the window has painted).
    static constexpr qsizetype backgroundCountThreshold = 5000;

    explicit SidebarModel(Store& store, QObject* parent = nullptr);
    // A count still being made is stopped and waited for: its thread reads the library's strings.
    ~SidebarModel() override;

    // The sources and the groups' counts are known.
    bool isCounted() const { return tally_ != nullptr; }
    // Starts counting on another thread, unless counted or counting; `counted()` says when done.
    void startCounting();

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
    // The sources and the groups' counts have come in, rows and all.
    void counted();

private:
    struct Row {
        Kind kind;
        QUuid id; // the draft or group
        SidebarTally::Source source = -1;
        QString text; // a header's or footer's
        friend bool operator==(const Row&, const Row&) = default;
    };
    friend size_t qHash(const Row& row, size_t seed);
    // What the rows show of a prompt.
    struct DraftRow {
        QUuid id;
        QString name;
        qsizetype included = 0;
        friend bool operator==(const DraftRow&, const DraftRow&) = default;
    };

    std::vector<Row> layout() const;
    std::vector<DraftRow> draftRows() const;
    void applyStoreChange(const Store::SelectionsChange& change);
    void applyDraftsChange();
    void relayout();
    void moveTo(std::vector<Row> next);
    void changed(int row);
    // The count made on the other thread, brought up to date and shown.
    void showBackgroundCount();

    Store& store_;
    std::unique_ptr<SidebarTally> tally_;
    std::future<std::unique_ptr<SidebarTally>> pendingTally_;
    // What the count is made of until it is started: the captures when the model was made.
    std::optional<SelectionList> countSource_;
    std::atomic<bool> stopTally_ = false; // the model is going: a quit need not wait for the count
    // The changes made while the count was being made, applied to it once it is.
    std::vector<Store::SelectionsChange> missed_;
    std::vector<Row> rows_;
    std::vector<DraftRow> shownDrafts_;
};

} // namespace vellicord
