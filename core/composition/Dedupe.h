#pragma once

#include "core/library/ContextDraft.h"
#include "core/library/Selection.h"

#include <QList>
#include <QString>
#include <QUuid>

#include <functional>
#include <optional>

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

// The similarity at which the composer counts two sources as one passage collected twice.
inline constexpr double sourceThreshold = 0.85;
// The draft's entries to delete as near-duplicates, in draft order: each included entry whose body
// (as the prompt renders it, trims included) reaches the threshold against an earlier included
// one. Excluded entries and entries whose capture is gone are neither compared nor removed;
// pinned entries are not spared.
QList<QUuid> duplicateEntries(const ContextDraft& draft,
                              const std::function<std::optional<Selection>(const QUuid&)>& capture,
                              double threshold = sourceThreshold);

} // namespace Dedupe
} // namespace vellicord
