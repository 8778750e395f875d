#include "core/library/SearchIndex.h"

#include "core/foundation/Text.h"
#include "core/library/SortMode.h"

#include <QHash>

#include <algorithm>
#include <cstring>

#ifdef __SSE2__
#include <immintrin.h>
#endif

namespace vellicord {

namespace {

constexpr uint32_t bitCount = 512;
constexpr size_t bufferPadding = 64;

// One bit for a single UTF-16 unit, one for a pair of adjacent units.
uint32_t unitBit(char16_t a)
{
    return uint32_t((uint64_t(a) * 0x9E3779B97F4A7C15ull) >> 55) & (bitCount - 1);
}

uint32_t pairBit(char16_t a, char16_t b)
{
    const uint64_t key = (uint64_t(a) << 16 | b) + 0x10000;
    return uint32_t((key * 0x9E3779B97F4A7C15ull) >> 55) & (bitCount - 1);
}

bool sameString(const QString& a, const QString& b)
{
    return a.constData() == b.constData() && a.size() == b.size();
}

bool sameOptional(const std::optional<QString>& a, const std::optional<QString>& b)
{
    return a.has_value() == b.has_value() && (!a || sameString(*a, *b));
}

} // namespace

// The query as UTF-8 with its fingerprint bits and a Horspool skip table, made once per query.
class SearchIndex::Needle {
public:
    explicit Needle(const QString& query)
        : bytes_(query.toStdString())
    {
        const char16_t* p = reinterpret_cast<const char16_t*>(query.constData());
        for (qsizetype i = 0; i < query.size(); ++i) {
            bits_.push_back(unitBit(p[i]));
            if (i + 1 < query.size())
                bits_.push_back(pairBit(p[i], p[i + 1]));
        }
        std::sort(bits_.begin(), bits_.end());
        bits_.erase(std::unique(bits_.begin(), bits_.end()), bits_.end());
        const size_t m = bytes_.size();
        skip_.fill(m);
        for (size_t i = 0; i + 1 < m; ++i)
            skip_[uchar(bytes_[i])] = m - 1 - i;
    }

    size_t size() const { return bytes_.size(); }

    bool mayOccurIn(const uint64_t* fingerprint) const
    {
        for (uint32_t bit : bits_) {
            if (!(fingerprint[bit >> 6] & (uint64_t(1) << (bit & 63))))
                return false;
        }
        return true;
    }

    // Whether the needle starts anywhere in [from, to) of the text and ends by limit. The text
    // must be readable up to bufferPadding bytes past limit.
    bool occursIn(const char* text, size_t from, size_t to, size_t limit) const
    {
        const size_t m = bytes_.size();
        if (m > limit)
            return false;
        to = std::min(to, limit - m + 1);
        if (from >= to)
            return false;
        if (m == 1)
            return std::memchr(text + from, bytes_[0], to - from) != nullptr;
#ifdef __SSE2__
        if (m + 32 <= bufferPadding)
            return hasAvx2() ? occursInAvx2(text, from, to) : occursInVector(text, from, to);
#endif
        const char lastByte = bytes_[m - 1];
        for (size_t pos = from; pos < to;) {
            const char c = text[pos + m - 1];
            if (c == lastByte && std::memcmp(text + pos, bytes_.data(), m - 1) == 0)
                return true;
            pos += skip_[uchar(c)];
        }
        return false;
    }

private:
#ifdef __SSE2__
    static bool hasAvx2()
    {
        static const bool supported = __builtin_cpu_supports("avx2");
        return supported;
    }

    // The same as occursInVector, thirty-two positions at a time, on processors that have AVX2.
    __attribute__((target("avx2"))) bool occursInAvx2(const char* text, size_t from, size_t to) const
    {
        const size_t m = bytes_.size();
        const __m256i first = _mm256_set1_epi8(bytes_[0]);
        const __m256i last = _mm256_set1_epi8(bytes_[m - 1]);
        for (size_t pos = from; pos < to; pos += 32) {
            const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + pos));
            const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + pos + m - 1));
            unsigned mask = unsigned(
                _mm256_movemask_epi8(_mm256_and_si256(_mm256_cmpeq_epi8(a, first), _mm256_cmpeq_epi8(b, last))));
            while (mask) {
                const size_t at = pos + size_t(__builtin_ctz(mask));
                if (at >= to)
                    return false;
                if (std::memcmp(text + at + 1, bytes_.data() + 1, m - 2) == 0)
                    return true;
                mask &= mask - 1;
            }
        }
        return false;
    }

    bool occursInVector(const char* text, size_t from, size_t to) const
    {
        const size_t m = bytes_.size();
        // Compare the first and the last byte of the needle at sixteen positions at once, and
        // only where both agree compare the bytes between.
        const __m128i first = _mm_set1_epi8(bytes_[0]);
        const __m128i last = _mm_set1_epi8(bytes_[m - 1]);
        for (size_t pos = from; pos < to; pos += 16) {
            const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + pos));
            const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + pos + m - 1));
            unsigned mask
                = unsigned(_mm_movemask_epi8(_mm_and_si128(_mm_cmpeq_epi8(a, first), _mm_cmpeq_epi8(b, last))));
            while (mask) {
                const size_t at = pos + size_t(__builtin_ctz(mask));
                if (at >= to)
                    return false;
                if (std::memcmp(text + at + 1, bytes_.data() + 1, m - 2) == 0)
                    return true;
                mask &= mask - 1;
            }
        }
        return false;
    }
#endif

    std::string bytes_;
    std::vector<uint32_t> bits_;
    std::array<size_t, 256> skip_{};
};

