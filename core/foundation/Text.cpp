#include "core/foundation/Text.h"

#include <QHash>
#include <QList>
#include <QStringDecoder>
#include <QTextBoundaryFinder>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <type_traits>
#include <vector>

namespace vellicord::Text {

namespace {

// The characters NFC may change or move, or join to the character before them: combining marks,
// characters NFC replaces, and the second characters of compositions (a combining class other than
// 0, or NFC_Quick_Check other than Yes); and surrogate units, for which their pair's character
// answers. Taken once from Qt's own normalisation, so that the two agree. Below U+0300 there are
// none.
class NormalizationTable {
public:
    static const NormalizationTable& instance()
    {
        static const NormalizationTable table;
        return table;
    }

    bool marks(char32_t c) const
    {
        if (c < tableEnd)
            return bits_[c >> 6] >> (c & 63) & 1;
        return QChar::combiningClass(c) != 0 || QChar::decompositionTag(c) == QChar::Canonical;
    }

    // Whether it marks one of the units, which need not be whole characters; without a branch per
    // unit, which the processor could not predict.
    template<typename Count> bool marksAny(const char16_t* units, Count count) const
    {
        uint64_t marked = 0;
        for (qsizetype k = 0; k < count; ++k)
            marked |= bits_[units[k] >> 6] >> (units[k] & 63);
        return marked & 1;
    }

private:
    // Planes 0 to 2, which hold every character that has a decomposition or is part of one; any
    // beyond is looked up.
    static constexpr char32_t tableEnd = 0x30000;

    NormalizationTable()
    {
        std::vector<char32_t> decomposable;
        for (char32_t c = 0x0300; c < tableEnd; ++c) {
            if (QChar::isSurrogate(c))
                set(c);
            else if (QChar::combiningClass(c) != 0)
                set(c);
            else if (QChar::decompositionTag(c) == QChar::Canonical && !isHangulSyllable(c))
                decomposable.push_back(c);
        }
        // Those NFC replaces (singletons, exclusions), told by normalising all of them at once,
        // each on a line of its own: a line feed neither combines nor moves.
        QString all;
        all.reserve(qsizetype(decomposable.size()) * 3);
        for (const char32_t c : decomposable)
            all.append(QChar::fromUcs4(c)).append(u'\n');
        const QString normal = all.normalized(QString::NormalizationForm_C);
        qsizetype at = 0;
        for (const char32_t c : decomposable) {
            const qsizetype end = normal.indexOf(u'\n', at);
            if (QStringView(normal).sliced(at, end - at) != QStringView(QChar::fromUcs4(c)))
                set(c);
            at = end + 1;
        }
        // The second of two characters a character decomposes into may join the first.
        for (const char32_t c : decomposable) {
            const QList<uint> parts = QChar::decomposition(c).toUcs4();
            if (parts.size() == 2)
                set(parts[1]);
        }
        // Hangul syllables compose by rule: a vowel joins a leading consonant, a trailing
        // consonant joins a syllable.
        for (char32_t c = 0x1161; c <= 0x1175; ++c)
            set(c);
        for (char32_t c = 0x11A8; c <= 0x11C2; ++c)
            set(c);
    }

    static bool isHangulSyllable(char32_t c) { return c >= 0xAC00 && c <= 0xD7A3; }
    void set(char32_t c)
    {
        if (c < tableEnd)
            bits_[c >> 6] |= uint64_t(1) << (c & 63);
    }

