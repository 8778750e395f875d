#include "core/composition/Dedupe.h"

#include "core/composition/ContextComposer.h"
#include "core/foundation/Text.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <cstdint>
#include <optional>
#include <vector>

namespace vellicord::Dedupe {

namespace {

bool isAlphanumeric(char32_t scalar)
{
    switch (QChar::category(scalar)) {
    case QChar::Letter_Uppercase:
    case QChar::Letter_Lowercase:
    case QChar::Letter_Titlecase:
    case QChar::Letter_Modifier:
    case QChar::Letter_Other:
    case QChar::Mark_NonSpacing:
    case QChar::Mark_SpacingCombining:
    case QChar::Mark_Enclosing:
    case QChar::Number_DecimalDigit:
    case QChar::Number_Letter:
    case QChar::Number_Other: return true;
    default: return false;
    }
}

// Lower case in canonical form, every scalar but letters, marks and numbers a separator, the
// words joined by single spaces. Without the canonical form an accented letter written as one
// code point and as a letter with a combining mark would give different trigrams.
QString normalize(const QString& text)
{
    const QString lower = Text::canonical(Text::lowercased(text));
    QString result;
    result.reserve(lower.size());
    bool pendingSpace = false;
    const qsizetype n = lower.size();
    for (qsizetype i = 0; i < n;) {
        char32_t scalar = lower[i].unicode();
        qsizetype width = 1;
        if (QChar::isHighSurrogate(scalar) && i + 1 < n && lower[i + 1].isLowSurrogate()) {
            scalar = QChar::surrogateToUcs4(lower[i], lower[i + 1]);
            width = 2;
        }
        if (isAlphanumeric(scalar)) {
            if (pendingSpace && !result.isEmpty())
                result += u' ';
            pendingSpace = false;
            result += QStringView(lower).sliced(i, width);
        } else {
            pendingSpace = true;
        }
        i += width;
    }
    return result;
}

// Trigrams get small integer ids, shared by all texts of one call, so that a text's trigrams
// are a sorted list of numbers and two texts compare without building strings. Three characters
// of one code unit each pack into one number; anything else is looked up by its text.
class TrigramIds {
public:
    std::vector<int> idsOf(const QString& normalized)
    {
        std::vector<int> ids;
        if (normalized.isEmpty())
            return ids;
        const std::vector<qsizetype> ends = Text::graphemeEnds(normalized);
        const size_t count = ends.size();
        auto startOf = [&ends](size_t g) { return g == 0 ? qsizetype(0) : ends[g - 1]; };
        if (count < 3) {
            ids.push_back(idOf(normalized, 0, 0, count));
            return ids;
        }
        ids.reserve(count - 2);
        for (size_t g = 0; g + 3 <= count; ++g)
            ids.push_back(idOf(normalized, startOf(g), g, 3, &ends));
        std::sort(ids.begin(), ids.end());
        ids.erase(std::unique(ids.begin(), ids.end()), ids.end());
        return ids;
    }

    int size() const { return next_; }

private:
    // The id of `length` characters starting at character `first` (at `start`).
    int idOf(const QString& text, qsizetype start, size_t first, size_t length,
             const std::vector<qsizetype>* ends = nullptr)
    {
        const qsizetype end = ends ? (*ends)[first + length - 1] : text.size();
        if (end - start == qsizetype(length)) {
            uint64_t key = uint64_t(length) << 48;
            for (qsizetype i = start; i < end; ++i)
                key |= uint64_t(text[i].unicode()) << (16 * (2 - (i - start)));
            auto found = packed_.find(key);
            if (found != packed_.end())
                return *found;
            packed_.insert(key, next_);
            return next_++;
        }
        const QString key = text.sliced(start, end - start);
        auto found = spelled_.find(key);
        if (found != spelled_.end())
            return *found;
        spelled_.insert(key, next_);
        return next_++;
    }

