#pragma once

#include <QList>
#include <QString>
#include <QUuid>

namespace vellicord {

// Finding passages collected twice, by the character trigrams of their normalised texts.
namespace Dedupe {

struct IdText {
    QUuid id;
    QString text;
};

// Texts that duplicate an earlier one.
struct DuplicateGroup {
    QUuid keepID; // the earlier text, which stays
    QList<QUuid> removeIDs; // the texts that duplicate it, in input order
    double score = 0; // the highest similarity among them

    friend bool operator==(const DuplicateGroup&, const DuplicateGroup&) = default;
};
size_t qHash(const DuplicateGroup& group, size_t seed = 0);

// Each text whose similarity to an earlier text reaches the threshold joins the earlier text it
// matches best (the earliest among equals); chains are not merged, so a text can be kept in one
// group and removed in another. Empty texts take no part. Groups in input order of their kept text.
QList<DuplicateGroup> duplicateGroups(const QList<IdText>& idTextPairs, double threshold);

// The Dice coefficient of the two texts' trigram sets after normalisation (lower case, canonical
// form, anything but letters, marks and numbers as spaces, white space collapsed): 0 to 1; two
// texts that normalise to nothing are the same.
double similarity(const QString& lhs, const QString& rhs);

} // namespace Dedupe
} // namespace vellicord