    std::array<uint64_t, tableEnd / 64> bits_{};
};

// Calls look(count) with the count a constant when it is a whole stretch or block, so that the
// compiler compares that many units at once.
constexpr qsizetype stretch = 64, block = 16;
template<typename Look> bool withCount(qsizetype count, Look look)
{
    if (count == stretch)
        return look(std::integral_constant<qsizetype, stretch>());
    if (count == block)
        return look(std::integral_constant<qsizetype, block>());
    return look(count);
}

// Whether the text is in NFC as it stands, told by a look at each unit: nearly every text is, and
// only text with a combining mark, or a character NFC replaces or joins, needs the normalisation
// itself to say.
bool isPlainlyNormalized(QStringView text)
{
    const char16_t* p = text.utf16();
    const qsizetype n = text.size();
    const auto latin1 = [p](qsizetype at, auto count) {
        char16_t any = 0;
        for (qsizetype k = 0; k < count; ++k)
            any |= p[at + k];
        return any < 0x100;
    };
    // Most text has few units from U+0300 on, or none: a stretch of Latin-1 is passed over at once,
    // and a block of other units after a look at each in the table.
    const NormalizationTable* table = nullptr;
    qsizetype i = 0;
    while (i < n) {
        const qsizetype end = std::min(i + stretch, n);
        if (withCount(end - i, [&](auto count) { return latin1(i, count); })) {
            i = end;
            continue;
        }
        if (!table)
            table = &NormalizationTable::instance();
        while (i < end) {
            const qsizetype blockEnd = std::min(i + block, end);
            if (withCount(blockEnd - i,
                          [&](auto count) { return latin1(i, count) || !table->marksAny(p + i, count); })) {
                i = blockEnd;
                continue;
            }
            for (; i < blockEnd; ++i) {
                const char16_t u = p[i];
                if (!table->marks(u))
                    continue;
                if (!QChar::isHighSurrogate(u) || i + 1 == n || !QChar::isLowSurrogate(p[i + 1])
                    || table->marks(QChar::surrogateToUcs4(u, p[i + 1])))
                    return false;
                ++i; // past its pair, which may begin the next block
            }
        }
    }
    return true;
}

} // namespace

namespace {

// A character that forms a grapheme cluster of its own next to any other such character (the
// one exception being a carriage return followed by a line feed): everything below U+0300 but
// the two symbols that can start an emoji sequence; Greek; Cyrillic letters; general punctuation
// and currency signs except the two joiners; CJK punctuation, kana and ideographs except the
// kana voicing marks. Between two of them a cluster boundary is certain, so the full
// segmentation rules are needed only around others.
bool isSimple(char16_t u)
{
    if (u < 0x0300)
        return u != 0xA9 && u != 0xAE;
    if (u >= 0x0370 && u <= 0x03FF)
        return true;
    if ((u >= 0x0400 && u <= 0x0482) || (u >= 0x048A && u <= 0x052F))
        return true;
    if (u >= 0x2000 && u <= 0x20CF)
        return u != 0x200C && u != 0x200D;
    if (u >= 0x3000 && u <= 0x30FF)
        return !(u >= 0x302A && u <= 0x302F) && u != 0x3099 && u != 0x309A;
    return u >= 0x4E00 && u <= 0x9FFF;
}

bool certainBoundaryBetween(char16_t before, char16_t after)
{
    return isSimple(before) && isSimple(after) && !(before == u'\r' && after == u'\n');
}

// Whether the unit begins a character of a script whose clusters Qt finds by rules of the script's
// own (Thai, Khmer, Myanmar, the Indic scripts...). Generously: Devanagari to Myanmar, Tagalog to
// Lepcha, Syloti Nagri to Meetei Mayek, and U+11000 to U+11FFF (high surrogates D804 to D807).
bool beginsTailoredScript(char16_t u)
{
    return (u >= 0x900 && u <= 0x109F) || (u >= 0x1700 && u <= 0x1C4F) || (u >= 0xA800 && u <= 0xABFF)
        || (u >= 0xD804 && u <= 0xD807);
}

bool hasScriptTailoring(QStringView text)
{
    return std::any_of(text.begin(), text.end(), [](QChar c) { return beginsTailoredScript(c.unicode()); });
}

// Calls onEnd with the offset past each cluster, in order, for text with no script Qt tailors.
template<typename OnEnd> void forEachPlainGraphemeEnd(QStringView text, OnEnd&& onEnd)
{
    const qsizetype n = text.size();
    const char16_t* data = reinterpret_cast<const char16_t*>(text.data());
    qsizetype i = 0;
    while (i < n) {
        if (i + 1 == n && isSimple(data[i])) {
            onEnd(n);
            return;
        }
        if (i + 1 < n && certainBoundaryBetween(data[i], data[i + 1])) {
            onEnd(++i);
            continue;
        }
        if (i + 1 < n && data[i] == u'\r' && data[i + 1] == u'\n') {
            i += 2;
            onEnd(i);
            continue;
        }
        // A stretch that needs the full rules, up to the next certain boundary.
        qsizetype end = i + 1;
        while (end < n && !certainBoundaryBetween(data[end - 1], data[end]))
            ++end;
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data() + i, end - i);
        qsizetype boundary;
        while ((boundary = finder.toNextBoundary()) != -1) {
            if (boundary > 0)
                onEnd(i + boundary);
        }
        i = end;
    }
}

// The end of a stretch of script that starts at `i`: its letters, with the spaces, digits and
// punctuation between them and the joiners after a virama (which ask for a letter's half form),
// up to its last letter. A line break ends it.
qsizetype scriptStretchEnd(const char16_t* data, qsizetype n, qsizetype i)
{
    constexpr int viramaClass = 9;
    qsizetype end = i;
    for (qsizetype k = i; k < n;) {
        const char16_t u = data[k];
        if (beginsTailoredScript(u)) {
            k += QChar::isHighSurrogate(u) && k + 1 < n && QChar::isLowSurrogate(data[k + 1]) ? 2 : 1;
            end = k;
        } else if ((isSimple(u) && u != u'\r' && u != u'\n')
                   || ((u == 0x200C || u == 0x200D) && QChar::combiningClass(data[k - 1]) == viramaClass)) {
            ++k;
        } else {
            break;
        }
    }
    return end;
}

char32_t codePointAt(const char16_t* data, qsizetype n, qsizetype i)
{
    if (QChar::isHighSurrogate(data[i]) && i + 1 < n && QChar::isLowSurrogate(data[i + 1]))
        return QChar::surrogateToUcs4(data[i], data[i + 1]);
    return data[i];
}

char32_t codePointBefore(const char16_t* data, qsizetype i)
{
    if (QChar::isLowSurrogate(data[i - 1]) && i >= 2 && QChar::isHighSurrogate(data[i - 2]))
        return QChar::surrogateToUcs4(data[i - 2], data[i - 1]);
    return data[i - 1];
}

// Whether the character at `at` joins the one before it, where a piece of text begins (below): a
// stretch of script, or a run of regional indicators. There no rule that looks further back applies
// (an emoji joined by ZWJ to one before, a regional indicator paired with one before), and the
// common rules decide by the two characters alone; Qt answers them without its script rules when a
// letter of the script stands in as a Latin letter, and a mark of it as a combining accent.
bool joinsAcross(const char16_t* data, qsizetype n, qsizetype at)
{
    const auto standIn = [](char32_t c) -> char32_t {
        if (c > 0xFFFF ? !beginsTailoredScript(QChar::highSurrogate(c)) : !beginsTailoredScript(char16_t(c)))
            return c;
        const QChar::Category category = QChar::category(c);
        const bool mark = category == QChar::Mark_NonSpacing || category == QChar::Mark_SpacingCombining
            || category == QChar::Mark_Enclosing || c == 0x0E33 || c == 0x0EB3;
        return mark ? U'\u0301' : U'a';
    };
    const char32_t pair[] = {standIn(codePointBefore(data, at)), standIn(codePointAt(data, n, at))};
    // The same few pairs meet again and again (a letter and an emoji), and asking Qt costs a
    // finder: the answers are kept, a pair in each slot of a small table.
    struct Answer {
        char32_t left = 0, right = 0;
        bool joins = false;
    };
    thread_local std::array<Answer, 256> answers;
    Answer& answer = answers[(pair[0] * 31 + pair[1]) % answers.size()];
    if (answer.left != pair[0] || answer.right != pair[1]) {
        const QString text = QString::fromUcs4(pair, 2);
        QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text);
        finder.setPosition(pair[0] > 0xFFFF ? 2 : 1);
        answer = {pair[0], pair[1], !finder.isAtBoundary()};
    }
    return answer.joins;
}

