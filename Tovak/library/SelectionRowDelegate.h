#pragma once

#include <QStyledItemDelegate>

namespace vellicord {

class IconCache;

// Draws one capture of the list: its application's icon, its first line (two lines at most), where
// it came from, its groups, its age, the grip to drag it by and, after a copy, "Copied". Rows are
// all of one height, so that a list of any length lays out at once.
class SelectionRowDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    explicit SelectionRowDelegate(IconCache& icons, QObject* parent = nullptr);

    // Whether the rows show a grip (the main window's list does).
    void setShowsDragGrip(bool shows) { showsGrip_ = shows; }
    bool showsDragGrip() const { return showsGrip_; }

    static int rowHeight();
    // Where the grip lies in a row, padding included; empty when there is none.
    QRect gripRect(const QRect& row) const;

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    IconCache& icons_;
    bool showsGrip_ = true;
};

} // namespace vellicord
