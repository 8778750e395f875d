#pragma once

#include <QLayout>
#include <QList>

namespace vellicord {

// Lays its widgets out in the first of its arrangements whose ideal width fits the width it is
// given, the last arrangement when none does: a row of controls that would be cut off at a narrow
// width becomes a column instead. Hidden widgets take no room in any arrangement.
class FirstFitLayout final : public QLayout {
public:
    struct Arrangement {
        Qt::Orientation orientation = Qt::Horizontal;
        int spacing = 8;
        // In a row, the spare width goes after this item (counted from 0 among all items, hidden
        // or not); -1 leaves it at the end.
        // Items of a row are centred vertically; items of a column keep their ideal width, at most
        // the layout's, and line up on the leading edge.
        int stretchAfter = -1;
    };

    explicit FirstFitLayout(QList<Arrangement> arrangements, QWidget* parent = nullptr);
    ~FirstFitLayout() override;

    // The arrangement that a width takes, and the one in use now.
    int arrangementFor(int width) const;
    int currentArrangement() const { return current_; }

    void addItem(QLayoutItem* item) override;
    QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    int count() const override;
    QSize sizeHint() const override;
    QSize minimumSize() const override;
    Qt::Orientations expandingDirections() const override;
    bool hasHeightForWidth() const override;
    int heightForWidth(int width) const override;
    void setGeometry(const QRect& rect) override;

private:
    QList<QLayoutItem*> shown() const;
    int idealWidth(const Arrangement& arrangement) const;
    // The height an arrangement takes at a width (the margins' width taken off already).
    int height(const Arrangement& arrangement, int width) const;

    QList<Arrangement> arrangements_;
    QList<QLayoutItem*> items_;
    int current_ = 0;
};

} // namespace vellicord
