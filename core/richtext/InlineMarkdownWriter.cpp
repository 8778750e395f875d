#include "core/richtext/InlineMarkdownWriter.h"

#include "core/foundation/Text.h"

#include <cmark-gfm.h>

#include <algorithm>
#include <array>
#include <memory>
#include <span>
#include <string_view>

namespace vellicord {

namespace {

constexpr char16_t lineSeparator = 0x2028;

enum Marker : uint8_t { strong, emphasis, link };
enum Flag : uint8_t {
    strongFlag = InlineMarkdownWriter::bold,
    emphasisFlag = InlineMarkdownWriter::italic,
    linkFlag = 4
};

bool isWhiteSpace(QChar c)
{
    return Text::isWhiteSpace(c.unicode());
}

bool isAsciiLetter(char16_t c)
{
    return (c >= u'a' && c <= u'z') || (c >= u'A' && c <= u'Z');
}

bool isAsciiAlphanumeric(char16_t c)
{
    return isAsciiLetter(c) || (c >= u'0' && c <= u'9');
}

// The characters an e-mail address may start with before its "@" in an automatic link.
bool isEmailLocal(char16_t c)
{
    return isAsciiAlphanumeric(c)
        || (c < 128 && std::u16string_view(u".!#$%&'*+/=?^_`{|}~-").find(c) != std::u16string_view::npos);
}

bool alwaysEscaped(char16_t c)
{
    return c == u'\\' || c == u'*' || c == u'_' || c == u'`' || c == u'[' || c == u']';
}

// The character j places after a position in the text, looking on into what follows it.
class Ahead {
public:
    Ahead(QStringView text, QStringView following)
        : text_(text)
        , following_(following)
    {
    }
    char16_t operator[](qsizetype j) const
    {
        if (j < text_.size())
            return text_[j].unicode();
        j -= text_.size();
        return j < following_.size() ? following_[j].unicode() : char16_t(0);
    }

private:
    QStringView text_;
    QStringView following_;
};

// "<" starts an HTML tag, comment, declaration or processing instruction when a letter, "/",
// "!" or "?" follows, an automatic link when a scheme (a letter first) or an e-mail address
// follows. Anything else after it leaves it a less-than sign ("a < b", "x <= 5", "<3").
bool startsTagOrAutolink(const Ahead& at, qsizetype j)
{
    const char16_t c = at[j];
    if (isAsciiLetter(c) || c == u'/' || c == u'!' || c == u'?')
        return true;
    while (isEmailLocal(at[j]))
        ++j;
    return at[j] == u'@';
}

// "&" starts a character reference when letters or digits (after "#" for a numeric one) end
// in ";" within reach.
bool startsReference(const Ahead& at, qsizetype j)
{
    if (at[j] == u'#')
        ++j;
    int count = 0;
    while (count <= 32 && isAsciiAlphanumeric(at[j])) {
        ++j;
        ++count;
    }
    return count > 0 && at[j] == u';';
}

bool isSpaceOrTab(char16_t c)
{
    return c == u' ' || c == u'\t';
}

bool onlySpacesAndTabs(QStringView text)
{
    return std::all_of(text.begin(), text.end(), [](QChar c) { return isSpaceOrTab(c.unicode()); });
}

// A table's delimiter row ("|---|:-:|", ":--", "-|-"): under a line of as many cells it makes a
// table.
bool isDelimiterRow(QStringView line)
{
    const qsizetype n = line.size();
    qsizetype i = 0;
    const auto skipBlanks = [&] {
        while (i < n && isSpaceOrTab(line[i].unicode()))
            ++i;
    };
    if (i < n && line[i] == u'|')
        ++i;
    for (bool cells = false;; ++i) {
        skipBlanks();
        if (i == n)
            return cells;
        if (line[i] == u':')
            ++i;
        const qsizetype dashes = i;
        while (i < n && line[i] == u'-')
            ++i;
        if (i == dashes)
            return false;
        if (i < n && line[i] == u':')
            ++i;
        skipBlanks();
        cells = true;
        if (i == n)
            return true;
        if (line[i] != u'|')
            return false;
    }
}

// Where a backslash keeps a line of text from starting a block (a heading, quote, list item,
// thematic break, setext underline, fence or table delimiter row): the index to put it at, or -1
// for a line that starts none. The line has no leading blanks; white space at its end counts as
// gone, as the Markdown's last line loses it. A fence of tildes gets one before each of them
// (`count`): its last two alone would strike text through.
qsizetype blockStartEscape(QStringView line, qsizetype& count)
{
    count = 1;
    while (!line.isEmpty() && Text::isWhiteSpace(line.back().unicode()))
        line.chop(1);
    const qsizetype n = line.size();
    if (n == 0)
        return -1;
    const auto endsMarker = [&](qsizetype at) { return at == n || isSpaceOrTab(line[at].unicode()); };
    const auto runOf = [&](char16_t c) {
        qsizetype k = 0;
        while (k < n && line[k] == c)
            ++k;
        return k;
    };
    switch (line[0].unicode()) {
    case u'>': return 0;
    case u'#': {
        const qsizetype hashes = runOf(u'#');
        return hashes <= 6 && endsMarker(hashes) ? 0 : -1;
    }
    case u'+': return endsMarker(1) ? 0 : -1;
    case u'-':
        if (endsMarker(1)
            || std::all_of(line.begin(), line.end(), [](QChar c) { return c == u'-' || isSpaceOrTab(c.unicode()); }))
            return 0;
        return isDelimiterRow(line) ? 0 : -1;
    case u'=': return onlySpacesAndTabs(line.sliced(runOf(u'='))) ? 0 : -1;
    case u'~': count = runOf(u'~'); return count >= 3 ? 0 : -1;
    case u'|':
    case u':': return isDelimiterRow(line) ? 0 : -1;
    default: break;
    }
    // An ordered list item: up to nine digits, then "." or ")".
    qsizetype digits = 0;
    while (digits < n && digits < 10 && line[digits] >= u'0' && line[digits] <= u'9')
        ++digits;
    if (digits > 0 && digits < 10 && digits < n && (line[digits] == u'.' || line[digits] == u')')
        && endsMarker(digits + 1))
        return digits;
    return -1;
}

// Escapes the lines starting at these positions (ascending) that would start a block, in one
// pass however many lines there are; where the backslashes went, ascending.
std::vector<qsizetype> escapeBlockStarts(QString& out, std::span<const qsizetype> lineStarts)
{
    std::vector<qsizetype> escapes;
    for (const qsizetype start : lineStarts) {
        qsizetype end = out.indexOf(u'\n', start);
        if (end < 0)
            end = out.size();
        qsizetype count = 1;
        const qsizetype offset = blockStartEscape(QStringView(out).sliced(start, end - start), count);
        for (qsizetype k = 0; offset >= 0 && k < count; ++k)
            escapes.push_back(start + offset + k);
    }
    if (escapes.empty())
        return escapes;
    QString escaped;
    escaped.reserve(out.size() + qsizetype(escapes.size()));
    qsizetype copied = 0;
    for (const qsizetype at : escapes) {
        escaped += QStringView(out).sliced(copied, at - copied);
        escaped += u'\\';
        copied = at;
    }
    escaped += QStringView(out).sliced(copied);
    out = std::move(escaped);
    return escapes;
}

// How CommonMark classes the neighbours of a run of markers.
enum class Neighbour { space, punctuation, other };

char32_t codePointBefore(const QString& text, qsizetype i)
{
    const char16_t low = text[i - 1].unicode();
    if (QChar::isLowSurrogate(low) && i >= 2 && QChar::isHighSurrogate(text[i - 2].unicode()))
        return QChar::surrogateToUcs4(text[i - 2].unicode(), low);
    return low;
}

char32_t codePointAt(const QString& text, qsizetype i)
{
    const char16_t high = text[i].unicode();
    if (QChar::isHighSurrogate(high) && i + 1 < text.size() && QChar::isLowSurrogate(text[i + 1].unicode()))
        return QChar::surrogateToUcs4(high, text[i + 1].unicode());
    return high;
}

Neighbour classify(char32_t c)
{
    // CommonMark's white space is the Zs category with tab, line feed, form feed and carriage
    // return; its punctuation ASCII punctuation and the P categories.
    if (c == 0x09 || c == 0x0A || c == 0x0C || c == 0x0D || QChar::category(c) == QChar::Separator_Space)
        return Neighbour::space;
    if (c < 128)
        return (c > 0x20 && c < 0x7F && !isAsciiAlphanumeric(char16_t(c))) ? Neighbour::punctuation : Neighbour::other;
    return QChar::isPunct(c) ? Neighbour::punctuation : Neighbour::other;
}

// A run of one or two tildes strikes the text through up to another such run, unless white space
// stands on both sides of it (longer runs strike nothing): such a run is written escaped. What
// stands before it is what was written last, markers included. A reader with strikethrough looks
// past a run of tildes for a marker's neighbour, so that a marker right beside one may not be
// read as a marker: a run of any length next to a marker is escaped too. Returns where the run
// ends.
qsizetype appendTildes(QString& out, QStringView text, const Ahead& at, qsizetype i, bool markerMayFollow)
{
    qsizetype end = i;
    while (end < text.size() && text[end] == u'~')
        ++end;
    const bool spaceBefore = out.isEmpty() || classify(codePointBefore(out, out.size())) == Neighbour::space;
    const bool spaceAfter = at[end] == 0 || classify(at[end]) == Neighbour::space;
    const bool pairs = end - i <= 2 && !(spaceBefore && spaceAfter);
    const bool afterMarker = i == 0 && !out.isEmpty() && (out.back() == u'*' || out.back() == u'_');
    const bool beforeMarker = markerMayFollow && end == text.size();
    for (qsizetype k = i; k < end; ++k) {
        if (pairs || afterMarker || beforeMarker)
            out += u'\\';
        out += u'~';
    }
    return end;
}

} // namespace

struct InlineMarkdownWriter::Plan {
    std::vector<unsigned> traits; // by piece
    bool noEmphasis = false;
    // Emphasis written with underscores: where asterisk runs would merge ("**a***b**c***"), the
    // two kinds of marker stay apart ("**a**_b**c**_").
    bool underscores = false;
};

struct InlineMarkdownWriter::Emitted {
    struct MarkerRun {
        qsizetype start;
        qsizetype length;
        bool opens;
        bool closes;
    };
    QString text;
    std::vector<MarkerRun> runs;
    bool underscores = false;
    std::vector<uint8_t> flags; // by piece: the markers open around it
    bool hasLineBreak = false;

