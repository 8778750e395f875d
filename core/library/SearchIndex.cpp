#include "core/library/SearchIndex.h"

#include "core/foundation/Parallel.h"
#include "core/foundation/Text.h"
#include "core/library/SortMode.h"

#include <QHash>

#include <algorithm>
#include <array>
#include <numeric>

#ifdef __SSE2__
#include <immintrin.h>
#endif

namespace vellicord {

namespace {

// A fingerprint has bits for single units and pairs of adjacent units, and after them bits for
// runs of four. When the captures are written with few distinct words, every one of them holds
// every unit and pair of a query of such words, but the runs across the space between two words
// still tell them apart.
constexpr uint32_t bitCount = 512;
constexpr uint32_t runBitCount = 1024;
// Then one bit for each ASCII unit, set exactly when the search text holds it.
constexpr uint32_t asciiBits = bitCount + runBitCount;
// A thread of its own pays for being started; a scan that reads fewer units than this for each
// thread stays on fewer threads.
constexpr size_t unitsPerThread = 256 * 1024;
// The most units a needle's first or last unit may stand for in a text scanned in place (Unicode
// has at most three: å, Å and the Ångström sign; ω, Ω and the Ohm sign); beyond, the scan is unit
// by unit.
constexpr int maxAlternatives = 4;
// The captures' texts lie scattered over the heap, and waiting for each to come from memory can be
// most of a scan (when most captures match near their start, as with a common word): the start of
// each text a scan reads is asked for this many captures before it is compared.
constexpr size_t lookAhead = 16;
constexpr size_t prefetchBytes = 128;
// A scan on several threads is cut into pieces of at least this many captures, and into this many
// per thread.
constexpr size_t minimumPiece = 4096;
constexpr size_t piecesPerThread = 8;

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

void setBit(uint64_t* bits, uint32_t bit)
{
    bits[bit >> 6] |= uint64_t(1) << (bit & 63);
}

// Two bits for a run of four units (`run` holds them first to last, sixteen bits each). Two,
// because the runs of a capture fill many bits: a run it does not hold then rarely finds both set.
// Units are mostly small numbers, so every bit of the run is mixed into every bit of the hash.
uint64_t runHash(uint64_t run)
{
    run ^= run >> 33;
    run *= 0xFF51AFD7ED558CCDull;
    run ^= run >> 33;
    run *= 0xC4CEB9FE1A85EC53ull;
    run ^= run >> 33;
    return run;
}

void setRunBits(uint64_t* bits, uint64_t run)
{
    const uint64_t hash = runHash(run);
    setBit(bits, bitCount + uint32_t(hash & (runBitCount - 1)));
    setBit(bits, bitCount + uint32_t((hash >> 32) & (runBitCount - 1)));
}

bool sameString(const QString& a, const QString& b)
{
    return a.constData() == b.constData() && a.size() == b.size();
}

bool sameOptional(const std::optional<QString>& a, const std::optional<QString>& b)
{
    return a.has_value() == b.has_value() && (!a || sameString(*a, *b));
}

QStringView optionalView(const std::optional<QString>& field)
{
    return field ? QStringView(*field) : QStringView();
}

int utf8Length(char32_t c)
{
    return c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
}

// The length of the character a byte of UTF-8 begins, or 0 for a byte within a character.
int leadLength(unsigned char b)
{
    return b < 0x80 ? 1 : b < 0xC0 ? 0 : b < 0xE0 ? 2 : b < 0xF0 ? 3 : 4;
}

// Whether a character outside the first plane stays itself when lower-cased: it is then compared
// as it is.
bool keepsCase(char32_t c)
{
    const char16_t pair[2] = {QChar::highSurrogate(c), QChar::lowSurrogate(c)};
    const QString text = QString::fromRawData(reinterpret_cast<const QChar*>(pair), 2);
    return text.toLower() == text;
}

// How each UTF-16 unit lower-cases on its own (folded as search compares it), taken once from
// QString::toLower() itself so that a text compared unit by unit through this table agrees with
// the text lower-cased as a whole.
class UnitCase {
public:
    static const UnitCase& instance()
    {
        static const UnitCase cases;
        return cases;
    }

    const char16_t* lowerTable() const { return lower_.data(); }
    char16_t lower(char16_t unit) const { return lower_[unit]; }
    // Whether the unit lower-cases to exactly one unit, and not from outside ASCII into it (the
    // Kelvin sign), so that a search for ASCII need not look at other units. Surrogates are not:
    // only with their pair do they say how they lower-case.
    bool regular(char16_t unit) const { return !(irregular_[unit >> 6] >> (unit & 63) & 1); }

    // Whether it also lower-cases into as many bytes of UTF-8 (not Ⱥ, ẞ, the Ohm sign): a text in
    // UTF-8 of such units is compared in place byte for byte where its characters begin.
    bool regularInUtf8(char16_t unit) const { return !(irregularInUtf8_[unit >> 6] >> (unit & 63) & 1); }

    // Whether the unit is regular() (or regularInUtf8()) and NFC leaves its lower case as it is in
    // any text: a field of such units alone, lower-cased, is in NFC as the search text is.
    bool plain(char16_t unit) const { return !(unplain_[unit >> 6] >> (unit & 63) & 1); }
    bool plainInUtf8(char16_t unit) const { return !(unplainInUtf8_[unit >> 6] >> (unit & 63) & 1); }

