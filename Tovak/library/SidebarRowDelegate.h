#pragma once

#include "Tovak/library/SidebarItem.h"

#include <QStyledItemDelegate>

#include <optional>

namespace vellicord {

class IconCache;

// Draws the sidebar's rows by kind: section headers and footers, rows with a symbol (a group's
// colour dot, a source's application icon), their count and, for groups and sources, the grip
// to drag their captures by; the two action rows, the note of an empty library and the status
// of the library file. The drop target a drag is over gets a tinted background.
class SidebarRowDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    // Where each part of a row lies: painting, the size hint and the grip's hit test read the same.
    struct Geometry {
        QRect background; // the selection's and a drop's rounded background
        QRect dot; // a group's colour
        QRect symbol; // the symbol, or a source's icon; empty for rows without
        QRect title;
        QRect subtitle; // a source's address, path or application
        QRect count;
        QRect grip; // padding included; empty for rows that drag nothing
    };

    explicit SidebarRowDelegate(IconCache& icons, QObject* parent = nullptr);

    void setDropTarget(const std::optional<SidebarItem>& target) { dropTarget_ = target; }
    static Geometry geometry(const QModelIndex& index, const QRect& row);
    // Where the grip lies in a row that has one, padding included: just before the count.
    static QRect gripRect(const QModelIndex& index, const QRect& row) { return geometry(index, row).grip; }

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    IconCache& icons_;
    std::optional<SidebarItem> dropTarget_;
};

} // namespace vellicord