    // True when every run of markers can only do what it was written for: open without being
    // able to close, or close without being able to open. Then CommonMark pairs each closer
    // with the opener it was written for.
    bool unambiguous() const
    {
        // Underscores follow rules of their own within words: such a paragraph is always read back.
        if (underscores && !runs.empty())
            return false;
        for (const MarkerRun& run : runs) {
            if (run.opens && run.closes)
                return false;
            const qsizetype end = run.start + run.length;
            const Neighbour before = run.start > 0 ? classify(codePointBefore(text, run.start)) : Neighbour::space;
            const Neighbour after = end < text.size() ? classify(codePointAt(text, end)) : Neighbour::space;
            const bool leftFlanking
                = after != Neighbour::space && (after != Neighbour::punctuation || before != Neighbour::other);
            const bool rightFlanking
                = before != Neighbour::space && (before != Neighbour::punctuation || after != Neighbour::other);
            if (run.opens && !(leftFlanking && !rightFlanking))
                return false;
            if (run.closes && !(rightFlanking && !leftFlanking))
                return false;
        }
        return true;
    }
};

void InlineMarkdownWriter::addText(QStringView text, QStringView following, unsigned traits, const QString& link)
{
    const qsizetype n = text.size();
    qsizetype start = 0;
    while (start < n && isWhiteSpace(text[start]))
        ++start;
    qsizetype end = n;
    while (end > start && isWhiteSpace(text[end - 1]))
        --end;
    if (start > 0)
        addSpace(text.first(start));
    // The white space around a line separator goes with it: a hard line break has no width.
    qsizetype from = start;
    for (qsizetype k = start; k < end; ++k) {
        if (text[k] != QChar(lineSeparator))
            continue;
        qsizetype before = k;
        while (before > from && isWhiteSpace(text[before - 1]))
            --before;
        addContent(Kind::text, text.sliced(from, before - from), text.sliced(before), traits, link);
        pieces_.push_back({Kind::lineBreak});
        from = k + 1;
        while (from < end && isWhiteSpace(text[from]) && text[from] != QChar(lineSeparator))
            ++from;
        k = from - 1;
    }
    addContent(Kind::text, text.sliced(from, end - from), end < n ? text.sliced(end) : following, traits, link);
    if (end < n)
        addSpace(text.sliced(end));
}

void InlineMarkdownWriter::addCode(QStringView code, unsigned traits, const QString& link)
{
    qsizetype from = 0;
    for (qsizetype k = 0; k <= code.size(); ++k) {
        if (k < code.size() && code[k] != QChar(lineSeparator))
            continue;
        // White space alone shows as white space in any font: a paragraph of it is empty.
        const QStringView segment = code.sliced(from, k - from);
        if (!segment.isEmpty() && Text::isBlank(segment))
            addSpace(segment);
        else
            addContent(Kind::code, segment, {}, traits, link);
        if (k < code.size())
            pieces_.push_back({Kind::lineBreak});
        from = k + 1;
    }
}

void InlineMarkdownWriter::addContent(Kind kind, QStringView text, QStringView following, unsigned traits,
                                      const QString& link)
{
    if (text.isEmpty())
        return;
    // Two code spans side by side would read as one with a stray fence in it.
    if (kind == Kind::code && !pieces_.empty() && pieces_.back().kind == Kind::code && pieces_.back().link == link) {
        Piece& previous = pieces_.back();
        if (previous.joined.isEmpty())
            previous.joined = previous.text.toString();
        previous.joined += text;
        previous.traits &= traits;
        return;
    }
    pieces_.push_back({kind, traits, text, following, link, {}});
}

void InlineMarkdownWriter::addSpace(QStringView space)
{
    const qsizetype breaks = space.count(QChar(lineSeparator));
    if (breaks == 0) {
        pieces_.push_back({Kind::space, 0, space});
        return;
    }
    for (qsizetype k = 0; k < breaks; ++k)
        pieces_.push_back({Kind::lineBreak});
}

bool InlineMarkdownWriter::allCode() const
{
    bool code = false;
    for (const Piece& piece : pieces_) {
        if (piece.kind == Kind::text)
            return false;
        code = code || piece.kind == Kind::code;
    }
    return code;
}

InlineMarkdownWriter::Emitted InlineMarkdownWriter::emit(const Plan& plan) const
{
    Emitted e;
    e.underscores = plan.underscores;
    QString& out = e.text;
    qsizetype size = 0;
    for (const Piece& piece : pieces_)
        size += visible(piece).size() + piece.link.size();
    out.reserve(size + size / 4 + 16);
    e.flags.assign(pieces_.size(), 0);

    std::vector<size_t> contents;
    for (size_t i = 0; i < pieces_.size(); ++i) {
        if (pieces_[i].kind == Kind::text || pieces_[i].kind == Kind::code)
            contents.push_back(i);
    }
    const size_t m = contents.size();
    auto held = [&](size_t k) { return plan.noEmphasis ? 0u : plan.traits[contents[k]]; };
    auto wanted = [&](size_t k) { return pieces_[contents[k]].kind == Kind::text ? held(k) : 0u; };
    auto linkOf = [&](size_t k) -> const QString& { return pieces_[contents[k]].link; };

    // Where each trait and link that holds at a content ends, so that the one lasting longest
    // opens outermost and nothing is closed only to be opened again.
    std::vector<size_t> strongEnd(m), emphasisEnd(m), linkEnd(m);
    for (size_t k = m; k-- > 0;) {
        strongEnd[k] = (held(k) & bold) ? (k + 1 < m ? strongEnd[k + 1] : m) : k;
        emphasisEnd[k] = (held(k) & italic) ? (k + 1 < m ? emphasisEnd[k + 1] : m) : k;
        linkEnd[k] = (k + 1 < m && linkOf(k + 1) == linkOf(k)) ? linkEnd[k + 1] : k + 1;
    }

    std::array<Marker, 3> stack{};
    size_t depth = 0;
    QString openLink;
    qsizetype lastMarkerEnd = -1;
    auto marker = [&](QStringView text, bool opens) {
        if (lastMarkerEnd == out.size() && !e.runs.empty() && out.back() == text.front()) {
            Emitted::MarkerRun& run = e.runs.back();
            run.length += text.size();
            run.opens = run.opens || opens;
            run.closes = run.closes || !opens;
        } else {
            e.runs.push_back({out.size(), text.size(), opens, !opens});
        }
        out += text;
        lastMarkerEnd = out.size();
    };
    auto close = [&] {
        switch (stack[--depth]) {
        case strong: marker(u"**", false); break;
        case emphasis: marker(plan.underscores ? u"_" : u"*", false); break;
        case link:
            out += QStringLiteral("](") + openLink + u')';
            openLink.clear();
            break;
        }
    };
    auto open = [&](Marker which, const QString& target) {
        stack[depth++] = which;
        switch (which) {
        case strong: marker(u"**", true); break;
        case emphasis: marker(plan.underscores ? u"_" : u"*", true); break;
        case link:
            // "!" right before "[" would make the link an image.
            if (out.endsWith(u'!'))
                out.insert(out.size() - 1, u'\\');
            out += u'[';
            openLink = target;
            break;
        }
    };
    std::vector<qsizetype> lineStarts{0};
    // Between two contents only white space and line breaks; at the edges of the paragraph no
    // line breaks (a hard break ends no paragraph), and at its start no white space either: a
    // reader drops it, or takes four blanks for a code block.
    auto neutral = [&](size_t from, size_t to, bool edge) {
        bool breaks = false;
        for (size_t i = from; i < to; ++i)
            breaks = breaks || pieces_[i].kind == Kind::lineBreak;
        for (size_t i = from; i < to; ++i) {
            if (pieces_[i].kind == Kind::space && !breaks && !out.isEmpty()) {
                out += pieces_[i].text;
            } else if (pieces_[i].kind == Kind::lineBreak && !edge) {
                out += QStringLiteral("\\\n");
                e.hasLineBreak = true;
                lineStarts.push_back(out.size());
            }
        }
    };

    size_t next = 0; // the first piece not yet written
    for (size_t k = 0; k < m; ++k) {
        const size_t p = contents[k];
        const unsigned keep = held(k);
        size_t kept = 0;
        while (kept < depth) {
            const Marker which = stack[kept];
            const bool stays = which == strong ? (keep & bold) != 0
                : which == emphasis            ? (keep & italic) != 0
                                               : !linkOf(k).isEmpty() && linkOf(k) == openLink;
            if (!stays)
                break;
            ++kept;
        }
        while (depth > kept)
            close();
        neutral(next, p, k == 0);

        struct Opening {
            Marker which;
            size_t end;
        };
        std::array<Opening, 3> openings{};
        size_t count = 0;
        auto isOpen = [&](Marker which) {
            return std::find(stack.begin(), stack.begin() + depth, which) != stack.begin() + depth;
        };
        if (!linkOf(k).isEmpty() && !isOpen(link))
            openings[count++] = {link, linkEnd[k]};
        if ((wanted(k) & bold) && !isOpen(strong))
            openings[count++] = {strong, strongEnd[k]};
        if ((wanted(k) & italic) && !isOpen(emphasis))
            openings[count++] = {emphasis, emphasisEnd[k]};
        std::stable_sort(openings.begin(), openings.begin() + count,
                         [](const Opening& a, const Opening& b) { return a.end > b.end; });
        for (size_t i = 0; i < count; ++i)
            open(openings[i].which, linkOf(k));

        for (size_t i = 0; i < depth; ++i)
            e.flags[p] |= stack[i] == strong ? strongFlag : stack[i] == emphasis ? emphasisFlag : linkFlag;
        const Piece& piece = pieces_[p];
        if (piece.kind == Kind::text) {
            // A marker closes right after the text, or opens before what touches it.
            const bool markerMayFollow = (e.flags[p] & (strongFlag | emphasisFlag)) != 0
                || (p + 1 < pieces_.size() && (pieces_[p + 1].kind == Kind::text || pieces_[p + 1].kind == Kind::code));
            appendEscaped(out, piece.text, piece.following, markerMayFollow);
        } else {
            appendCodeSpan(out, visible(piece));
        }
        next = p + 1;
    }
    while (depth > 0)
        close();
    neutral(next, pieces_.size(), true);
    // Last, as a reader sees each whole line: markers and code spans written into it start no block.
    const std::vector<qsizetype> escapes = escapeBlockStarts(out, lineStarts);
    size_t before = 0;
    for (Emitted::MarkerRun& run : e.runs) {
        while (before < escapes.size() && escapes[before] <= run.start)
            ++before;
        run.start += qsizetype(before);
    }
    return e;
}

// Reads the Markdown back with CommonMark's parser and compares what a reader sees with what
// was written, character by character. On a difference the plan loses the emphasis that did
// not come back, or all of it when the text itself came back otherwise.
bool InlineMarkdownWriter::readsBackAsWritten(const Emitted& emitted, Plan& plan) const
{
    QString expected;
    std::vector<uint8_t> expectedFlags;
    std::vector<size_t> pieceOf;
    for (size_t i = 0; i < pieces_.size(); ++i) {
        if (pieces_[i].kind != Kind::text && pieces_[i].kind != Kind::code)
            continue;
        for (QChar c : visible(pieces_[i])) {
            if (isWhiteSpace(c))
                continue;
            expected += c;
            expectedFlags.push_back(emitted.flags[i]);
            pieceOf.push_back(i);
        }
    }

    // A letter in front keeps the line from starting a block of its own ("- ", "# ").
    const QByteArray markdown = (QStringLiteral("a ") + emitted.text).toUtf8();
    const std::unique_ptr<cmark_node, void (*)(cmark_node*)> document(
        cmark_parse_document(markdown.constData(), size_t(markdown.size()), CMARK_OPT_DEFAULT), cmark_node_free);
    const std::unique_ptr<cmark_iter, void (*)(cmark_iter*)> iterator(cmark_iter_new(document.get()), cmark_iter_free);
    QString seen;
    std::vector<uint8_t> seenFlags;
    int strongDepth = 0, emphasisDepth = 0, linkDepth = 0;
    bool shapeKept = true;
    for (cmark_event_type event; (event = cmark_iter_next(iterator.get())) != CMARK_EVENT_DONE;) {
        cmark_node* node = cmark_iter_get_node(iterator.get());
        const int step = event == CMARK_EVENT_ENTER ? 1 : -1;
        switch (cmark_node_get_type(node)) {
        case CMARK_NODE_DOCUMENT:
        case CMARK_NODE_PARAGRAPH:
        case CMARK_NODE_SOFTBREAK:
        case CMARK_NODE_LINEBREAK: break;
        case CMARK_NODE_STRONG: strongDepth += step; break;
        case CMARK_NODE_EMPH: emphasisDepth += step; break;
        case CMARK_NODE_LINK: linkDepth += step; break;
        case CMARK_NODE_TEXT:
        case CMARK_NODE_CODE: {
            const uint8_t flags = (strongDepth > 0 ? strongFlag : 0) | (emphasisDepth > 0 ? emphasisFlag : 0)
                | (linkDepth > 0 ? linkFlag : 0);
            for (QChar c : QString::fromUtf8(cmark_node_get_literal(node))) {
                if (isWhiteSpace(c))
                    continue;
                seen += c;
                seenFlags.push_back(flags);
            }
            break;
        }
        default: shapeKept = false; break;
        }
    }
    if (!shapeKept || seen.isEmpty() || seen[0] != u'a' || seenFlags[0] != 0) {
        plan.noEmphasis = true;
        return false;
    }
    // Markers a reader did not pair show as asterisks between the characters written; anything
    // else that differs means the text itself did not come back.
    std::vector<unsigned> drop(pieces_.size(), 0);
    // Where the markers that showed were written is known only roughly: the emphasis of the
    // text on either side of them goes, unless some text came back with emphasis missing, which
    // names the markers that failed more precisely.
    std::vector<unsigned> dropAroundStrays(pieces_.size(), 0);
    unsigned spread = 0;
    bool changed = false;
    qsizetype j = 0;
    auto dropAround = [&](qsizetype at) {
        for (const qsizetype k : {at - 1, at}) {
            if (k >= 0 && k < qsizetype(pieceOf.size()))
                dropAroundStrays[pieceOf[size_t(k)]] |= bold | italic;
        }
    };
    for (qsizetype i = 1; i < seen.size(); ++i) {
        if (j < expected.size() && seen[i] == expected[j]) {
            const uint8_t want = expectedFlags[size_t(j)];
            const uint8_t got = seenFlags[size_t(i)];
            if ((want ^ got) & linkFlag) {
                plan.noEmphasis = true;
                return false;
            }
            // The emphasis flags are the trait bits. Emphasis missing here is dropped here;
            // emphasis that spread to text written without it came from others' markers.
            drop[pieceOf[size_t(j)]] |= unsigned(want & ~got) & (bold | italic);
            spread |= unsigned(got & ~want) & (bold | italic);
            ++j;
        } else if (seen[i] == u'*') {
            dropAround(j);
        } else {
            plan.noEmphasis = true;
            return false;
        }
    }
    if (j != expected.size()) {
        plan.noEmphasis = true;
        return false;
    }
    if (spread) {
        for (unsigned& traits : drop)
            traits |= spread;
    }
    const auto none = [](const std::vector<unsigned>& traits) {
        return std::all_of(traits.begin(), traits.end(), [](unsigned t) { return t == 0; });
    };
    if (none(drop)) {
        if (none(dropAroundStrays))
            return true;
        drop = dropAroundStrays;
    }
    for (size_t p = 0; p < pieces_.size(); ++p) {
        const unsigned before = plan.traits[p];
        plan.traits[p] &= ~drop[p];
        changed = changed || plan.traits[p] != before;
    }
    if (!changed)
        plan.noEmphasis = true;
    return false;
}

QString InlineMarkdownWriter::finish(QStringView continuation) const
{
    // Most paragraphs are plain text: nothing to nest, nothing to check.
    const bool plain = std::all_of(pieces_.begin(), pieces_.end(), [](const Piece& piece) {
        return (piece.kind == Kind::text && piece.traits == 0 && piece.link.isEmpty()) || piece.kind == Kind::space;
    });
    if (plain) {
        QString out;
        qsizetype size = 0;
        for (const Piece& piece : pieces_)
            size += piece.text.size();
        out.reserve(size + size / 8 + 8);
        for (const Piece& piece : pieces_) {
            if (piece.kind == Kind::text)
                appendEscaped(out, piece.text, piece.following);
            else if (!out.isEmpty())
                out += piece.text;
        }
        const qsizetype start = 0;
        escapeBlockStarts(out, std::span(&start, 1));
        return out;
    }
    Plan plan;
    plan.traits.reserve(pieces_.size());
    for (const Piece& piece : pieces_)
        plan.traits.push_back(piece.traits);
    // Each failed reading takes some emphasis away; a few rounds settle any real paragraph, and
    // a paragraph without emphasis needs no reading at all.
    Emitted emitted = emit(plan);
    bool accepted = emitted.unambiguous();
    for (int round = 0; !accepted && round < 4; ++round) {
        Plan taken = plan;
        accepted = readsBackAsWritten(emitted, taken);
        if (!accepted && !plan.noEmphasis) {
            Plan other = plan;
            other.underscores = true;
            Emitted alternative = emit(other);
            if (readsBackAsWritten(alternative, other)) {
                emitted = std::move(alternative);
                accepted = true;
            }
        }
        if (!accepted) {
            plan = taken;
            emitted = emit(plan);
            accepted = emitted.unambiguous();
        }
    }
    if (!accepted) {
        plan.noEmphasis = true;
        emitted = emit(plan);
    }
    if (!emitted.hasLineBreak || continuation.isEmpty())
        return emitted.text;
    QString text = emitted.text;
    text.replace(u'\n', u'\n' + continuation.toString());
    return text;
}

void InlineMarkdownWriter::appendEscaped(QString& out, QStringView text, QStringView following, bool markerMayFollow)
{
    qsizetype first = 0;
    const qsizetype n = text.size();
    auto special = [](char16_t c) { return alwaysEscaped(c) || c == u'<' || c == u'&' || c == u'~'; };
    while (first < n && !special(text[first].unicode()))
        ++first;
    if (first == n) {
        out += text;
        return;
    }
    out += text.first(first);
    const Ahead at(text, following);
    for (qsizetype i = first; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'~') {
            i = appendTildes(out, text, at, i, markerMayFollow) - 1;
            continue;
        }
        if (alwaysEscaped(c) || (c == u'<' && startsTagOrAutolink(at, i + 1))
            || (c == u'&' && startsReference(at, i + 1)))
            out += u'\\';
        out += QChar(c);
    }
}