    // The units that lower-case to the unit in a text that may be compared in place.
    std::vector<char16_t> unitsLoweringTo(char16_t unit) const
    {
        if (QChar::isSurrogate(unit))
            return {unit};
        std::vector<char16_t> units;
        if (regular(unit) && lower_[unit] == unit)
            units.push_back(unit);
        const auto [from, to] = std::equal_range(raised_.begin(), raised_.end(), std::pair(unit, char16_t(0)),
                                                 [](const auto& a, const auto& b) { return a.first < b.first; });
        for (auto it = from; it != to; ++it)
            units.push_back(it->second);
        return units;
    }

private:
    UnitCase()
    {
        // In blocks of units, since lower-casing them one by one takes milliseconds: a block whose
        // lower case is as long as itself has each unit's lower case in its place.
        constexpr uint32_t blockSize = 64; // surrogates fill whole blocks
        for (uint32_t start = 0; start < 0x10000; start += blockSize) {
            if (QChar::isSurrogate(char32_t(start))) {
                for (uint32_t u = start; u < start + blockSize; ++u)
                    set(char16_t(u), std::nullopt);
                continue;
            }
            QString block(qsizetype(blockSize), Qt::Uninitialized);
            for (uint32_t i = 0; i < blockSize; ++i)
                block[qsizetype(i)] = QChar(char16_t(start + i));
            const QString lowered = SortModes::searchFolded(block.toLower());
            for (uint32_t i = 0; i < blockSize; ++i) {
                const char16_t u = char16_t(start + i);
                if (lowered.size() == block.size()) {
                    set(u, lowered[qsizetype(i)].unicode());
                    continue;
                }
                const QString one = SortModes::searchFolded(QString(QChar(u)).toLower());
                set(u, one.size() == 1 ? std::optional(one[0].unicode()) : std::nullopt);
            }
        }
        std::sort(raised_.begin(), raised_.end());
        for (uint32_t u = 0; u < 0x10000; ++u) {
            if (!regular(char16_t(u)) || utf8Length(lower_[u]) != utf8Length(u))
                irregularInUtf8_[u >> 6] |= uint64_t(1) << (u & 63);
            const bool unsettled = !Text::keepsCanonicalForm(lower_[u]);
            if (unsettled || !regular(char16_t(u)))
                unplain_[u >> 6] |= uint64_t(1) << (u & 63);
            if (unsettled || !regularInUtf8(char16_t(u)))
                unplainInUtf8_[u >> 6] |= uint64_t(1) << (u & 63);
        }
    }

    void set(char16_t unit, std::optional<char16_t> lower)
    {
        lower_[unit] = lower.value_or(unit);
        if (!lower || (unit >= 0x80 && *lower < 0x80) || QChar::isSurrogate(*lower))
            irregular_[unit >> 6] |= uint64_t(1) << (unit & 63);
        else if (*lower != unit)
            raised_.emplace_back(*lower, unit);
    }

    std::array<char16_t, 0x10000> lower_{};
    std::array<uint64_t, 0x10000 / 64> irregular_{};
    std::array<uint64_t, 0x10000 / 64> irregularInUtf8_{};
    std::array<uint64_t, 0x10000 / 64> unplain_{};
    std::array<uint64_t, 0x10000 / 64> unplainInUtf8_{};
    std::vector<std::pair<char16_t, char16_t>> raised_; // (lower case, unit) for regular units that change
};

// The fingerprint of a search text: its units, pairs and runs of four adjacent units, and its ASCII
// units exactly, fed one at a time.
class FingerprintWriter {
public:
    explicit FingerprintWriter(uint64_t* bits)
        : bits_(bits)
    {
    }

    void add(char16_t unit)
    {
        setBit(bits_, unitBit(unit));
        if (unit < 0x80)
            setBit(bits_, asciiBits + unit);
        recent_ = recent_ << 16 | unit;
        if (seen_ >= 1)
            setBit(bits_, pairBit(char16_t(recent_ >> 16), unit));
        if (seen_ >= 3)
            setRunBits(bits_, recent_);
        ++seen_;
    }

    // A copy of a field already added (valid UTF-8 of characters that compare in place): only the
    // pairs and runs that lead into it are new, and the ones that leave it need only its last units.
    void addAgain(std::string_view copy, const UnitCase& cases)
    {
        // Four bytes or more per unit at most: a longer copy holds more than six units.
        if (copy.size() <= 24) {
            forEachUnit(copy, cases, [this](char16_t unit) { add(unit); });
            return;
        }
        int lead = 0;
        const char* p = copy.data();
        while (lead < 3) {
            const char32_t c = Utf8Text::next(p);
            lead += forEachUnitOf(c, cases, [this](char16_t unit) { add(unit); });
        }
        // The last three units: at most three characters back from the end.
        const char* tail = copy.data() + copy.size();
        for (int characters = 0; characters < 3; ++characters) {
            do
                --tail;
            while (leadLength(static_cast<unsigned char>(*tail)) == 0);
        }
        std::array<char16_t, 6> units{};
        size_t count = 0;
        forEachUnit(std::string_view(tail, size_t(copy.data() + copy.size() - tail)), cases,
                    [&](char16_t unit) { units[count++] = unit; });
        for (size_t i = count - 3; i < count; ++i) {
            recent_ = recent_ << 16 | units[i];
            ++seen_;
        }
    }

