#include "Tovak/kit/AttributedDocument.h"

#include "Tovak/kit/TextStyles.h"

#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

#include <cmath>
#include <vector>

namespace vellicord::AttributedDocument {

namespace {

QTextBlockFormat blockFormat(const std::optional<AttributedText::ParagraphStyle>& style)
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

// A long passage has thousands of runs in a handful of fonts: each face is made once.
class Formats {
public:
    explicit Formats(const QColor& linkColor)
        : linkColor_(linkColor)
    {
    }

    QTextCharFormat charFormat(const AttributedText::Attributes& attributes)
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

private:
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
    std::vector<std::pair<AttributedText::Font, QFont>> faces_;
};

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
    text.forEachRun({0, text.length()}, [&](AttributedText::Range range, const AttributedText::Attributes& attributes) {
        const QTextCharFormat format = formats.charFormat(attributes);
        qsizetype start = range.location;
        while (start <= range.end()) {
            // A paragraph takes its style from its first character, as the text system does.
            if (start < range.end() && (start == 0 || string[start - 1] == u'\n'))
                cursor.setBlockFormat(blockFormat(attributes.paragraphStyle));
            qsizetype end = string.indexOf(u'\n', start);
            if (end < 0 || end >= range.end())
                end = range.end();
            if (end > start)
                cursor.insertText(string.sliced(start, end - start), format);
            if (end == range.end())
                break;
            cursor.insertBlock(QTextBlockFormat(), format);
            start = end + 1;
        }
    });
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
