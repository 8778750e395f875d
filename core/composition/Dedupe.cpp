#include "core/composition/Dedupe.h"

#include "core/composition/ContextComposer.h"
#include "core/foundation/Text.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <bit>
#include <cmath>
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

// The bits two rows share in words from..to. Built for any x86-64 processor, a population count is
// a routine of a dozen steps; processors that count in one instruction (nearly all now) get a
// version that does, picked when the program is loaded.
#if defined(__x86_64__) && !defined(__POPCNT__) && (defined(__GNUC__) || defined(__clang__))
__attribute__((target_clones("popcnt", "default")))
#endif
size_t sharedBits(const uint64_t* row, const uint64_t* other, size_t from, size_t to)
{
    size_t shared = 0;
    for (size_t w = from; w <= to; ++w)
        shared += size_t(std::popcount(row[w] & other[w]));
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

namespace {

// The texts of one call, normalised, with their trigram sets, and each text's best earlier match.
struct Comparison {
    const QList<IdText>& pairs;
    double threshold;
    std::vector<QString> texts;
    std::vector<std::vector<int>> ids; // each text's trigrams, each once
    int trigramCount = 0;
    std::vector<double> best;
    std::vector<std::optional<size_t>> anchor;

    bool takesPart(size_t i) const { return !pairs[qsizetype(i)].text.isEmpty(); }

    // The pair's similarity from the trigrams it shares; i is earlier than j, and pairs come in
    // input order of i for each j, so that only a strictly better match replaces the earliest.
    void compare(size_t i, size_t j, size_t shared)
    {
        const double s = similarityOf(texts[i], ids[i], texts[j], ids[j], shared);
        if (s >= threshold && (!anchor[j] || s > best[j])) {
            best[j] = s;
            anchor[j] = i;
        }
    }

    // No pair can share more trigrams than the smaller set holds: whether a pair could neither
    // reach the threshold nor beat the best match so far.
    bool cannotMatch(size_t i, size_t j) const
    {
        if (texts[i].isEmpty() || texts[j].isEmpty())
            return false;
        const double bound = dice(std::min(ids[i].size(), ids[j].size()), ids[i].size(), ids[j].size());
        return bound < threshold || (anchor[j] && bound <= best[j]);
    }
};

// Trigram sets as rows of bits: what two texts share is the population count of the rows'
// intersection, a few hundred words for passages of some kilobytes, where looking each trigram up
// costs thousands of steps per pair. The earlier texts' rows are made a block at a time, so that
// memory stays bounded however many texts there are; every later text is then compared with the
// block in input order, which keeps the earliest of equal matches.
void compareEveryPair(Comparison& c)
{
    const size_t n = c.ids.size();
    std::vector<std::pair<size_t, size_t>> span(n); // the first and last word of a text's row that hold bits
    for (size_t i = 0; i < n; ++i) {
        if (!c.ids[i].empty()) {
            const auto [low, high] = std::minmax_element(c.ids[i].cbegin(), c.ids[i].cend());
            span[i] = {size_t(*low) / 64, size_t(*high) / 64};
        }
    }
    const size_t words = size_t(c.trigramCount + 63) / 64;
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
            fill(rows.data() + (i - first) * words, c.ids[i]);
        for (size_t j = first + 1; j < n; ++j) {
            if (!c.takesPart(j))
                continue;
            fill(later.data(), c.ids[j]);
            for (size_t i = first; i < std::min(last, j); ++i) {
                if (!c.takesPart(i) || c.cannotMatch(i, j))
                    continue;
                size_t shared = 0;
                if (!c.ids[i].empty() && !c.ids[j].empty()) {
                    const size_t from = std::max(span[i].first, span[j].first);
                    const size_t to = std::min(span[i].second, span[j].second);
                    shared = sharedBits(rows.data() + (i - first) * words, later.data(), from, to);
                }
                c.compare(i, j, shared);
            }
            for (int id : c.ids[j])
                later[size_t(id) / 64] = 0;
        }
    }
}

// The fewest trigrams a set of this size shares with any set it is similar enough to: the Dice
// coefficient 2s/(a+b) reaches t only when s >= t·a/(2-t), as s is at most b. One fewer than
// that, against rounding.
size_t fewestShared(size_t size, double threshold)
{
    const double bound = std::floor(threshold * double(size) / (2.0 - threshold)) - 1.0;
    return bound < 1.0 ? 1 : size_t(bound);
}

// Each text's rarest trigrams, as many as it can miss of a similar text's and one more: two texts
// that share enough trigrams share at least one of these (all texts' trigrams ranked in one order,
// the rarest first, ties by id). Only texts that do are compared, trigram by trigram; texts of a
// sentence or two share few rare trigrams with any but their near copies. False, with nothing
// compared, when passages share so many that comparing every pair as rows of bits costs less.
bool compareByRareTrigrams(Comparison& c)
{
    if (!(c.threshold > 0.0 && c.threshold <= 1.0))
        return false;
    const size_t n = c.ids.size();
    std::vector<uint32_t> frequency(size_t(c.trigramCount), 0);
    for (const std::vector<int>& set : c.ids) {
        for (int id : set)
            ++frequency[size_t(id)];
    }
    const auto rarer = [&frequency](int a, int b) {
        return frequency[size_t(a)] != frequency[size_t(b)] ? frequency[size_t(a)] < frequency[size_t(b)] : a < b;
    };
    std::vector<std::vector<int>> prefix(n);
    std::vector<uint32_t> holders(size_t(c.trigramCount), 0); // the texts whose prefix holds a trigram
    size_t texts = 0, trigrams = 0;
    for (size_t i = 0; i < n; ++i) {
        if (c.ids[i].empty())
            continue;
        const size_t size = c.ids[i].size();
        const size_t length = size - std::min(size, fewestShared(size, c.threshold)) + 1;
        prefix[i] = c.ids[i];
        std::nth_element(prefix[i].begin(), prefix[i].begin() + qsizetype(length - 1), prefix[i].end(), rarer);
        prefix[i].resize(length);
        for (int id : prefix[i])
            ++holders[size_t(id)];
        ++texts;
        trigrams += size;
    }
    // Pairs found through a shared prefix trigram, each checked trigram by trigram, against every
    // pair's rows compared word by word.
    double found = 0;
    for (uint32_t count : holders)
        found += double(count) * double(count - (count > 0)) / 2;
    const double everyPair = double(texts) * double(texts - (texts > 0)) / 2 * double(c.trigramCount + 63) / 64;
    if (texts > 0 && found * double(trigrams) / double(texts) > everyPair)
        return false;

    std::vector<std::vector<uint32_t>> postings(size_t(c.trigramCount));
    std::vector<uint32_t> seen(n, UINT32_MAX);
    std::vector<uint64_t> marked(size_t(c.trigramCount + 63) / 64, 0); // the trigrams of text j, as bits
    std::vector<uint32_t> candidates;
    std::optional<size_t> firstBlank;
    for (size_t j = 0; j < n; ++j) {
        if (!c.takesPart(j))
            continue;
        // Texts that normalise to nothing are the same as one another and like no other.
        if (c.ids[j].empty()) {
            if (firstBlank)
                c.compare(*firstBlank, j, 0);
            else
                firstBlank = j;
            continue;
        }
        candidates.clear();
        for (int id : prefix[j]) {
            for (uint32_t i : postings[size_t(id)]) {
                if (seen[i] != j) {
                    seen[i] = uint32_t(j);
                    candidates.push_back(i);
                }
            }
            postings[size_t(id)].push_back(uint32_t(j));
        }
        std::sort(candidates.begin(), candidates.end());
        for (int id : c.ids[j])
            marked[size_t(id) / 64] |= uint64_t(1) << (id % 64);
        for (uint32_t i : candidates) {
            if (c.cannotMatch(i, j))
                continue;
            size_t shared = 0;
            for (int id : c.ids[i])
                shared += (marked[size_t(id) / 64] >> (id % 64)) & 1;
            c.compare(i, j, shared);
        }
        for (int id : c.ids[j])
            marked[size_t(id) / 64] = 0;
    }
    return true;
}

} // namespace

QList<DuplicateGroup> duplicateGroups(const QList<IdText>& pairs, double threshold)
{
    const size_t n = size_t(pairs.size());
    Comparison c{.pairs = pairs, .threshold = threshold, .texts = std::vector<QString>(n),
                 .ids = std::vector<std::vector<int>>(n), .best = std::vector<double>(n, 0.0),
                 .anchor = std::vector<std::optional<size_t>>(n)};
    TrigramIds dictionary;
    for (size_t i = 0; i < n; ++i) {
        if (!c.takesPart(i))
            continue;
        c.texts[i] = normalize(pairs[qsizetype(i)].text);
        c.ids[i] = dictionary.idsOf(c.texts[i]);
    }
    c.trigramCount = dictionary.size();
    if (!compareByRareTrigrams(c))
        compareEveryPair(c);

    std::vector<QList<QUuid>> members(n);
    std::vector<double> scores(n, 0.0);
    for (size_t j = 0; j < n; ++j) {
        if (c.best[j] > 0.0) {
            members[*c.anchor[j]].push_back(pairs[qsizetype(j)].id);
            scores[*c.anchor[j]] = std::max(scores[*c.anchor[j]], c.best[j]);
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