    // Calls visit with each UTF-16 unit of the UTF-8 as it lower-cases.
    template<typename Visit> static void forEachUnit(std::string_view utf8, const UnitCase& cases, Visit visit)
    {
        const char* const end = utf8.data() + utf8.size();
        for (const char* p = utf8.data(); p < end;)
            forEachUnitOf(Utf8Text::next(p), cases, visit);
    }
    // The same for one character; how many units it has.
    template<typename Visit> static int forEachUnitOf(char32_t c, const UnitCase& cases, Visit visit)
    {
        if (c < 0x10000) {
            visit(cases.lower(char16_t(c)));
            return 1;
        }
        visit(QChar::highSurrogate(c));
        visit(QChar::lowSurrogate(c));
        return 2;
    }

private:
    uint64_t* bits_;
    uint64_t recent_ = 0; // the last four units, the latest lowest
    qsizetype seen_ = 0;
};

// Adds the field's lower-cased units to the fingerprint. False when one of them does not
// lower-case unit for unit: the capture's search text must then be lower-cased as a whole. Sets
// `unsettled` when NFC may change the lower-cased field (it holds a combining mark or the like):
// whether it does is then told by the field itself.
bool addInPlace(QStringView field, const UnitCase& cases, FingerprintWriter& writer, bool& unsettled)
{
    const char16_t* p = field.utf16();
    const qsizetype n = field.size();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = p[i];
        if (cases.plain(u)) {
            writer.add(cases.lower(u));
            continue;
        }
        if (cases.regular(u)) {
            unsettled = true;
            writer.add(cases.lower(u));
            continue;
        }
        // A character outside the first plane compares in place when lower-casing leaves it be.
        if (!QChar::isHighSurrogate(u) || i + 1 == n || !QChar::isLowSurrogate(p[i + 1]))
            return false;
        const QStringView pair = field.mid(i, 2);
        if (QString::fromRawData(reinterpret_cast<const QChar*>(pair.utf16()), 2).toLower() != pair)
            return false;
        unsettled |= !Text::keepsCanonicalForm(QChar::surrogateToUcs4(u, p[i + 1]));
        writer.add(u);
        writer.add(p[++i]);
    }
    return true;
}

// The same for a field in UTF-8: false when one of its characters does not lower-case into one of
// as many bytes, so that it cannot be compared in place.
bool addInPlace(std::string_view field, const UnitCase& cases, FingerprintWriter& writer, bool& unsettled)
{
    const char* const end = field.data() + field.size();
    for (const char* p = field.data(); p < end;) {
        const char32_t c = Utf8Text::next(p);
        if (c >= 0x10000) {
            if (!keepsCase(c))
                return false;
            unsettled |= !Text::keepsCanonicalForm(c);
        } else if (!cases.plainInUtf8(char16_t(c))) {
            if (!cases.regularInUtf8(char16_t(c)))
                return false;
            unsettled = true;
        }
        FingerprintWriter::forEachUnitOf(c, cases, [&writer](char16_t unit) { writer.add(unit); });
    }
    return true;
}

// Whether each of the capture's fields, lower-cased, is in NFC: then it is compared in place as its
// search text has it.
bool lowerCaseIsNormalized(const Selection& s)
{
    const std::array<QString, 5> fields{s.text, s.markdown, s.appName, s.sourceURL.value_or(QString()),
                                        s.filePath.value_or(QString())};
    return std::all_of(fields.begin(), fields.end(), [](const QString& field) {
        const QString lower = Text::lowercased(field);
        return Text::canonical(lower) == lower;
    });
}

bool hasAvx2()
{
#ifdef __SSE2__
    static const bool supported = __builtin_cpu_supports("avx2");
    return supported;
#else
    return false;
#endif
}

#ifdef __SSE2__
template<typename Unit> __attribute__((target("avx2"))) inline __m256i splatAvx2(Unit unit)
{
    if constexpr (sizeof(Unit) == 1)
        return _mm256_set1_epi8(char(unit));
    else
        return _mm256_set1_epi16(short(unit));
}

template<typename Unit> __attribute__((target("avx2"))) inline __m256i equalAvx2(__m256i a, __m256i b)
{
    if constexpr (sizeof(Unit) == 1)
        return _mm256_cmpeq_epi8(a, b);
    else
        return _mm256_cmpeq_epi16(a, b);
}

template<typename Unit> inline __m128i splatSse2(Unit unit)
{
    if constexpr (sizeof(Unit) == 1)
        return _mm_set1_epi8(char(unit));
    else
        return _mm_set1_epi16(short(unit));
}

template<typename Unit> inline __m128i equalSse2(__m128i a, __m128i b)
{
    if constexpr (sizeof(Unit) == 1)
        return _mm_cmpeq_epi8(a, b);
    else
        return _mm_cmpeq_epi16(a, b);
}

// Whether a needle occurs in the text, its units of one byte (UTF-8) or two (UTF-16): its first and
// its last unit are compared at many starts at once, each with the units it may stand for
// (`alternatives` of each), and only where both agree does verify(start) compare the rest. The
// last block ends at the last start, so no load reads past the text; it may look at some starts a
// second time. This one compares 32 bytes at once, on processors that have AVX2.
template<typename Unit, int alternatives, typename Verify>
__attribute__((target("avx2"))) bool anchorsMatchAvx2(const Unit* text, size_t starts, size_t last,
                                                      const Unit* firsts, const Unit* lasts, Verify verify)
{
    constexpr size_t perBlock = 32 / sizeof(Unit);
    __m256i heads[alternatives], tails[alternatives];
    for (int k = 0; k < alternatives; ++k) {
        heads[k] = splatAvx2(firsts[k]);
        tails[k] = splatAvx2(lasts[k]);
    }
    for (size_t pos = 0;; pos += perBlock) {
        const bool lastBlock = pos + perBlock >= starts;
        if (lastBlock)
            pos = starts - perBlock;
        const __m256i a = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + pos));
        const __m256i b = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(text + pos + last));
        __m256i atFirst = equalAvx2<Unit>(a, heads[0]), atLast = equalAvx2<Unit>(b, tails[0]);
        for (int k = 1; k < alternatives; ++k) {
            atFirst = _mm256_or_si256(atFirst, equalAvx2<Unit>(a, heads[k]));
            atLast = _mm256_or_si256(atLast, equalAvx2<Unit>(b, tails[k]));
        }
        // One bit per byte: a unit of two bytes needs one of its two.
        unsigned mask = unsigned(_mm256_movemask_epi8(_mm256_and_si256(atFirst, atLast)));
        if constexpr (sizeof(Unit) == 2)
            mask &= 0x55555555u;
        for (; mask; mask &= mask - 1) {
            if (verify(pos + size_t(__builtin_ctz(mask)) / sizeof(Unit)))
                return true;
        }
        if (lastBlock)
            return false;
    }
}

