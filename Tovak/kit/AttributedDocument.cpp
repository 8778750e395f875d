#include "Tovak/kit/AttributedDocument.h"

#include "Tovak/kit/TextStyles.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cmath>
#include <deque>
#include <vector>

namespace vellicord::AttributedDocument {

namespace {

QTextBlockFormat blockFormatOf(const std::optional<AttributedText::ParagraphStyle>& style)
{
    QTextBlockFormat format;
    if (!style)
        return format;
    format.setLeftMargin(style->headIndent);
    format.setTextIndent(style->firstLineHeadIndent - style->headIndent);
    format.setBottomMargin(style->paragraphSpacing);
    // Qt measures tab stops from where the first line starts, the text system from the block's edge.
    QList<QTextOption::Tab> tabs;
    tabs.reserve(style->tabStops.size());
    for (double stop : style->tabStops)
        tabs.append(QTextOption::Tab(stop - style->firstLineHeadIndent, QTextOption::LeftTab));
    format.setTabPositions(tabs);
    return format;
}

// A long passage has tens of thousands of runs and paragraphs in a handful of fonts and styles:
// each format is made once, and the document finds a format it already holds faster when it is
// handed the same one again.
class Formats {
public:
    explicit Formats(const QColor& linkColor)
        : linkColor_(linkColor)
    {
    }

    const QTextCharFormat& charFormat(const AttributedText::Attributes& attributes)
    {
        // Links differ by address, so a link's format is made for it; the rest are few.
        if (attributes.link) {
            link_ = made(attributes);
            return link_;
        }
        for (const auto& [font, strikethrough, format] : plain_) {
            if (font == attributes.font && strikethrough == (attributes.strikethroughStyle != 0))
                return format;
        }
        plain_.push_back({attributes.font, attributes.strikethroughStyle != 0, made(attributes)});
        return plain_.back().format;
    }

    const QTextBlockFormat& blockFormat(const std::optional<AttributedText::ParagraphStyle>& style)
    {
        // The lists a paragraph belongs to do not change its format: only the measures do.
        const auto sameMeasures = [&](const std::optional<AttributedText::ParagraphStyle>& known) {
            if (!known || !style)
                return !known && !style;
            return known->firstLineHeadIndent == style->firstLineHeadIndent && known->headIndent == style->headIndent
                && known->paragraphSpacing == style->paragraphSpacing && known->tabStops == style->tabStops;
        };
        for (const auto& [known, format] : blocks_) {
            if (sameMeasures(known))
                return format;
        }
        blocks_.emplace_back(style, blockFormatOf(style));
        return blocks_.back().second;
    }

private:
    struct Plain {
        std::optional<AttributedText::Font> font;
        bool strikethrough;
        QTextCharFormat format;
    };

    QTextCharFormat made(const AttributedText::Attributes& attributes)
    {
        QTextCharFormat format;
        if (attributes.font)
            format.setFont(face(*attributes.font), QTextCharFormat::FontPropertiesAll);
        if (attributes.link) {
            format.setAnchor(true);
            format.setAnchorHref(attributes.link->target);
            format.setForeground(linkColor_);
            format.setFontUnderline(true);
        }
        if (attributes.strikethroughStyle != 0)
            format.setFontStrikeOut(true);
        return format;
    }

    const QFont& face(const AttributedText::Font& description)
    {
        for (const auto& [known, made] : faces_) {
            if (known == description)
                return made;
        }
        faces_.emplace_back(description, font(description));
        return faces_.back().second;
    }

