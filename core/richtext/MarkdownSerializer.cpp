#include "core/richtext/MarkdownSerializer.h"

#include "core/foundation/Text.h"
#include "core/richtext/InlineMarkdownWriter.h"

#include <QStringList>

#include <algorithm>
#include <cmath>
#include <map>
#include <unordered_map>
#include <vector>

namespace vellicord::MarkdownSerializer {

namespace {

using Range = AttributedText::Range;
using Attributes = AttributedText::Attributes;
using ParagraphStyle = AttributedText::ParagraphStyle;
using TextListRef = AttributedText::TextListRef;
using ListMarkerFormat = AttributedText::ListMarkerFormat;

struct Paragraph {
    QString text;
    Range range;
    std::optional<ParagraphStyle> style;
    // One marker per text list, outermost first. The whole line prefix of a level is its
    // indentation (the content indents of all outer levels) and its marker; the indentation is
    // kept as a width so that deep nesting costs no more than the lines it writes.
    QStringList markers;
    QList<int> markerIndents;
    bool isListContinuation = false;
    bool restartsList = false;
    bool isQuote = false;

    bool hasMarkers() const { return !markers.isEmpty(); }
    QString lastListMarker() const { return QString(markerIndents.last(), u' ') + markers.last(); }
    // The width of the indentation under the innermost marker.
    int lastContentIndent() const { return markerIndents.last() + contentIndent(markers.last()); }
};

struct Line {
    QString text;
    bool isHeading = false;
    // A block that a following line would join unless an empty line ends it: a quote (whose
    // lazy continuation takes the next line in) or a paragraph of code alone.
    bool isQuote = false;
    bool isPreformatted = false;
    // A list item's marker alone: its content follows on the next lines, with no empty line
    // between (after one, a reader ends the item).
    bool isEmptyItem = false;
};

const QStringList& monoFamilies()
{
    static const QStringList families = [] {
        QStringList names = {
            "Menlo",          "Monaco",         "Courier",     "Courier New",     "Consolas",      "SFMono-Regular",
            "Noto Sans Mono", "JetBrains Mono", "Fira Code",   "Source Code Pro", "Hack",          "DejaVu Sans Mono",
            "IBM Plex Mono",  "Andale Mono",    "Roboto Mono", "PT Mono",         "Cascadia Code", "MonaspaceNeon",
        };
        for (QString& name : names)
            name = name.toLower();
        return names;
    }();
    return families;
}

bool isNumbered(ListMarkerFormat format)
{
    switch (format) {
    case ListMarkerFormat::decimal:
    case ListMarkerFormat::lowercaseAlpha:
    case ListMarkerFormat::uppercaseAlpha:
    case ListMarkerFormat::lowercaseLatin:
    case ListMarkerFormat::uppercaseLatin:
    case ListMarkerFormat::lowercaseRoman:
    case ListMarkerFormat::uppercaseRoman: return true;
    default: return false;
    }
}

bool isSpaceOrTab(QChar c)
{
    return c == u' ' || c == u'\t';
}

QString trimmedSpacesAndTabs(QStringView text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isSpaceOrTab(text[start]))
        ++start;
    while (end > start && isSpaceOrTab(text[end - 1]))
        --end;
    return text.mid(start, end - start).toString();
}

bool isNewline(QChar c)
{
    return c == u'\n' || c == u'\r' || c == QChar(0x2028) || c == QChar(0x2029) || c == QChar(0x0085);
}

QStringView trimmedNewlines(QStringView text)
{
    qsizetype start = 0;
    qsizetype end = text.size();
    while (start < end && isNewline(text[start]))
        ++start;
    while (end > start && isNewline(text[end - 1]))
        --end;
    return text.mid(start, end - start);
}

Range rangeAfterTrimmingNewlines(Range range, const QString& source)
{
    if (range.length == 0)
        return range;
    qsizetype start = range.location;
    qsizetype end = range.end();
    while (start < end && (source[start] == u'\n' || source[start] == u'\r'))
        ++start;
    while (end > start && (source[end - 1] == u'\n' || source[end - 1] == u'\r' || source[end - 1] == u' '))
        --end;
    return Range{start, end - start};
}

// A reader of RTF keeps an item's visible marker at the start of its paragraph, marked as such;
// the line gets a marker of its own instead. Nothing else goes: the item's words may well hold a
// tab ("Name:<tab>Alice"), and a paragraph of a list may come without any marker text.
Range stripEmbeddedListMarker(const AttributedText& source, Range range)
{
    qsizetype start = range.location;
    Range run;
    while (start < range.end() && source.attributesAt(start, &run).listMarkerText)
        start = run.end();
    start = std::min(start, range.end());
    return Range{start, range.end() - start};
}

// The monospace test compares names against a table; runs mostly share a handful of fonts.
class MonospaceMemo {
public:
    bool isMonospace(const AttributedText::Font& font)
    {
        if (!valid_ || font.name != name_ || font.family != family_ || font.monospace != trait_) {
            name_ = font.name;
            family_ = font.family;
            trait_ = font.monospace;
            result_ = MarkdownSerializer::isMonospace(font);
            valid_ = true;
        }
        return result_;
    }

private:
    QString name_;
    QString family_;
    bool trait_ = false;
    bool result_ = false;
    bool valid_ = false;
};

QString renderHeading(const AttributedText& source, Range range)
{
    // A heading is one line: a line separator in it is a space.
    QString text = source.substring(range);
    text.replace(QChar(0x2028), u' ');
    QString out = escapedPlain(text);
    // A reader takes a run of "#" at the end, after a blank, for the heading's closing sequence.
    qsizetype end = out.size();
    while (end > 0 && isSpaceOrTab(out[end - 1]))
        --end;
    qsizetype start = end;
    while (start > 0 && out[start - 1] == u'#')
        --start;
    if (start < end && (start == 0 || isSpaceOrTab(out[start - 1])))
        out.insert(start, u'\\');
    return out;
}

// The runs of a paragraph: code spans, emphasis and links, as the inline writer nests them.
// One writer serves every paragraph, so that its room is made once.
void renderInline(const AttributedText& source, Range range, MonospaceMemo& memo, InlineMarkdownWriter& writer)
{
    writer.clear();
    const QStringView whole(source.string());
    source.forEachRun(range, [&](Range piece, const Attributes& attributes) {
        const QStringView text = whole.sliced(piece.location, piece.length);
        unsigned traits = 0;
        bool mono = false;
        if (attributes.font) {
            mono = memo.isMonospace(*attributes.font);
            traits = (attributes.font->bold ? InlineMarkdownWriter::bold : 0u)
                | (attributes.font->italic ? InlineMarkdownWriter::italic : 0u);
        }
        const QString target = attributes.link ? resolveLink(*attributes.link) : QString();
        if (mono)
            writer.addCode(text, traits, target);
        else
            writer.addText(text, whole.sliced(piece.end(), range.end() - piece.end()), traits, target);
    });
}

Line renderParagraph(const AttributedText& source, const Paragraph& paragraph, double bodySize, MonospaceMemo& memo,
                     InlineMarkdownWriter& writer)
{
    const QStringView text = trimmedNewlines(paragraph.text);
    Range range = rangeAfterTrimmingNewlines(paragraph.range, source.string());
    if (text.isEmpty() || range.length == 0) {
        if (paragraph.hasMarkers() && !paragraph.isListContinuation)
            return Line{.text = paragraph.lastListMarker(), .isEmptyItem = true};
        return Line{};
    }
    const int level = headingLevel(source, range, bodySize);
    QString prefix;
    QString continuation;
    if (paragraph.hasMarkers()) {
        range = stripEmbeddedListMarker(source, range);
        continuation = QString(paragraph.lastContentIndent(), u' ');
        prefix = paragraph.isListContinuation ? continuation : paragraph.lastListMarker();
    } else if (paragraph.isQuote) {
        prefix = continuation = QStringLiteral("> ");
    }
    if (level >= 1) {
        prefix += QString(level, u'#') + u' ';
        return Line{prefix + renderHeading(source, range), true};
    }
    renderInline(source, range, memo, writer);
    const bool outsideLists = !paragraph.hasMarkers();
    const QString content = writer.finish(continuation);
    // White space alone is no content either.
    return Line{.text = prefix + content,
                .isQuote = outsideLists && paragraph.isQuote,
                .isPreformatted = outsideLists && writer.allCode(),
                .isEmptyItem = content.isEmpty() && paragraph.hasMarkers() && !paragraph.isListContinuation};
}

class ParagraphSplitter {
public:
    ParagraphSplitter(const AttributedText& source, double bodySize)
        : source_(source)
        , quoteThreshold_(std::max(1.4 * bodySize, 8.0))
    {
    }