// The same, 16 bytes at once.
template<typename Unit, int alternatives, typename Verify>
bool anchorsMatchSse2(const Unit* text, size_t starts, size_t last, const Unit* firsts, const Unit* lasts,
                      Verify verify)
{
    constexpr size_t perBlock = 16 / sizeof(Unit);
    __m128i heads[alternatives], tails[alternatives];
    for (int k = 0; k < alternatives; ++k) {
        heads[k] = splatSse2(firsts[k]);
        tails[k] = splatSse2(lasts[k]);
    }
    for (size_t pos = 0;; pos += perBlock) {
        const bool lastBlock = pos + perBlock >= starts;
        if (lastBlock)
            pos = starts - perBlock;
        const __m128i a = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + pos));
        const __m128i b = _mm_loadu_si128(reinterpret_cast<const __m128i*>(text + pos + last));
        __m128i atFirst = equalSse2<Unit>(a, heads[0]), atLast = equalSse2<Unit>(b, tails[0]);
        for (int k = 1; k < alternatives; ++k) {
            atFirst = _mm_or_si128(atFirst, equalSse2<Unit>(a, heads[k]));
            atLast = _mm_or_si128(atLast, equalSse2<Unit>(b, tails[k]));
        }
        unsigned mask = unsigned(_mm_movemask_epi8(_mm_and_si128(atFirst, atLast)));
        if constexpr (sizeof(Unit) == 2)
            mask &= 0x5555u;
        for (; mask; mask &= mask - 1) {
            if (verify(pos + size_t(__builtin_ctz(mask)) / sizeof(Unit)))
                return true;
        }
        if (lastBlock)
            return false;
    }
}

// Calls scan.operator()<count>() with the count of alternatives as a constant, so that the scans
// compare with exactly as many.
template<typename Scan> bool withAlternatives(int alternatives, Scan scan)
{
    switch (alternatives) {
    case 1: return scan.template operator()<1>();
    case 2: return scan.template operator()<2>();
    case 3: return scan.template operator()<3>();
    default: return scan.template operator()<maxAlternatives>();
    }
}
#endif

} // namespace

// The query's units with its fingerprint bits, and the units its first and last may stand for in
// a text scanned in place, made once per query.
class SearchIndex::Needle {
public:
    explicit Needle(const QString& query)
        : units_(reinterpret_cast<const char16_t*>(query.constData()),
                 reinterpret_cast<const char16_t*>(query.constData()) + query.size())
        , lower_(UnitCase::instance().lowerTable())
    {
        const size_t m = units_.size();
        std::array<uint64_t, fingerprintWords> bits{};
        uint64_t run = 0;
        for (size_t i = 0; i < m; ++i) {
            setBit(bits.data(), unitBit(units_[i]));
            if (i + 1 < m)
                setBit(bits.data(), pairBit(units_[i], units_[i + 1]));
            run = run << 16 | units_[i];
            if (i >= 3)
                setRunBits(bits.data(), run);
        }
        // A query of one ASCII unit is in a search text exactly when the text's bit for it is set.
        oneAsciiUnit_ = m == 1 && units_.front() < 0x80;
        if (oneAsciiUnit_) {
            bits = {};
            setBit(bits.data(), asciiBits + units_.front());
        }
        for (int w = 0; w < fingerprintWords; ++w) {
            if (bits[size_t(w)])
                words_.push_back({w, bits[size_t(w)]});
        }
        lineFeed_ = std::find(units_.begin(), units_.end(), u'\n') != units_.end();

        exact_.first.fill(units_.front());
        exact_.last.fill(units_.back());
        const UnitCase& cases = UnitCase::instance();
        const std::vector<char16_t> first = cases.unitsLoweringTo(units_.front());
        const std::vector<char16_t> last = cases.unitsLoweringTo(units_.back());
        folding_.possible = !first.empty() && !last.empty();
        folding_.alternatives = int(std::max(first.size(), last.size()));
        if (folding_.possible && folding_.alternatives <= maxAlternatives) {
            // Unused alternatives repeat the first, so every vector compares with the same count.
            folding_.first.fill(first.front());
            folding_.last.fill(last.front());
            std::copy(first.begin(), first.end(), folding_.first.begin());
            std::copy(last.begin(), last.end(), folding_.last.begin());
        }
    }