    QColor linkColor_;
    QTextCharFormat link_;
    std::deque<Plain> plain_;
    std::deque<std::pair<std::optional<AttributedText::ParagraphStyle>, QTextBlockFormat>> blocks_;
    std::vector<std::pair<AttributedText::Font, QFont>> faces_;
};

// A paragraph that reads right to left starts at the right edge, and so do its indents and tab
// stops: a list item's later lines are indented from there, and its marker, drawn where the first
// line's negative indent puts it, stays in sight with its text a tab stop beyond it. Qt keeps a
// left margin on the left whatever the direction, and takes a tab stop's kind as seen on screen:
// the text after a stop in such a paragraph begins at it on its right, a right tab. The first
// line's indent Qt already takes from where the line starts.
void startIndentsWhereParagraphsStart(QTextDocument& document)
{
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        QTextBlockFormat format = block.blockFormat();
        QList<QTextOption::Tab> tabs = format.tabPositions();
        if ((format.leftMargin() == 0 && tabs.isEmpty()) || block.textDirection() != Qt::RightToLeft)
            continue;
        format.setRightMargin(format.leftMargin());
        format.setLeftMargin(0);
        for (QTextOption::Tab& tab : tabs)
            tab.type = QTextOption::RightTab;
        format.setTabPositions(tabs);
        QTextCursor(block).setBlockFormat(format);
    }
}

} // namespace

QFont font(const AttributedText::Font& description)
{
    const int pixels = std::max(1, int(std::lround(description.pointSize)));
    QFont face;
    if (description.family == AttributedText::Font::monospacedSystemFamily)
        face = TextStyles::monospaced(pixels);
    else if (description.family == AttributedText::Font::systemFamily || description.family.isEmpty())
        face = TextStyles::system(pixels);
    else {
        face = QFont(description.family);
        face.setPixelSize(pixels);
    }
    face.setBold(description.bold);
    face.setItalic(description.italic);
    return face;
}

void fill(QTextDocument& document, const AttributedText& text, const QColor& linkColor)
{
    // The undo history of a read-only view would only hold a second copy of the text.
    document.setUndoRedoEnabled(false);
    document.clear();
    QTextCursor cursor(&document);
    cursor.beginEditBlock();
    Formats formats(linkColor);
    const QString& string = text.string();
    // The character format of the last line break: the break between two paragraphs takes it.
    QTextCharFormat lineBreak;
    text.forEachRun({0, text.length()}, [&](AttributedText::Range range, const AttributedText::Attributes& attributes) {
        const QTextCharFormat& format = formats.charFormat(attributes);
        qsizetype start = range.location;
        while (start < range.end()) {
            // A paragraph takes its style from its first character, as the text system does; its
            // block is made with its format at once rather than given it afterwards.
            if (start == 0)
                cursor.setBlockFormat(formats.blockFormat(attributes.paragraphStyle));
            else if (string[start - 1] == u'\n')
                cursor.insertBlock(formats.blockFormat(attributes.paragraphStyle), lineBreak);
            qsizetype end = string.indexOf(u'\n', start);
            if (end < 0 || end >= range.end())
                end = range.end();
            if (end > start)
                cursor.insertText(string.sliced(start, end - start), format);
            if (end == range.end())
                break;
            lineBreak = format;
            start = end + 1;
        }
    });
    // A text that ends with a line break ends with an empty paragraph of no style.
    if (!string.isEmpty() && string.back() == u'\n')
        cursor.insertBlock(QTextBlockFormat(), lineBreak);
    startIndentsWhereParagraphsStart(document);
    cursor.endEditBlock();
}

void recolorLinks(QTextDocument& document, const QColor& linkColor)
{
    // Ranges first: a change of format merges and splits the fragments being walked.
    std::vector<std::pair<int, int>> links;
    for (QTextBlock block = document.begin(); block.isValid(); block = block.next()) {
        for (auto fragment = block.begin(); !fragment.atEnd(); ++fragment) {
            const QTextFragment piece = fragment.fragment();
            if (piece.charFormat().isAnchor() && piece.charFormat().foreground().color() != linkColor)
                links.emplace_back(piece.position(), piece.position() + piece.length());
        }
    }
    QTextCharFormat color;
    color.setForeground(linkColor);
    for (const auto& [start, end] : links) {
        QTextCursor cursor(&document);
        cursor.setPosition(start);
        cursor.setPosition(end, QTextCursor::KeepAnchor);
        cursor.mergeCharFormat(color);
    }
}

} // namespace vellicord::AttributedDocument
