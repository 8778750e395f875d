#pragma once

#include <QStringList>

#include <functional>

class QAbstractItemView;

namespace vellicord {

// A list view's rows as the accessibility interface reads them (name, description, state, place
// on screen, from the model), each with the actions its view gives it by name: the toolkit's own
// rows offer only to toggle their selection. One row object is made per row asked for, and they
// are made afresh when rows come, go or move.
namespace AccessibleList {

struct Actions {
    // What the row offers, by name, in the order a screen reader lists them.
    std::function<QStringList(int row)> names;
    std::function<void(int row, const QString& name)> run;
};

// Call once the view has its model, which it keeps for its life.
void attach(QAbstractItemView& view, Actions actions);

// The view's current row changed. A view calls this in place of the toolkit's list, which tells
// a screen reader that the new row is focused wherever the keyboard is. It is told once the change
// is over (a row made current while rows are removed may be one that is about to go), and only
// while the view holds the keyboard.
void currentChanged(QAbstractItemView& view);

} // namespace AccessibleList

} // namespace vellicord