    qsizetype size() const { return qsizetype(units_.size()); }
    bool holdsLineFeed() const { return lineFeed_; }

    // Whether the fingerprint at the position lets the needle occur in its text (and, when the
    // needle is exact(), that it does).
    bool mayOccurIn(const Fingerprints& fingerprints, size_t position) const
    {
        // Without a branch per bit, which the processor could not predict.
        uint64_t missing = 0;
        for (const auto& [word, bits] : words_)
            missing |= bits & ~fingerprints.word(word, position);
        return missing == 0;
    }
    bool exact() const { return oneAsciiUnit_; }

    // Whether the needle occurs in the text, each unit of which compared as it lower-cases.
    bool occursInFolding(QStringView text) const { return occursIn<true>(text); }
    // Whether it occurs in a text already lower-cased.
    bool occursInLowered(QStringView text) const { return occursIn<false>(text); }

private:
    struct Anchors {
        std::array<char16_t, maxAlternatives> first{}, last{};
        int alternatives = 1;
        bool possible = true;
    };

    template<bool folding> char16_t unit(char16_t u) const { return folding ? lower_[u] : u; }

    template<bool folding> bool middleEqual(const char16_t* at) const
    {
        for (size_t j = 1; j + 1 < units_.size(); ++j) {
            if (unit<folding>(at[j]) != units_[j])
                return false;
        }
        return true;
    }

    template<bool folding> bool occursIn(QStringView view) const
    {
        const size_t n = size_t(view.size()), m = units_.size();
        const Anchors& anchors = folding ? folding_ : exact_;
        if (m > n || !anchors.possible)
            return false;
        const char16_t* text = view.utf16();
        const size_t starts = n - m + 1;
#ifdef __SSE2__
        if (anchors.alternatives <= maxAlternatives) {
            const auto verify = [&](size_t start) { return middleEqual<folding>(text + start); };
            const char16_t* firsts = anchors.first.data();
            const char16_t* lasts = anchors.last.data();
            if (starts >= 16 && hasAvx2())
                return withAlternatives(anchors.alternatives, [&]<int count>() {
                    return anchorsMatchAvx2<char16_t, count>(text, starts, m - 1, firsts, lasts, verify);
                });
            if (starts >= 8)
                return withAlternatives(anchors.alternatives, [&]<int count>() {
                    return anchorsMatchSse2<char16_t, count>(text, starts, m - 1, firsts, lasts, verify);
                });
        }
#endif
        const char16_t head = units_.front(), tail = units_.back();
        for (size_t pos = 0; pos < starts; ++pos) {
            if (unit<folding>(text[pos]) == head && unit<folding>(text[pos + m - 1]) == tail
                && middleEqual<folding>(text + pos))
                return true;
        }
        return false;
    }

    std::vector<char16_t> units_;
    const char16_t* lower_;
    std::vector<std::pair<int, uint64_t>> words_; // the fingerprint's words that hold the needle's bits
    bool oneAsciiUnit_ = false;
    bool lineFeed_ = false;
    Anchors exact_, folding_;
};

// The query's UTF-8, with the bytes its first and last characters may begin and end with in a
// text in UTF-8 scanned in place, made once per query. A character that lower-cases to another
// keeps its length in bytes there, so a match of the query spans exactly its bytes.
class SearchIndex::Utf8Needle {
public:
    explicit Utf8Needle(const QString& query)
        : lower_(UnitCase::instance().lowerTable())
    {
        const QByteArray utf8 = query.toUtf8();
        bytes_.assign(utf8.cbegin(), utf8.cend());
        ascii_ = std::all_of(bytes_.cbegin(), bytes_.cend(), [](char b) { return uchar(b) < 0x80; });
        const char* const end = bytes_.data() + bytes_.size();
        for (const char* p = bytes_.data(); p < end;) {
            const char* at = p;
            const char32_t c = Utf8Text::next(p);
            characters_.push_back({c, int(p - at)});
        }
        const std::vector<uchar> first = endBytes(characters_.front().first, true);
        const std::vector<uchar> last = endBytes(characters_.back().first, false);
        possible_ = !first.empty() && !last.empty();
        alternatives_ = int(std::max(first.size(), last.size()));
        for (const uchar b : first)
            firstSet_[b] = true;
        for (const uchar b : last)
            lastSet_[b] = true;
        if (possible_ && alternatives_ <= maxAlternatives) {
            // Unused alternatives repeat the first, so every vector compares with the same count.
            first_.fill(first.front());
            last_.fill(last.front());
            std::copy(first.begin(), first.end(), first_.begin());
            std::copy(last.begin(), last.end(), last_.begin());
        }
    }

    qsizetype size() const { return qsizetype(bytes_.size()); }