    QHash<uint64_t, int> packed_;
    QHash<QString, int> spelled_;
    int next_ = 0;
};

double dice(size_t shared, size_t lhs, size_t rhs)
{
    return 2.0 * double(shared) / double(lhs + rhs);
}

size_t sharedCount(const std::vector<int>& a, const std::vector<int>& b)
{
    size_t shared = 0;
    auto i = a.begin(), j = b.begin();
    while (i != a.end() && j != b.end()) {
        if (*i < *j) {
            ++i;
        } else if (*j < *i) {
            ++j;
        } else {
            ++shared;
            ++i;
            ++j;
        }
    }
    return shared;
}

// Similarity of two normalised texts given their trigram ids.
double similarityOf(const QString& a, const std::vector<int>& aIds, const QString& b, const std::vector<int>& bIds,
                    size_t shared)
{
    if (a.isEmpty() || b.isEmpty())
        return a.isEmpty() && b.isEmpty() ? 1.0 : 0.0;
    return dice(shared, aIds.size(), bIds.size());
}

} // namespace

size_t qHash(const DuplicateGroup& group, size_t seed)
{
    return qHashMulti(seed, group.keepID, group.removeIDs, group.score);
}

double similarity(const QString& lhs, const QString& rhs)
{
    TrigramIds dictionary;
    const QString a = normalize(lhs), b = normalize(rhs);
    const std::vector<int> aIds = dictionary.idsOf(a), bIds = dictionary.idsOf(b);
    return similarityOf(a, aIds, b, bIds, sharedCount(aIds, bIds));
}

QList<DuplicateGroup> duplicateGroups(const QList<IdText>& pairs, double threshold)
{
    const size_t n = size_t(pairs.size());
    std::vector<QString> texts(n);
    std::vector<std::vector<int>> ids(n);
    TrigramIds dictionary;
    for (size_t i = 0; i < n; ++i) {
        if (pairs[qsizetype(i)].text.isEmpty())
            continue;
        texts[i] = normalize(pairs[qsizetype(i)].text);
        ids[i] = dictionary.idsOf(texts[i]);
    }

    std::vector<double> best(n, 0.0);
    std::vector<std::optional<size_t>> anchor(n);
    // One text's trigrams as a bit set, to count what each later text shares with it.
    std::vector<uint64_t> bits(size_t(dictionary.size() + 63) / 64, 0);
    for (size_t i = 0; i < n; ++i) {
        if (pairs[qsizetype(i)].text.isEmpty())
            continue;
        for (int id : ids[i])
            bits[size_t(id) / 64] |= uint64_t(1) << (id % 64);
        for (size_t j = i + 1; j < n; ++j) {
            if (pairs[qsizetype(j)].text.isEmpty())
                continue;
            // No pair can share more trigrams than the smaller set holds; skip pairs that could
            // neither reach the threshold nor beat the best match so far.
            if (!texts[i].isEmpty() && !texts[j].isEmpty()) {
                const double bound = dice(std::min(ids[i].size(), ids[j].size()), ids[i].size(), ids[j].size());
                if (bound < threshold || (anchor[j] && bound <= best[j]))
                    continue;
            }
            size_t shared = 0;
            for (int id : ids[j])
                shared += (bits[size_t(id) / 64] >> (id % 64)) & 1;
            const double s = similarityOf(texts[i], ids[i], texts[j], ids[j], shared);
            if (s >= threshold && (!anchor[j] || s > best[j])) {
                best[j] = s;
                anchor[j] = i;
            }
        }
        for (int id : ids[i])
            bits[size_t(id) / 64] = 0;
    }

    std::vector<QList<QUuid>> members(n);
    std::vector<double> scores(n, 0.0);
    for (size_t j = 0; j < n; ++j) {
        if (best[j] > 0.0) {
            members[*anchor[j]].push_back(pairs[qsizetype(j)].id);
            scores[*anchor[j]] = std::max(scores[*anchor[j]], best[j]);
        }
    }
    QList<DuplicateGroup> groups;
    for (size_t a = 0; a < n; ++a) {
        if (!members[a].isEmpty())
            groups.push_back({pairs[qsizetype(a)].id, members[a], scores[a]});
    }
    return groups;
}

QList<QUuid> duplicateEntries(const ContextDraft& draft,
                              const std::function<std::optional<Selection>(const QUuid&)>& capture, double threshold)
{
    QList<IdText> candidates;
    for (const ContextDraftEntry& entry : draft.entries) {
        if (!entry.include)
            continue;
        if (const std::optional<Selection> selection = capture(entry.selectionID))
            candidates.append({entry.id, ContextComposer::entryBody(entry, *selection)});
    }
    QSet<QUuid> removed;
    for (const DuplicateGroup& group : duplicateGroups(candidates, threshold)) {
        for (const QUuid& id : group.removeIDs)
            removed.insert(id);
    }
    QList<QUuid> ordered;
    for (const IdText& candidate : candidates) {
        if (removed.contains(candidate.id))
            ordered.append(candidate.id);
    }
    return ordered;
}

} // namespace vellicord::Dedupe
