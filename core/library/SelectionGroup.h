#pragma once

#include "core/library/RgbaColor.h"

#include <QDateTime>
#include <QString>
#include <QUuid>

namespace vellicord {

// A user group. Which captures belong to it is recorded on the captures (Selection::groupIDs).
struct SelectionGroup {
    QUuid id;
    QString name;
    QString colorHex; // stored unchanged; turned into a colour only when drawn
    QDateTime createdAt;

    // The colour to draw the group with: colorHex when it parses, else the teal fallback.
    RgbaColor color() const;

    friend bool operator==(const SelectionGroup& a, const SelectionGroup& b);
};

size_t qHash(const SelectionGroup& group, size_t seed = 0);

} // namespace vellicord
