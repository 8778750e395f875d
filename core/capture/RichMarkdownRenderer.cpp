#include "core/capture/RichMarkdownRenderer.h"

#include "core/foundation/Text.h"

#include <QHash>
#include <QSet>

#include <cmath>
#include <optional>
#include <vector>

namespace vellicord::RichMarkdownRenderer {

namespace {

using Kind = MarkdownRun::BlockKind;
using ParagraphStyle = AttributedText::ParagraphStyle;
using Font = AttributedText::Font;

struct ListRecord {
    AttributedText::Range range;
    QList<int> lists; // innermost first
    ParagraphStyle style;
};

struct Structure {
    int blockIdentity = 0;
    QList<const MarkdownRun::Block*> lists; // innermost first
    const MarkdownRun::Block* item = nullptr;
};

Structure structureOf(const MarkdownRun& run)
{
    Structure s;
    if (!run.blocks.isEmpty())
        s.blockIdentity = run.blocks.first().identity;
    for (const MarkdownRun::Block& block : run.blocks) {
        if (block.kind == Kind::orderedList || block.kind == Kind::unorderedList)
            s.lists.append(&block);
        else if (block.kind == Kind::listItem && !s.item)
            s.item = &block;
    }
    return s;
}

bool isMarkerLine(const MarkdownRun& run)
{
    return (run.inlineFlags & MarkdownRun::blockHTML) && Text::trimmed(run.text) == u"<!-- -->";
}

class Renderer {
public:
    explicit Renderer(const TextMeasurer& measurer) : m_measurer(measurer) {}

    AttributedText render(const QList<MarkdownRun>& runs)
    {
        for (const MarkdownRun& run : runs) {
            if (!isMarkerLine(run))
                append(run);
        }
        widenListIndents();
        return std::move(m_result);
    }

private:
    void append(const MarkdownRun& run);
    void widenListIndents();

    const TextMeasurer& m_measurer;
    AttributedText m_result;
    QSet<int> m_seenItems;
    QHash<int, double> m_markerWidths;
    std::vector<ListRecord> m_records;
    int m_previousBlock = 0;
    bool m_previousHadNoBlock = true;
    std::optional<int> m_previousOutermostList;
    bool m_hardBreak = false;
};

void Renderer::append(const MarkdownRun& run)
{
    const Structure s = structureOf(run);
    const bool hasBlocks = !run.blocks.isEmpty();

    ParagraphStyle style;
    style.paragraphSpacing = paragraphSpacing;
    if (!s.lists.isEmpty()) {
        style.firstLineHeadIndent = double(s.lists.size() - 1) * nestingStep;
        style.headIndent = style.firstLineHeadIndent + markerColumn;
        style.tabStops = {style.headIndent};
    }

    const bool newBlock = hasBlocks ? (m_previousHadNoBlock || s.blockIdentity != m_previousBlock)
                                    : !m_previousHadNoBlock;
    const bool ordered = !s.lists.isEmpty() && s.lists.first()->kind == Kind::orderedList;
    QString separator;
    QString marker; // without its tab
    if (newBlock) {
        if (!m_result.isEmpty()) {
            const bool sameOutermostList = !s.lists.isEmpty() && m_previousOutermostList
                && *m_previousOutermostList == s.lists.last()->identity;
            separator = sameOutermostList ? QStringLiteral("\n") : QStringLiteral("\n\n");
        }
        if (s.item && !m_seenItems.contains(s.item->identity)) {
            marker = ordered ? QString::number(s.item->ordinal) + u'.' : QString(QChar(0x2022));
            separator += marker + u'\t';
        } else if (s.item) {
            style.firstLineHeadIndent = style.headIndent; // a later paragraph lines up with the item's text
        }
        m_hardBreak = false;
    } else if (s.item && m_hardBreak) {
        style.firstLineHeadIndent = style.headIndent;
    }

    const bool bold = (run.inlineFlags & MarkdownRun::stronglyEmphasized) != 0;
    const bool italic = (run.inlineFlags & MarkdownRun::emphasized) != 0;
    bool headerBold = false;
    bool code = (run.inlineFlags & MarkdownRun::code) != 0;
    double size = m_measurer.systemFontSize();
    for (const MarkdownRun::Block& block : run.blocks) {
        if (block.kind == Kind::header) {
            size += headingSizeStep * std::max(7 - block.level, 0);
            headerBold = true;
        } else if (block.kind == Kind::codeBlock) {
            code = true;
        } else if (block.kind == Kind::blockQuote) {
            style.firstLineHeadIndent += quoteIndent;
            style.headIndent += quoteIndent;
        }
    }
    const Font base = code ? Font::monospacedSystem(size) : Font::system(size);
    const Font font = base.withTraits(bold || headerBold, italic);

    if (!s.lists.isEmpty() && s.item) {
        const QString measured = ordered ? QString::number(s.item->ordinal) + u'.' : QString(QChar(0x2022));
        const double width = std::ceil(m_measurer.width(measured, font)) + markerMargin;
        const int list = s.lists.first()->identity;
        m_markerWidths[list] = std::max(width, m_markerWidths.value(list, markerColumn));
        QList<int> lists;
        for (const MarkdownRun::Block* l : s.lists)
            lists.append(l->identity);
        m_records.push_back(ListRecord{{m_result.length(), separator.size() + run.text.size()}, lists, style});
    }

    AttributedText::Attributes attributes;
    attributes.font = font;
    attributes.foregroundColor = AttributedText::Color::label;
    attributes.paragraphStyle = style;
    if (run.link)
        attributes.link = AttributedText::Link{AttributedText::Link::Kind::url, *run.link};
    if (run.inlineFlags & MarkdownRun::strikethrough)
        attributes.strikethroughStyle = 1;
    m_result.append(separator + run.text, attributes);

    m_previousOutermostList = s.lists.isEmpty() ? std::nullopt : std::optional<int>(s.lists.last()->identity);
    m_hardBreak = m_hardBreak || (run.inlineFlags & MarkdownRun::lineBreak);
    if (s.item)
        m_seenItems.insert(s.item->identity);
    m_previousBlock = s.blockIdentity;
    m_previousHadNoBlock = !hasBlocks;
}

// A marker wider than the default column pushes its list's text, and every list inside it, to
// the right by the excess.
void Renderer::widenListIndents()
{
    std::vector<std::pair<AttributedText::Range, std::optional<ParagraphStyle>>> styles;
    styles.reserve(m_records.size());
    for (const ListRecord& record : m_records) {
        double innerExtra = 0;
        double outerExtra = 0;
        if (const auto it = m_markerWidths.constFind(record.lists.first()); it != m_markerWidths.constEnd())
            innerExtra = *it - markerColumn;
        for (qsizetype i = 1; i < record.lists.size(); ++i)
            outerExtra += m_markerWidths.value(record.lists[i], markerColumn) - markerColumn;
        ParagraphStyle style = record.style;
        const double f = style.firstLineHeadIndent;
        const double h = style.headIndent;
        style.firstLineHeadIndent = f + outerExtra + (f == h ? innerExtra : 0);
        style.headIndent = h + innerExtra + outerExtra;
        style.tabStops = {style.headIndent};
        styles.emplace_back(record.range, style);
    }
    // The records lie one after another in the text, so one pass sets them all.
    m_result.setParagraphStyles(styles);
}

} // namespace

AttributedText render(const QList<MarkdownRun>& runs, const TextMeasurer& measurer)
{
    return Renderer(measurer).render(runs);
}

} // namespace vellicord::RichMarkdownRenderer
