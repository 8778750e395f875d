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
    explicit SidebarRowDelegate(IconCache& icons, QObject* parent = nullptr);

    void setDropTarget(const std::optional<SidebarItem>& target) { dropTarget_ = target; }
    // Where the grip lies in a row that has one, padding included: just before the count.
    static QRect gripRect(const QModelIndex& index, const QRect& row);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    IconCache& icons_;
    std::optional<SidebarItem> dropTarget_;
};

} // namespace vellicord