    // Whether the needle occurs in the text, each character compared as it lower-cases.
    bool occursIn(std::string_view view) const
    {
        const size_t n = view.size(), m = bytes_.size();
        if (m > n || !possible_)
            return false;
        const char* text = view.data();
        const size_t starts = n - m + 1;
#ifdef __SSE2__
        if (alternatives_ <= maxAlternatives) {
            const auto verify = [&](size_t start) { return matchesAt(text + start); };
            const auto* bytes = reinterpret_cast<const uchar*>(text);
            if (starts >= 32 && hasAvx2())
                return withAlternatives(alternatives_, [&]<int count>() {
                    return anchorsMatchAvx2<uchar, count>(bytes, starts, m - 1, first_.data(), last_.data(), verify);
                });
            if (starts >= 16)
                return withAlternatives(alternatives_, [&]<int count>() {
                    return anchorsMatchSse2<uchar, count>(bytes, starts, m - 1, first_.data(), last_.data(), verify);
                });
        }
#endif
        for (size_t pos = 0; pos < starts; ++pos) {
            if (firstSet_[uchar(text[pos])] && lastSet_[uchar(text[pos + m - 1])] && matchesAt(text + pos))
                return true;
        }
        return false;
    }

private:
    // The first (or last) bytes of the characters that lower-case to the character and compare
    // in place.
    static std::vector<uchar> endBytes(char32_t c, bool lead)
    {
        std::vector<char32_t> characters;
        if (c >= 0x10000) {
            characters.push_back(c);
        } else {
            const UnitCase& cases = UnitCase::instance();
            for (const char16_t unit : cases.unitsLoweringTo(char16_t(c))) {
                if (!QChar::isSurrogate(unit) && cases.regularInUtf8(unit))
                    characters.push_back(unit);
            }
        }
        std::vector<uchar> bytes;
        for (const char32_t character : characters) {
            const QByteArray utf8 = QString::fromUcs4(&character, 1).toUtf8();
            const uchar b = uchar(lead ? utf8.front() : utf8.back());
            if (std::find(bytes.begin(), bytes.end(), b) == bytes.end())
                bytes.push_back(b);
        }
        return bytes;
    }

    bool matchesAt(const char* at) const
    {
        if (ascii_) {
            // A character outside ASCII never lower-cases into it here: its bytes never compare equal.
            for (size_t j = 1; j + 1 < bytes_.size(); ++j) {
                const auto b = uchar(at[j]);
                if ((b < 0x80 ? lower_[b] : b) != uchar(bytes_[j]))
                    return false;
            }
            return true;
        }
        for (const auto& [c, length] : characters_) {
            if (leadLength(uchar(*at)) != length)
                return false;
            const char32_t t = Utf8Text::next(at);
            if ((t < 0x10000 ? lower_[t] : t) != c)
                return false;
        }
        return true;
    }

    std::vector<char> bytes_;
    std::vector<std::pair<char32_t, int>> characters_; // each with its length in bytes
    const char16_t* lower_;
    bool ascii_ = true;
    bool possible_ = true;
    int alternatives_ = 1;
    std::array<uchar, maxAlternatives> first_{}, last_{};
    std::array<bool, 256> firstSet_{}, lastSet_{};
};

// A query in both forms: in UTF-16 for the short fields and the lower-cased search texts, in
// UTF-8 for text and Markdown (none for a query UTF-8 cannot hold, which then reads them as
// UTF-16).
struct SearchIndex::Query {
    explicit Query(const QString& query)
        : utf16(query)
    {
        if (!Text::hasLoneSurrogate(query))
            utf8.emplace(query);
    }
    Needle utf16;
    std::optional<Utf8Needle> utf8;
};

SearchIndex::Entry SearchIndex::entryFor(const Selection& s, uint64_t* fingerprint)
{
    Entry e{s.text, QString(), textIn(s.markdown, s.text), false, s.markdown, s.appName, s.sourceURL, s.filePath, s.id};
    const UnitCase& cases = UnitCase::instance();
    const std::array<QStringView, 3> shortFields{s.appName, optionalView(s.sourceURL), optionalView(s.filePath)};
    FingerprintWriter writer(fingerprint);
    bool unsettled = false;
    bool inPlace = s.text.isUtf8() && s.markdown.isUtf8() && addInPlace(s.text.utf8(), cases, writer, unsettled);
    if (inPlace) {
        writer.add(u'\n');
        const std::string_view markdown = s.markdown.utf8();
        if (e.textInMarkdown >= 0) {
            const size_t textEnd = size_t(e.textInMarkdown + s.text.byteSize());
            inPlace = addInPlace(markdown.substr(0, size_t(e.textInMarkdown)), cases, writer, unsettled);
            if (inPlace) {
                writer.addAgain(s.text.utf8(), cases);
                inPlace = addInPlace(markdown.substr(textEnd), cases, writer, unsettled);
            }
        } else {
            inPlace = addInPlace(markdown, cases, writer, unsettled);
        }
    }
    for (size_t i = 0; inPlace && i < shortFields.size(); ++i) {
        writer.add(u'\n');
        inPlace = addInPlace(shortFields[i], cases, writer, unsettled);
    }
    // Most captures with a combining mark are in NFC all the same (the marks of scripts without
    // composed letters), and are compared in place; the others keep their search text.
    if (inPlace && unsettled)
        inPlace = lowerCaseIsNormalized(s);
    if (!inPlace) {
        e.lowered = SortModes::searchText(s);
        std::fill(fingerprint, fingerprint + fingerprintWords, 0);
        FingerprintWriter whole(fingerprint);
        for (QChar c : std::as_const(e.lowered))
            whole.add(c.unicode());
    }
    return e;
}

qsizetype SearchIndex::units(const Entry& e)
{
    if (!e.lowered.isNull())
        return e.lowered.size();
    return e.text.byteSize() + e.markdown.byteSize() - (e.textInMarkdown >= 0 ? e.text.byteSize() : 0)
        + e.appName.size() + (e.sourceURL ? e.sourceURL->size() : 0) + (e.filePath ? e.filePath->size() : 0);
}