void SearchIndex::addFingerprint(const QString& searchText, uint64_t* bits)
{
    const char16_t* p = reinterpret_cast<const char16_t*>(searchText.constData());
    const qsizetype n = searchText.size();
    for (qsizetype i = 0; i < n; ++i) {
        const uint32_t u = unitBit(p[i]);
        bits[u >> 6] |= uint64_t(1) << (u & 63);
        if (i + 1 < n) {
            const uint32_t b = pairBit(p[i], p[i + 1]);
            bits[b >> 6] |= uint64_t(1) << (b & 63);
        }
    }
}

void SearchIndex::rebuild(const QList<Selection>& selections)
{
    QHash<QUuid, size_t> previous;
    previous.reserve(qsizetype(entries_.size()));
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (!entries_[i].erased)
            previous.insert(entries_[i].id, i);
    }

    std::vector<Entry> entries;
    entries.reserve(size_t(selections.size()));
    std::vector<uint64_t> fingerprints;
    fingerprints.reserve(size_t(selections.size()) * fingerprintWords);
    std::string haystack;
    haystack.reserve(haystack_.size());
    for (const Selection& s : selections) {
        const auto old = previous.constFind(s.id);
        if (old != previous.cend()) {
            const Entry& e = entries_[old.value()];
            if (sameString(e.text, s.text) && sameString(e.markdown, s.markdown) && sameString(e.appName, s.appName)
                && sameOptional(e.sourceURL, s.sourceURL) && sameOptional(e.filePath, s.filePath)) {
                const uint64_t* bits = fingerprints_.data() + old.value() * fingerprintWords;
                fingerprints.insert(fingerprints.end(), bits, bits + fingerprintWords);
                Entry kept = e;
                kept.start = haystack.size();
                haystack.append(haystack_, e.start, e.end - e.start);
                kept.end = haystack.size();
                entries.push_back(std::move(kept));
                continue;
            }
        }
        add(s, entries, fingerprints, haystack);
    }
    // The vector scan reads up to the needle's length plus sixteen bytes past a position.
    haystack.append(bufferPadding, '\0');
    entries_ = std::move(entries);
    fingerprints_ = std::move(fingerprints);
    haystack_ = std::move(haystack);
    erased_ = 0;
}

void SearchIndex::add(const Selection& s, std::vector<Entry>& entries, std::vector<uint64_t>& fingerprints,
                      std::string& haystack)
{
    const QString searchText = SortModes::searchText(s);
    fingerprints.resize(fingerprints.size() + fingerprintWords, 0);
    addFingerprint(searchText, fingerprints.data() + fingerprints.size() - fingerprintWords);
    Entry e{s.id, s.text, s.markdown, s.appName, s.sourceURL, s.filePath, haystack.size(), 0, 0, false, false};
    haystack.append(searchText.toStdString());
    e.end = haystack.size();
    if (s.markdown == s.text) {
        e.repeats = true;
        e.repeatedText = Text::lowercased(s.text).toUtf8().size();
    }
    entries.push_back(std::move(e));
}

qsizetype SearchIndex::append(const Selection& selection)
{
    if (haystack_.size() >= bufferPadding)
        haystack_.resize(haystack_.size() - bufferPadding);
    add(selection, entries_, fingerprints_, haystack_);
    haystack_.append(bufferPadding, '\0');
    return qsizetype(entries_.size()) - 1;
}

void SearchIndex::erase(qsizetype position)
{
    Entry& e = entries_[size_t(position)];
    if (e.erased)
        return;
    e.erased = true;
    // Its strings are no longer needed; its bytes stay in the haystack until the next rebuild.
    e.text = e.markdown = e.appName = QString();
    e.sourceURL.reset();
    e.filePath.reset();
    ++erased_;
}

bool SearchIndex::entryMatches(const Entry& e, const Needle& needle) const
{
    const char* text = haystack_.data();
    if (!e.repeats)
        return needle.occursIn(text, e.start, e.end, e.end);
    // The search text is T "\n" T "\n" rest. A match that starts inside the first T or its line
    // feed is found by the first scan; one that lies wholly inside the second T also lies inside
    // the first; the rest start at most size-1 bytes before the second T ends.
    const size_t m = needle.size();
    const size_t firstEnd = e.start + e.repeatedText + 1;
    const size_t secondEnd = firstEnd + e.repeatedText;
    if (needle.occursIn(text, e.start, firstEnd, e.end))
        return true;
    const size_t resume = std::max(firstEnd, secondEnd >= m - 1 ? secondEnd - (m - 1) : firstEnd);
    return needle.occursIn(text, resume, e.end, e.end);
}

QList<qsizetype> SearchIndex::matching(const QString& query, const QList<qsizetype>* among) const
{
    QList<qsizetype> result;
    const auto each = [&](const auto& test) {
        const auto consider = [&](qsizetype i) {
            if (!entries_[size_t(i)].erased && test(i))
                result.append(i);
        };
        if (among) {
            for (qsizetype i : *among)
                consider(i);
        } else {
            for (qsizetype i = 0; i < qsizetype(entries_.size()); ++i)
                consider(i);
        }
    };
    if (query.isEmpty()) {
        each([](qsizetype) { return true; });
        return result;
    }
    const Needle needle(query);
    each([&](qsizetype i) {
        return needle.mayOccurIn(fingerprints_.data() + size_t(i) * fingerprintWords)
            && entryMatches(entries_[size_t(i)], needle);
    });
    return result;
}

bool SearchIndex::matches(qsizetype position, const QString& query) const
{
    const QList<qsizetype> one{position};
    return !matching(query, &one).isEmpty();
}

} // namespace vellicord