    std::optional<std::vector<Paragraph>> split()
    {
        std::vector<Paragraph> paragraphs;
        qsizetype position = 0;
        while (position < source_.length()) {
            const Range r = source_.paragraphRange(position);
            if (r.length == 0)
                break;
            std::optional<Paragraph> paragraph = makeParagraph(r);
            if (!paragraph)
                return std::nullopt;
            paragraphs.push_back(std::move(*paragraph));
            position = r.end();
        }
        return paragraphs;
    }

private:
    std::optional<Paragraph> makeParagraph(Range r)
    {
        Paragraph p;
        p.range = r;
        p.text = source_.substring(r);
        const Attributes& attributes = source_.attributesAt(r.location);
        p.style = attributes.paragraphStyle;
        if (!p.style)
            return p;
        const AttributedText::ListItem* item = attributes.listItem.get();
        int indent = 0;
        const QList<TextListRef>& lists = p.style->textLists;
        for (qsizetype level = 0; level < lists.size(); ++level) {
            const AttributedText::TextList* list = lists[level].get();
            const bool innermost = level == lists.size() - 1;
            int64_t number;
            // A list nested in a list without an item of its own (an ol right inside an ol) has no
            // line to stand under: indented all the same, a reader would take it for code.
            bool hasItem = true;
            if (!innermost) {
                const auto counter = counters_.find(list);
                hasItem = counter != counters_.end();
                number = hasItem ? counter->second : list->startingItemNumber;
            } else {
                number = innermostNumber(list, item, p);
            }
            const std::optional<QString> m = marker(list->markerFormat, number);
            if (!m)
                return std::nullopt;
            p.markers.append(*m);
            p.markerIndents.append(indent);
            if (hasItem)
                indent += contentIndent(*m);
        }
        p.isQuote = !p.hasMarkers() && p.style->firstLineHeadIndent >= quoteThreshold_;
        return p;
    }