void SearchIndex::rebuild(const SelectionList& selections, const std::atomic<bool>* stop)
{
    QHash<QUuid, size_t> previous;
    previous.reserve(qsizetype(entries_.size()));
    for (size_t i = 0; i < entries_.size(); ++i) {
        if (!entries_[i].erased)
            previous.insert(entries_[i].id, i);
    }

    // Each capture's entry is made on its own: the places are made first, then filled on several
    // threads, a share of the library each.
    const size_t n = size_t(selections.size());
    BlockVector<Entry> entries;
    BlockVector<Head> heads;
    Fingerprints fingerprints;
    for (size_t i = 0; i < n; ++i) {
        entries.emplace_back();
        heads.emplace_back();
        fingerprints.append({});
    }
    const size_t chunks = size_t(selections.chunkCount());
    std::vector<qsizetype> units(chunks, 0);
    std::atomic<bool> stopped = false;
    Parallel::forChunks(chunks, Parallel::threadsFor(n, 8192), [&](size_t, size_t begin, size_t end) {
        for (size_t chunk = begin; chunk < end; ++chunk) {
            size_t i = size_t(selections.chunkStart(qsizetype(chunk)));
            for (const Selection& s : selections.chunk(qsizetype(chunk))) {
                if (stop && stop->load(std::memory_order_relaxed)) {
                    stopped = true;
                    return;
                }
                const size_t at = i++;
                Entry& entry = entries[at];
                const auto old = previous.constFind(s.id);
                if (old != previous.cend()) {
                    const Entry& e = entries_[old.value()];
                    if (e.text.isSharedWith(s.text) && e.markdown.isSharedWith(s.markdown)
                        && sameString(e.appName, s.appName) && sameOptional(e.sourceURL, s.sourceURL)
                        && sameOptional(e.filePath, s.filePath)) {
                        fingerprints.put(at, fingerprints_.at(old.value()));
                        entry = e;
                        heads[at] = headOf(entry);
                        units[chunk] += SearchIndex::units(entry);
                        continue;
                    }
                }
                Fingerprint bits{};
                entry = entryFor(s, bits.data());
                heads[at] = headOf(entry);
                fingerprints.put(at, bits);
                units[chunk] += SearchIndex::units(entry);
            }
        }
    });
    if (stopped)
        return;
    entries_ = std::move(entries);
    heads_ = std::move(heads);
    fingerprints_ = std::move(fingerprints);
    erased_ = 0;
    liveUnits_ = std::accumulate(units.begin(), units.end(), qsizetype(0));
}

qsizetype SearchIndex::append(const Selection& selection)
{
    Fingerprint bits{};
    entries_.push_back(entryFor(selection, bits.data()));
    heads_.push_back(headOf(entries_.back()));
    fingerprints_.append(bits);
    liveUnits_ += units(entries_.back());
    return qsizetype(entries_.size()) - 1;
}

void SearchIndex::erase(qsizetype position)
{
    Entry& e = entries_[size_t(position)];
    if (e.erased)
        return;
    liveUnits_ -= units(e);
    e.erased = true;
    // No query passes an empty fingerprint, so a scan need not read the entry to pass it over.
    fingerprints_.put(size_t(position), {});
    heads_[size_t(position)] = Head();
    e.text = e.markdown = Utf8Text();
    e.appName = e.lowered = QString();
    e.sourceURL.reset();
    e.filePath.reset();
    ++erased_;
}

qsizetype SearchIndex::textIn(const Utf8Text& markdown, const Utf8Text& text)
{
    if (markdown.isSharedWith(text))
        return 0;
    if (text.isEmpty() || !text.isUtf8() || !markdown.isUtf8() || markdown.byteSize() < text.byteSize())
        return -1;
    const size_t at = markdown.utf8().find(text.utf8());
    return at == std::string_view::npos ? -1 : qsizetype(at);
}

bool SearchIndex::occursIn(const Utf8Text& field, const Query& query)
{
    if (query.utf8 && field.isUtf8())
        return query.utf8->occursIn(field.utf8());
    return query.utf16.occursInFolding(field.toString());
}

bool SearchIndex::markdownMatches(const Entry& e, const Query& query)
{
    if (e.textInMarkdown < 0 || !query.utf8)
        return occursIn(e.markdown, query);
    // Asked after the text, which did not match: only a match that begins before the Markdown's
    // copy of the text or ends after it is left.
    const std::string_view markdown = e.markdown.utf8();
    const qsizetype reach = query.utf8->size() - 1;
    const qsizetype before = e.textInMarkdown + reach;
    const qsizetype after = e.textInMarkdown + e.text.byteSize() - reach;
    if (after <= before)
        return query.utf8->occursIn(markdown);
    return query.utf8->occursIn(markdown.substr(0, size_t(std::min(before, qsizetype(markdown.size())))))
        || query.utf8->occursIn(markdown.substr(size_t(after)));
}

bool SearchIndex::entryMatches(const Entry& e, const Query& query, QString& joined)
{
    if (e.erased)
        return false;
    const Needle& needle = query.utf16;
    if (!e.lowered.isNull())
        return needle.occursInLowered(e.lowered);
    if (needle.holdsLineFeed()) {
        // The match may run across the fields, as it would in the search text that joins them.
        joined.resize(0);
        joined.append(e.text.toString()).append(u'\n').append(e.markdown.toString()).append(u'\n');
        joined.append(e.appName).append(u'\n');
        if (e.sourceURL)
            joined.append(*e.sourceURL);
        joined.append(u'\n');
        if (e.filePath)
            joined.append(*e.filePath);
        return needle.occursInFolding(joined);
    }
    // No character lower-cases to the line feed that joins the fields, so a match without one lies
    // within a field.
    return occursIn(e.text, query) || restMatches(e, query);
}

