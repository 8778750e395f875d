#include "core/richtext/AttributedText.h"

#include <algorithm>

namespace vellicord {

AttributedText::Font AttributedText::Font::system(double size)
{
    Font font;
    font.name = systemFamily;
    font.family = systemFamily;
    font.pointSize = size;
    return font;
}

AttributedText::Font AttributedText::Font::monospacedSystem(double size)
{
    Font font;
    font.name = monospacedSystemFamily;
    font.family = monospacedSystemFamily;
    font.pointSize = size;
    font.monospace = true;
    return font;
}

AttributedText::Font AttributedText::Font::withTraits(bool withBold, bool withItalic) const
{
    Font font = *this;
    font.bold = withBold;
    font.italic = withItalic;
    return font;
}

void AttributedText::append(QStringView text, const Attributes& attributes)
{
    if (text.isEmpty())
        return;
    if (runs_.empty() || !(runs_.back().attributes == attributes))
        runs_.push_back(Run{text_.size(), attributes});
    text_.append(text);
}

qsizetype AttributedText::runEnd(qsizetype runIndex) const
{
    return size_t(runIndex) + 1 < runs_.size() ? runs_[size_t(runIndex) + 1].start : text_.size();
}

qsizetype AttributedText::runIndexAt(qsizetype index) const
{
    auto it = std::upper_bound(runs_.begin(), runs_.end(), index,
                               [](qsizetype i, const Run& run) { return i < run.start; });
    return qsizetype(it - runs_.begin()) - 1;
}

void AttributedText::splitAt(qsizetype index)
{
    if (index <= 0 || index >= text_.size())
        return;
    const qsizetype run = runIndexAt(index);
    if (runs_[size_t(run)].start == index)
        return;
    Run copy{index, runs_[size_t(run)].attributes};
    runs_.insert(runs_.begin() + run + 1, std::move(copy));
}

void AttributedText::modifyAttributes(Range range, const std::function<void(Attributes&)>& change)
{
    const qsizetype start = std::clamp<qsizetype>(range.location, 0, text_.size());
    const qsizetype end = std::clamp<qsizetype>(range.end(), start, text_.size());
    if (start == end)
        return;
    splitAt(start);
    splitAt(end);
    for (qsizetype i = runIndexAt(start); i < qsizetype(runs_.size()) && runs_[size_t(i)].start < end; ++i)
        change(runs_[size_t(i)].attributes);
}

void AttributedText::setParagraphStyle(Range range, const std::optional<ParagraphStyle>& style)
{
    modifyAttributes(range, [&](Attributes& attributes) { attributes.paragraphStyle = style; });
}

void AttributedText::setParagraphStyles(const std::vector<std::pair<Range, std::optional<ParagraphStyle>>>& changes)
{
    std::vector<Run> runs;
    runs.reserve(runs_.size() + 2 * changes.size());
    size_t next = 0; // the first change that does not end before the current position
    for (size_t i = 0; i < runs_.size(); ++i) {
        const qsizetype runStop = runEnd(qsizetype(i));
        qsizetype position = runs_[i].start;
        while (position < runStop) {
            while (next < changes.size() && (changes[next].first.length <= 0 || changes[next].first.end() <= position))
                ++next;
            const bool inside = next < changes.size() && changes[next].first.location <= position;
            qsizetype stop = runStop;
            if (next < changes.size())
                stop = std::min(stop, inside ? changes[next].first.end() : changes[next].first.location);
            Run piece{position, runs_[i].attributes};
            if (inside)
                piece.attributes.paragraphStyle = changes[next].second;
            runs.push_back(std::move(piece));
            position = stop;
        }
    }
    runs_ = std::move(runs);
}

const AttributedText::Attributes& AttributedText::attributesAt(qsizetype index, Range* effectiveRange) const
{
    Q_ASSERT(index >= 0 && index < text_.size());
    const qsizetype run = runIndexAt(index);
    if (effectiveRange) {
        const qsizetype start = runs_[size_t(run)].start;
        *effectiveRange = Range{start, runEnd(run) - start};
    }
    return runs_[size_t(run)].attributes;
}

void AttributedText::forEachRun(Range range, const std::function<void(Range, const Attributes&)>& visit) const
{
    const qsizetype start = std::clamp<qsizetype>(range.location, 0, text_.size());
    const qsizetype end = std::clamp<qsizetype>(range.end(), start, text_.size());
    if (start == end)
        return;
    for (qsizetype i = runIndexAt(start); i < qsizetype(runs_.size()) && runs_[size_t(i)].start < end; ++i) {
        const qsizetype from = std::max(start, runs_[size_t(i)].start);
        const qsizetype to = std::min(end, runEnd(i));
        visit(Range{from, to - from}, runs_[size_t(i)].attributes);
    }
}

AttributedText::Range AttributedText::paragraphRange(qsizetype position) const
{
    const qsizetype n = text_.size();
    position = std::clamp<qsizetype>(position, 0, n);
    const QChar* s = text_.constData();
    auto isSeparator = [](QChar c) { return c == u'\n' || c == u'\r' || c == QChar(0x2029); };
    qsizetype start = position;
    // A position between CR and LF lies inside the terminator of the paragraph before it.
    if (start > 0 && start < n && s[start] == u'\n' && s[start - 1] == u'\r')
        --start;
    while (start > 0 && !isSeparator(s[start - 1]))
        --start;
    qsizetype end = position;
    while (end < n && !isSeparator(s[end]))
        ++end;
    if (end < n) {
        if (s[end] == u'\r' && end + 1 < n && s[end + 1] == u'\n')
            end += 2;
        else
            end += 1;
    }
    return Range{start, end - start};
}

} // namespace vellicord