bool isRegionalIndicator(const char16_t* data, qsizetype n, qsizetype i)
{
    return i >= 0 && i + 1 < n && data[i] == 0xD83C && data[i + 1] >= 0xDDE6 && data[i + 1] <= 0xDDFF;
}

// Where the piece of text that starts at `i` ends: a stretch of a script Qt tailors, or other text
// up to the next such stretch or the next run of regional indicators.
qsizetype pieceEnd(const char16_t* data, qsizetype n, qsizetype i)
{
    if (beginsTailoredScript(data[i]))
        return scriptStretchEnd(data, n, i);
    qsizetype end = i + 1;
    for (; end < n; ++end) {
        const char16_t u = data[end];
        if (u >= 0x900
            && (beginsTailoredScript(u)
                || (isRegionalIndicator(data, n, end) && !isRegionalIndicator(data, n, end - 2))))
            break;
    }
    return end;
}

// Calls onEnd with the offset past each cluster, in order. Qt finds clusters in a script it tailors
// by the script's rules over a whole run of it, and the run takes in the characters of no script
// next to it (emoji and their modifiers, joiners and selectors, flags, symbols), which those rules
// then cut after every code unit, a surrogate pair in two. And after an emoji, Qt pairs the
// regional indicators of a flag wrongly. So the text is segmented in pieces: Qt's script rules see
// only the stretches of the script itself, a run of regional indicators is paired from its start,
// and the common rules say whether a piece's first character joins the piece before.
template<typename OnEnd> void forEachGraphemeEnd(QStringView text, OnEnd&& onEnd)
{
    const qsizetype n = text.size();
    const char16_t* data = reinterpret_cast<const char16_t*>(text.data());
    // The last end found is held back until it is known whether a character joins across it.
    qsizetype held = 0;
    const auto found = [&](qsizetype end) {
        if (held > 0)
            onEnd(held);
        held = end;
    };
    for (qsizetype i = 0, end = 0; i < n; i = end) {
        end = pieceEnd(data, n, i);
        if (i == 0 && end == n && !beginsTailoredScript(data[0])) {
            forEachPlainGraphemeEnd(text, onEnd);
            return;
        }
        if (i > 0 && joinsAcross(data, n, i))
            held = 0;
        if (beginsTailoredScript(data[i])) {
            QTextBoundaryFinder finder(QTextBoundaryFinder::Grapheme, text.data() + i, end - i);
            for (qsizetype boundary; (boundary = finder.toNextBoundary()) != -1;) {
                if (boundary > 0)
                    found(i + boundary);
            }
        } else {
            forEachPlainGraphemeEnd(text.sliced(i, end - i), [&](qsizetype e) { found(i + e); });
        }
    }
    if (held > 0)
        onEnd(held);
}

} // namespace

