#include "core/richtext/RichMarkdownRenderer.h"

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
    explicit Renderer(const TextMeasurer& measurer) : measurer_(measurer) {}

    AttributedText render(const QList<MarkdownRun>& runs)
    {
        for (const MarkdownRun& run : runs) {
            if (!isMarkerLine(run))
                append(run);
        }
        widenListIndents();
        return std::move(result_);
    }

private:
    void append(const MarkdownRun& run);
    void widenListIndents();

    const TextMeasurer& measurer_;
    AttributedText result_;
    QSet<int> seenItems_;
    QHash<int, double> markerWidths_;
    std::vector<ListRecord> records_;
    int previousBlock_ = 0;
    bool previousHadNoBlock_ = true;
    std::optional<int> previousOutermostList_;
    bool hardBreak_ = false;
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

    const bool newBlock = hasBlocks ? (previousHadNoBlock_ || s.blockIdentity != previousBlock_)
                                    : !previousHadNoBlock_;
    const bool ordered = !s.lists.isEmpty() && s.lists.first()->kind == Kind::orderedList;
    QString separator;
    QString marker; // without its tab
    if (newBlock) {
        if (!result_.isEmpty()) {
            const bool sameOutermostList = !s.lists.isEmpty() && previousOutermostList_
                && *previousOutermostList_ == s.lists.last()->identity;
            separator = sameOutermostList ? QStringLiteral("\n") : QStringLiteral("\n\n");
        }
        if (s.item && !seenItems_.contains(s.item->identity)) {
            marker = ordered ? QString::number(s.item->ordinal) + u'.' : QString(QChar(0x2022));
            separator += marker + u'\t';
        } else if (s.item) {
            style.firstLineHeadIndent = style.headIndent; // a later paragraph lines up with the item's text
        }
        hardBreak_ = false;
    } else if (s.item && hardBreak_) {
        style.firstLineHeadIndent = style.headIndent;
    }

    const bool bold = (run.inlineFlags & MarkdownRun::stronglyEmphasized) != 0;
    const bool italic = (run.inlineFlags & MarkdownRun::emphasized) != 0;
    bool headerBold = false;
    bool code = (run.inlineFlags & MarkdownRun::code) != 0;
    double size = measurer_.systemFontSize();
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
        const double width = std::ceil(measurer_.width(measured, font)) + markerMargin;
        const int list = s.lists.first()->identity;
        markerWidths_[list] = std::max(width, markerWidths_.value(list, markerColumn));
        QList<int> lists;
        for (const MarkdownRun::Block* l : s.lists)
            lists.append(l->identity);
        records_.push_back(ListRecord{{result_.length(), separator.size() + run.text.size()}, lists, style});
    }

    AttributedText::Attributes attributes;
    attributes.font = font;
    attributes.foregroundColor = AttributedText::Color::label;
    attributes.paragraphStyle = style;
    if (run.link)
        attributes.link = AttributedText::Link{AttributedText::Link::Kind::url, *run.link};
    if (run.inlineFlags & MarkdownRun::strikethrough)
        attributes.strikethroughStyle = 1;
    result_.append(separator + run.text, attributes);

    previousOutermostList_ = s.lists.isEmpty() ? std::nullopt : std::optional<int>(s.lists.last()->identity);
    hardBreak_ = hardBreak_ || (run.inlineFlags & (MarkdownRun::lineBreak | MarkdownRun::softBreak));
    if (s.item)
        seenItems_.insert(s.item->identity);
    previousBlock_ = s.blockIdentity;
    previousHadNoBlock_ = !hasBlocks;
}

// A marker wider than the default column pushes its list's text, and every list inside it, to
// the right by the excess.
void Renderer::widenListIndents()
{
    std::vector<std::pair<AttributedText::Range, std::optional<ParagraphStyle>>> styles;
    styles.reserve(records_.size());
    for (const ListRecord& record : records_) {
        double innerExtra = 0;
        double outerExtra = 0;
        if (const auto it = markerWidths_.constFind(record.lists.first()); it != markerWidths_.constEnd())
            innerExtra = *it - markerColumn;
        for (qsizetype i = 1; i < record.lists.size(); ++i)
            outerExtra += markerWidths_.value(record.lists[i], markerColumn) - markerColumn;
        ParagraphStyle style = record.style;
        const double f = style.firstLineHeadIndent;
        const double h = style.headIndent;
        style.firstLineHeadIndent = f + outerExtra + (f == h ? innerExtra : 0);
        style.headIndent = h + innerExtra + outerExtra;
        style.tabStops = {style.headIndent};
        styles.emplace_back(record.range, style);
    }
    // The records lie one after another in the text, so one pass sets them all.
    result_.setParagraphStyles(styles);
}

} // namespace

AttributedText render(const QList<MarkdownRun>& runs, const TextMeasurer& measurer)
{
    return Renderer(measurer).render(runs);
}

} // namespace vellicord::RichMarkdownRenderer
