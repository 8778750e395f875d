#include "core/composition/Dedupe.h"

#include "core/composition/ContextComposer.h"
#include "core/foundation/Text.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <bit>
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
// are a list of distinct numbers and two texts compare without building strings. Three characters
// of one code unit each pack into one number; anything else is looked up by its text.
class TrigramIds {
public:
    // Each trigram once, in order of first appearance.
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
        // Repeats are dropped by marking each id with the text it was last seen in: sorting the
        // thousands of trigrams of every text cost more than comparing the texts.
        ++text_;
        for (size_t g = 0; g + 3 <= count; ++g) {
            const int id = idOf(normalized, startOf(g), g, 3, &ends);
            if (size_t(id) >= seenIn_.size())
                seenIn_.resize(std::max(size_t(id) + 1, seenIn_.size() * 2), 0);
            if (seenIn_[size_t(id)] != text_) {
                seenIn_[size_t(id)] = text_;
                ids.push_back(id);
            }
        }
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
    std::vector<uint64_t> seenIn_; // by id: the last text it was found in
    uint64_t text_ = 0;
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
    std::vector<int> aIds = dictionary.idsOf(a), bIds = dictionary.idsOf(b);
    std::sort(aIds.begin(), aIds.end());
    std::sort(bIds.begin(), bIds.end());
    return similarityOf(a, aIds, b, bIds, sharedCount(aIds, bIds));
}

QList<DuplicateGroup> duplicateGroups(const QList<IdText>& pairs, double threshold)
{
    const size_t n = size_t(pairs.size());
    std::vector<QString> texts(n);
    std::vector<std::vector<int>> ids(n);
    std::vector<std::pair<size_t, size_t>> span(n); // the first and last word of a text's row that hold bits
    TrigramIds dictionary;
    for (size_t i = 0; i < n; ++i) {
        if (pairs[qsizetype(i)].text.isEmpty())
            continue;
        texts[i] = normalize(pairs[qsizetype(i)].text);
        ids[i] = dictionary.idsOf(texts[i]);
        if (!ids[i].empty()) {
            const auto [low, high] = std::minmax_element(ids[i].cbegin(), ids[i].cend());
            span[i] = {size_t(*low) / 64, size_t(*high) / 64};
        }
    }

    std::vector<double> best(n, 0.0);
    std::vector<std::optional<size_t>> anchor(n);
    // Trigram sets as rows of bits: what two texts share is the population count of the rows'
    // intersection, a few hundred words for passages of some kilobytes, where looking each
    // trigram up costs thousands of steps per pair. The earlier texts' rows are made a block at a
    // time, so that memory stays bounded however many texts there are; every later text is then
    // compared with the block in input order, which keeps the earliest of equal matches.
    const size_t words = size_t(dictionary.size() + 63) / 64;
    const size_t blockSize = std::max<size_t>(1, (size_t(1) << 21) / std::max<size_t>(words, 1));
    std::vector<uint64_t> rows;
    std::vector<uint64_t> later(words, 0);
    const auto fill = [](uint64_t* row, const std::vector<int>& set) {
        for (int id : set)
            row[size_t(id) / 64] |= uint64_t(1) << (id % 64);
    };
    for (size_t first = 0; first < n; first += blockSize) {
        const size_t last = std::min(n, first + blockSize);
        rows.assign((last - first) * words, 0);
        for (size_t i = first; i < last; ++i)
            fill(rows.data() + (i - first) * words, ids[i]);
        for (size_t j = first + 1; j < n; ++j) {
            if (pairs[qsizetype(j)].text.isEmpty())
                continue;
            fill(later.data(), ids[j]);
            for (size_t i = first; i < std::min(last, j); ++i) {
                if (pairs[qsizetype(i)].text.isEmpty())
                    continue;
                // No pair can share more trigrams than the smaller set holds; skip pairs that
                // could neither reach the threshold nor beat the best match so far.
                if (!texts[i].isEmpty() && !texts[j].isEmpty()) {
                    const double bound = dice(std::min(ids[i].size(), ids[j].size()), ids[i].size(), ids[j].size());
                    if (bound < threshold || (anchor[j] && bound <= best[j]))
                        continue;
                }
                size_t shared = 0;
                if (!ids[i].empty() && !ids[j].empty()) {
                    const size_t from = std::max(span[i].first, span[j].first);
                    const size_t to = std::min(span[i].second, span[j].second);
                    const uint64_t* row = rows.data() + (i - first) * words;
                    for (size_t w = from; w <= to; ++w)
                        shared += size_t(std::popcount(row[w] & later[w]));
                }
                const double s = similarityOf(texts[i], ids[i], texts[j], ids[j], shared);
                if (s >= threshold && (!anchor[j] || s > best[j])) {
                    best[j] = s;
                    anchor[j] = i;
                }
            }
            for (int id : ids[j])
                later[size_t(id) / 64] = 0;
        }
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
