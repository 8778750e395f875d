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

} // namespace AccessibleList

} // namespace vellicord