void InlineMarkdownWriter::appendEscapedReferences(QString& out, QStringView text)
{
    // A reader decodes references in a target before it removes backslashes, so "\&" would not
    // keep one: the ampersand is written as a reference itself.
    const Ahead at(text, {});
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && startsReference(at, i + 1))
            out += QStringLiteral("&amp;");
        else
            out += text[i];
    }
}

void InlineMarkdownWriter::appendCodeSpan(QString& out, QStringView code)
{
    qsizetype longest = 0;
    qsizetype current = 0;
    bool onlySpaces = true;
    for (QChar c : code) {
        current = c == u'`' ? current + 1 : 0;
        longest = std::max(longest, current);
        onlySpaces = onlySpaces && c == u' ';
    }
    // A reader takes no fence longer than 80 backticks: such code can only be text.
    if (longest >= 80) {
        appendEscaped(out, code, {});
        return;
    }
    // A reader takes one space off each end of a span that starts and ends with one, and reads a
    // backtick at either end as part of the fence.
    const bool padded = !code.isEmpty()
        && (code.front() == u'`' || code.back() == u'`'
            || (code.front() == u' ' && code.back() == u' ' && !onlySpaces));
    const QString fence(longest + 1, u'`');
    out += fence;
    if (padded)
        out += u' ';
    out += code;
    if (padded)
        out += u' ';
    out += fence;
}

} // namespace vellicord