    int64_t innermostNumber(const AttributedText::TextList* list, const AttributedText::ListItem* item, Paragraph& p)
    {
        if (item) {
            const AttributedText::ListItem*& last = lastItems_[list];
            const bool same = last == item;
            last = item;
            if (same) {
                p.isListContinuation = true;
                return counters_.try_emplace(list, list->startingItemNumber).first->second;
            }
            if (item->numberOverride) {
                const int64_t n = *item->numberOverride;
                const auto counter = counters_.find(list);
                if (counter != counters_.end() && counter->second + 1 != n)
                    p.restartsList = true;
                counters_[list] = n;
                return n;
            }
        }
        const auto [counter, inserted] = counters_.try_emplace(list, list->startingItemNumber);
        if (!inserted && counter->second < maximumListNumber + 1)
            ++counter->second;
        return counter->second;
    }

    const AttributedText& source_;
    const double quoteThreshold_;
    std::unordered_map<const AttributedText::TextList*, int64_t> counters_;
    std::unordered_map<const AttributedText::TextList*, const AttributedText::ListItem*> lastItems_;
};

qsizetype commonPrefix(const QList<TextListRef>& a, const QList<TextListRef>& b)
{
    qsizetype n = 0;
    while (n < a.size() && n < b.size() && a[n] == b[n])
        ++n;
    return n;
}

QString leadingSpaces(const QString& text)
{
    qsizetype n = 0;
    while (n < text.size() && text[n] == u' ')
        ++n;
    return text.left(n);
}

QString joinLines(const std::vector<Paragraph>& paragraphs, const AttributedText& source, double bodySize)
{
    QStringList lines;
    QList<TextListRef> previous;
    bool previousHadText = false;
    Line previousLine;
    MonospaceMemo memo;
    InlineMarkdownWriter writer;
    auto blankUnlessAfterBlank = [&lines] {
        if (!lines.isEmpty() && !lines.last().isEmpty())
            lines.append(QString());
    };
    for (const Paragraph& p : paragraphs) {
        const Line line = renderParagraph(source, p, bodySize, memo, writer);
        // An empty paragraph of an item that has no content yet: an empty line would end the item.
        if (previousLine.isEmptyItem && p.isListContinuation && Text::isBlank(line.text))
            continue;
        const QList<TextListRef> current = p.style ? p.style->textLists : QList<TextListRef>();
        const qsizetype common = commonPrefix(previous, current);
        const qsizetype m = std::min(previous.size(), current.size());
        const bool hasText = !Text::isBlank(p.text);
        if (common < m || p.restartsList) {
            // An HTML comment ends the previous list for a Markdown reader, so the next one
            // starts with its own number.
            const qsizetype k = common < m ? common : current.size() - 1;
            lines.append(QString());
            lines.append(QString(p.markerIndents[k], u' ') + QStringLiteral("<!-- -->"));
            lines.append(QString());
        } else if (previous.isEmpty() != current.isEmpty()) {
            blankUnlessAfterBlank();
        } else if (current.size() > previous.size() && previousHadText) {
            const QString inner = trimmedSpacesAndTabs(p.markers.last());
            if (!(hasText && (inner == u"1." || inner == u"-")))
                lines.append(QString());
        }
        previousHadText = hasText;
        // A reader would take the line into the quote, or into the paragraph of code before it.
        if ((previousLine.isQuote && !line.isQuote) || (previousLine.isPreformatted && !line.isPreformatted))
            blankUnlessAfterBlank();
        if ((p.isListContinuation || line.isHeading) && !previousLine.isEmptyItem)
            blankUnlessAfterBlank();
        lines.append(line.text);
        previous = current;
        previousLine = line;
    }
    return lines.join(u'\n');
}

QString collapsingBlankLines(const QString& text)
{
    const qsizetype n = text.size();
    const QChar* s = text.constData();
    QString out;
    qsizetype copied = 0;
    for (qsizetype i = 0; i < n; ++i) {
        if (s[i] != u'\n')
            continue;
        qsizetype end = i + 1;
        while (end < n && s[end] == u'\n')
            ++end;
        if (end - i > 2) {
            if (out.isEmpty())
                out.reserve(n);
            out.append(QStringView(s + copied, i + 2 - copied));
            copied = end;
        }
        i = end - 1;
    }
    if (copied == 0)
        return text;
    out.append(QStringView(s + copied, n - copied));
    return out;
}

bool needsPercentEncoding(char32_t c)
{
    return c < 0x20 || c == 0x7F || (c >= 0x80 && c < 0xA0) || c == u'(' || c == u')' || c == u'<' || c == u'>'
        || c == u'"' || c == u'\\' || (c <= 0xFFFF && Text::isWhiteSpace(char16_t(c)));
}

// A reader decodes character references in a link target too: "&copy;" in an address must stay
// as written.
QString escapingReferences(const QString& target)
{
    if (!target.contains(u'&'))
        return target;
    QString out;
    InlineMarkdownWriter::appendEscapedReferences(out, target);
    return out;
}

// Characters that would end the link or start other Markdown become %XX escapes of their UTF-8.
QString percentEncodedTarget(const QString& target)
{
    bool clean = true;
    for (QChar c : target) {
        if (needsPercentEncoding(c.unicode())) {
            clean = false;
            break;
        }
    }
    if (clean)
        return escapingReferences(target);
    QString out;
    const QList<uint> scalars = target.toUcs4();
    for (uint scalar : scalars) {
        const QString character = QString::fromUcs4(reinterpret_cast<const char32_t*>(&scalar), 1);
        if (!needsPercentEncoding(scalar)) {
            out += character;
            continue;
        }
        for (unsigned char byte : character.toUtf8())
            out += QStringLiteral("%%1").arg(uint(byte), 2, 16, QChar(u'0')).toUpper();
    }
    return escapingReferences(out);
}

} // namespace