qsizetype graphemeCount(QStringView text)
{
    const qsizetype n = text.size();
    const char16_t* data = reinterpret_cast<const char16_t*>(text.data());
    if (hasScriptTailoring(text)) {
        qsizetype count = 0;
        forEachGraphemeEnd(text, [&count](qsizetype) { ++count; });
        return count;
    }
    // Runs of simple characters are counted in one go; each run's last character joins the
    // stretch after it, which may attach a mark to it, and a carriage return goes along with the
    // line feed after it.
    qsizetype count = 0;
    qsizetype i = 0;
    while (i < n) {
        const qsizetype start = i;
        qsizetype pairs = 0;
        while (i < n && isSimple(data[i])) {
            pairs += (data[i] == u'\r' && i + 1 < n && data[i + 1] == u'\n') ? 1 : 0;
            ++i;
        }
        if (i == n) {
            count += (n - start) - pairs;
            break;
        }
        qsizetype stretchStart = i > start ? i - 1 : i;
        if (stretchStart > start && data[stretchStart] == u'\n' && data[stretchStart - 1] == u'\r') {
            --stretchStart;
            --pairs;
        }
        count += (stretchStart - start) - pairs;
        qsizetype end = stretchStart + 1;
        while (end < n && !certainBoundaryBetween(data[end - 1], data[end]))
            ++end;
        forEachGraphemeEnd(text.sliced(stretchStart, end - stretchStart), [&count](qsizetype) { ++count; });
        i = end;
    }
    return count;
}

qsizetype graphemeCountAfterEdit(QStringView before, qsizetype beforeCount, QStringView after)
{
    const qsizetype prefix = sharedPrefixLength(before, after);
    if (prefix == before.size() && prefix == after.size())
        return beforeCount;
    const qsizetype suffix = sharedSuffixLength(before.sliced(prefix), after.sliced(prefix));
    // From just after the last line feed of the shared start to just after the first line feed of
    // the shared end: outside that the two texts have the same lines, counted the same.
    const qsizetype start = before.first(prefix).lastIndexOf(u'\n') + 1;
    qsizetype beforeEnd = before.size();
    qsizetype afterEnd = after.size();
    if (const qsizetype lineFeed = before.indexOf(u'\n', before.size() - suffix); lineFeed >= 0) {
        beforeEnd = lineFeed + 1;
        afterEnd = beforeEnd - (before.size() - after.size());
    }
    return beforeCount - graphemeCount(before.sliced(start, beforeEnd - start))
        + graphemeCount(after.sliced(start, afterEnd - start));
}

bool hasComplexGraphemes(QStringView text)
{
    for (QChar c : text) {
        if (!isSimple(c.unicode()))
            return true;
    }
    return false;
}

std::vector<qsizetype> graphemeEnds(QStringView text)
{
    std::vector<qsizetype> ends;
    ends.reserve(size_t(text.size()));
    forEachGraphemeEnd(text, [&ends](qsizetype end) { ends.push_back(end); });
    return ends;
}

QString trimmed(const QString& text)
{
    return text.trimmed();
}

bool isBlank(QStringView text)
{
    for (QChar c : text) {
        if (!isWhiteSpace(c.unicode()))
            return false;
    }
    return true;
}