bool SearchIndex::restMatches(const Entry& e, const Query& query)
{
    const Needle& needle = query.utf16;
    return markdownMatches(e, query) || needle.occursInFolding(e.appName)
        || needle.occursInFolding(optionalView(e.sourceURL)) || needle.occursInFolding(optionalView(e.filePath));
}

SearchIndex::Head SearchIndex::headOf(const Entry& e)
{
    static_assert(sizeof(Head) == 128, "two cache lines, most of them the copied start");
    // A capture searched in its lower-cased search text, or in UTF-16, is compared by entryMatches.
    if (!e.lowered.isNull() || !e.text.isUtf8())
        return {};
    Head head{e.text.utf8().data(), e.text.byteSize()};
    const std::string_view text = e.text.utf8();
    size_t cut = std::min(text.size(), head.prefix.size());
    while (cut < text.size() && leadLength(uchar(text[cut])) == 0)
        --cut;
    std::copy_n(text.data(), cut, head.prefix.data());
    head.prefixSize = uint8_t(cut);
    return head;
}

QList<qsizetype> SearchIndex::matching(const QString& query, const QList<qsizetype>* among) const
{
    const size_t count = among ? size_t(among->size()) : entries_.size();
    const auto positionAt = [&](size_t k) { return among ? size_t((*among)[qsizetype(k)]) : k; };
    if (query.isEmpty()) {
        QList<qsizetype> result;
        for (size_t k = 0; k < count; ++k) {
            if (!entries_[positionAt(k)].erased)
                result.append(qsizetype(positionAt(k)));
        }
        return result;
    }
    // In NFC and folded, as the search texts are compared.
    const Query needle(Text::canonical(SortModes::searchFolded(query)));
    // How much the scan may read decides how many threads it is worth; it is shared out in more
    // pieces than threads, so that a thread the machine keeps waiting holds up little of it.
    const size_t live = entries_.size() - size_t(erased_);
    const size_t units = live > 0 ? size_t(liveUnits_) / live * count : 0;
    const size_t threads = Parallel::threadsFor(units, unitsPerThread);
    const size_t pieces = threads == 1 ? 1 : std::min(count / minimumPiece + 1, threads * piecesPerThread);
    std::vector<QList<qsizetype>> found(pieces);
    Parallel::forPieces(count, pieces, threads, [&](size_t piece, size_t begin, size_t end) {
        found[piece] = scan(needle, positionAt, begin, end);
    });
    QList<qsizetype> result = std::move(found[0]);
    qsizetype total = 0;
    for (const QList<qsizetype>& hits : found)
        total += hits.size();
    result.reserve(total);
    for (size_t piece = 1; piece < found.size(); ++piece)
        result.append(found[piece]);
    return result;
}

template<typename PositionAt>
QList<qsizetype> SearchIndex::scan(const Query& query, PositionAt positionAt, size_t begin, size_t end) const
{
    QList<qsizetype> hits;
    const Needle& needle = query.utf16;
    if (needle.exact()) {
        for (size_t k = begin; k < end; ++k) {
            const size_t i = positionAt(k);
            if (needle.mayOccurIn(fingerprints_, i))
                hits.append(qsizetype(i));
        }
        return hits;
    }
    // A capture that its head does not answer waits in line until the memory it is compared in
    // has come: its text is asked for when it joins the line, and compared lookAhead captures
    // later. One the head answers joins the line too, so that the hits stay in order.
    constexpr size_t matched = size_t(1) << 63;
    std::array<size_t, lookAhead + 1> line;
    size_t joined = 0, compared = 0;
    QString joinedText;
    // Without a line feed, a match in the text is one in the search text.
    const bool inText = query.utf8 && !needle.holdsLineFeed();
    const auto compareNext = [&] {
        const size_t waiting = line[compared++ % line.size()];
        const size_t i = waiting & ~matched;
        bool hit = waiting & matched;
        if (!hit) {
            const Head& head = heads_[i];
            if (inText && head.inPlaceSize >= 0)
                hit = query.utf8->occursIn(head.unread(query.utf8->size())) || restMatches(entries_[i], query);
            else
                hit = entryMatches(entries_[i], query, joinedText);
        }
        if (hit)
            hits.append(qsizetype(i));
    };
    for (size_t k = begin; k < end; ++k) {
        const size_t i = positionAt(k);
        if (!needle.mayOccurIn(fingerprints_, i))
            continue;
        const Head& head = heads_[i];
        if (inText && head.inPlaceSize >= 0 && query.utf8->occursIn(head.prefixView())) {
            if (joined == compared) {
                hits.append(qsizetype(i));
                continue;
            }
            line[joined++ % line.size()] = i | matched;
        } else {
            if (inText && head.inPlaceSize >= 0) {
                const std::string_view unread = head.unread(query.utf8->size());
                for (size_t at = 0; at < std::min(unread.size(), prefetchBytes); at += 64)
                    __builtin_prefetch(unread.data() + at);
            } else {
                __builtin_prefetch(&entries_[i]);
            }
            line[joined++ % line.size()] = i;
        }
        if (joined - compared > lookAhead)
            compareNext();
    }
    while (compared < joined)
        compareNext();
    return hits;
}

bool SearchIndex::matches(qsizetype position, const QString& query) const
{
    const QList<qsizetype> one{position};
    return !matching(query, &one).isEmpty();
}

} // namespace vellicord