double estimateBodySize(const AttributedText& text)
{
    std::map<int64_t, int64_t> counts;
    text.forEachRun(Range{0, text.length()}, [&](Range, const Attributes& attributes) {
        if (attributes.font)
            ++counts[int64_t(std::round(attributes.font->pointSize))];
    });
    if (counts.empty())
        return 12.0;
    int64_t best = counts.begin()->first;
    int64_t bestCount = 0;
    for (const auto& [size, count] : counts) {
        if (count > bestCount) {
            best = size;
            bestCount = count;
        }
    }
    return double(best);
}

int headingLevel(const AttributedText& text, Range range, double bodySize)
{
    if (bodySize <= 0 || range.length == 0)
        return 0;
    const Attributes& first = text.attributesAt(range.location);
    if (first.heading)
        return *first.heading;
    double maxSize = 0;
    text.forEachRun(Range{range.location, std::min<qsizetype>(range.length, 120)},
                    [&](Range, const Attributes& attributes) {
                        if (attributes.font)
                            maxSize = std::max(maxSize, attributes.font->pointSize);
                    });
    const double ratio = maxSize / bodySize;
    if (ratio >= 1.8)
        return 1;
    if (ratio >= 1.4)
        return 2;
    if (ratio >= 1.2)
        return 3;
    return 0;
}