QString trimmedHorizontally(const QString& text)
{
    // Every space separator lies in the Basic Multilingual Plane, so code units are characters here.
    const auto horizontal = [](QChar c) { return c == u'\t' || c.category() == QChar::Separator_Space; };
    qsizetype start = 0, end = text.size();
    while (start < end && horizontal(text[start]))
        ++start;
    while (end > start && horizontal(text[end - 1]))
        --end;
    return start == 0 && end == text.size() ? text : text.sliced(start, end - start);
}

QString canonical(const QString& text)
{
    return isPlainlyNormalized(text) ? text : text.normalized(QString::NormalizationForm_C);
}

namespace {

// Long enough that the call costs little against the comparison, short enough that the first
// difference is found soon after.
constexpr qsizetype comparedBlock = 256;

} // namespace

qsizetype sharedPrefixLength(QStringView a, QStringView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    const char16_t* x = a.utf16();
    const char16_t* y = b.utf16();
    if (x == y)
        return n;
    qsizetype i = 0;
    while (i + comparedBlock <= n && std::memcmp(x + i, y + i, comparedBlock * sizeof(char16_t)) == 0)
        i += comparedBlock;
    while (i < n && x[i] == y[i])
        ++i;
    return i;
}

qsizetype sharedSuffixLength(QStringView a, QStringView b)
{
    const qsizetype n = std::min(a.size(), b.size());
    const char16_t* x = a.utf16() + a.size();
    const char16_t* y = b.utf16() + b.size();
    if (x == y)
        return n;
    qsizetype i = 0;
    while (i + comparedBlock <= n
           && std::memcmp(x - i - comparedBlock, y - i - comparedBlock, comparedBlock * sizeof(char16_t)) == 0)
        i += comparedBlock;
    while (i < n && x[-i - 1] == y[-i - 1])
        ++i;
    return i;
}

bool equal(const QString& a, const QString& b)
{
    if (a == b)
        return true;
    const qsizetype prefix = sharedPrefixLength(a, b);
    return equal(a, b, prefix, sharedSuffixLength(QStringView(a).sliced(prefix), QStringView(b).sliced(prefix)));
}

bool equal(QStringView x, QStringView y, qsizetype prefix, qsizetype suffix)
{
    // Only where the two differ can they differ canonically. Both are cut before an ASCII
    // character of what they share at each end (nothing before such a character composes or is
    // reordered with anything after it), so that two long texts differing in a few characters, a
    // preview and its stored text, are normalised in those few only.
    qsizetype start = prefix - 1;
    while (start > 0 && x[start].unicode() >= 0x80)
        --start;
    start = std::max<qsizetype>(start, 0);
    qsizetype end = x.size() - suffix;
    while (end < x.size() && x[end].unicode() >= 0x80)
        ++end;
    const qsizetype shared = x.size() - end;
    const QStringView left = x.sliced(start, end - start);
    const QStringView right = y.sliced(start, y.size() - shared - start);
    if (left == right)
        return true;
    if (isPlainlyNormalized(left) && isPlainlyNormalized(right))
        return false;
    return canonical(left.toString()) == canonical(right.toString());
}

bool keepsCanonicalForm(char32_t c)
{
    return c < 0x0300 || !NormalizationTable::instance().marks(c);
}

size_t hash(const QString& text, size_t seed)
{
    return qHash(canonical(text), seed);
}

QString lowercased(const QString& text)
{
    return text.toLower();
}

bool hasLoneSurrogate(QStringView text)
{
    const qsizetype n = text.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = text[i];
        if (!c.isSurrogate())
            continue;
        if (c.isHighSurrogate() && i + 1 < n && text[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        return true;
    }
    return false;
}

QString repairingSurrogates(const QString& text)
{
    if (!hasLoneSurrogate(text))
        return text;
    QString out = text;
    const qsizetype n = out.size();
    for (qsizetype i = 0; i < n; ++i) {
        const QChar c = out[i];
        if (!c.isSurrogate())
            continue;
        if (c.isHighSurrogate() && i + 1 < n && out[i + 1].isLowSurrogate()) {
            ++i;
            continue;
        }
        out[i] = QChar(0xFFFD);
    }
    return out;
}

QString fromUtf8Prefix(const QByteArray& bytes)
{
    // A decoder that keeps state holds back the bytes of a character not yet complete.
    QStringDecoder decoder(QStringDecoder::Utf8, QStringDecoder::Flag::ConvertInitialBom);
    return decoder(bytes);
}

} // namespace vellicord::Text
