#pragma once

#include <QRect>
#include <QStringList>
#include <QStyledItemDelegate>

namespace vellicord {

class IconCache;

// Draws one capture of the list: its application's icon, its first line (two lines at most), where
// it came from, its groups, its age, the grip to drag it by and, after a copy, "Copied", with a
// separator below. Rows are all of one height, so that a list of any length lays out at once; the
// text of a row stands as one block in the middle of it, so a one-line headline leaves no gap.
class SelectionRowDelegate final : public QStyledItemDelegate {
    Q_OBJECT
public:
    // Where each part of a row lies: painting, the size hint and the grip's hit test read the same.
    struct Geometry {
        QRect icon;
        QRect headline; // its one or two lines
        QRect source; // the symbol, then the address, path or application
        QRect chips; // the groups; empty without any
        QRect time; // the age, right-aligned
        QRect copied; // "Copied", under the age
        QRect grip; // padding included; empty without a grip
        QRect separator; // the line under the row
    };

    explicit SelectionRowDelegate(IconCache& icons, QObject* parent = nullptr);

    // Whether the rows show a grip (the main window's list does).
    void setShowsDragGrip(bool shows) { showsGrip_ = shows; }
    bool showsDragGrip() const { return showsGrip_; }

    static int rowHeight();
    // The parts of a row whose headline takes so many lines, with or without groups, with an age of
    // that width.
    Geometry geometry(const QRect& row, int headlineLines, bool hasGroups, int ageWidth) const;
    // Where the grip lies in a row, padding included; empty when there is none.
    QRect gripRect(const QRect& row) const;
    // The headline's lines at a width: the second, if any, holds the rest, elided at its end.
    static QStringList headlineLines(const QString& headline, int width);

    void paint(QPainter* painter, const QStyleOptionViewItem& option, const QModelIndex& index) const override;
    QSize sizeHint(const QStyleOptionViewItem& option, const QModelIndex& index) const override;

private:
    IconCache& icons_;
    bool showsGrip_ = true;
};

} // namespace vellicord