std::optional<QString> marker(ListMarkerFormat format, int64_t number)
{
    if (!isNumbered(format))
        return QStringLiteral("- ");
    if (number < 0 || number > maximumListNumber)
        return std::nullopt;
    return QString::number(number) + QStringLiteral(". ");
}

int contentIndent(const QString& prefix)
{
    const QString lead = leadingSpaces(prefix);
    const QString rest = prefix.mid(lead.size());
    int width = int(Text::graphemeCount(rest));
    if (rest != u"- ")
        width = std::max(width, 4);
    return int(lead.size()) + width;
}

bool isMonospace(const AttributedText::Font& font)
{
    const QString name = font.name.toLower();
    const QString family = font.family.toLower();
    for (const QString& entry : monoFamilies()) {
        if (name.contains(entry) || family.contains(entry))
            return true;
    }
    if (name.contains(u"mono") || name.contains(u"courier") || name.contains(u"menlo"))
        return true;
    return font.monospace;
}

QString escapedPlain(const QString& text)
{
    QString out;
    InlineMarkdownWriter::appendEscaped(out, text, {});
    return out;
}

QString resolveLink(const AttributedText::Link& link)
{
    if (link.kind == AttributedText::Link::Kind::url)
        return percentEncodedTarget(link.target);
    if (link.target.toLower().startsWith(u"http") || link.target.contains(u"://"))
        return percentEncodedTarget(link.target);
    return QString();
}

QString convert(const AttributedText& text)
{
    if (text.isEmpty())
        return QString();
    const double bodySize = estimateBodySize(text);
    const std::optional<std::vector<Paragraph>> paragraphs = ParagraphSplitter(text, bodySize).split();
    if (!paragraphs)
        return QString();
    return Text::trimmed(collapsingBlankLines(joinLines(*paragraphs, text, bodySize)));
}

} // namespace vellicord::MarkdownSerializer
