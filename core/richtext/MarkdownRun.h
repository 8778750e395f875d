#pragma once

#include <QList>
#include <QString>

#include <cstdint>
#include <optional>

namespace vellicord {

// One run of parsed Markdown as the display rendering reads it: the text, the blocks it stands in
// (innermost first, each with a stable identity), its inline formatting and its link.
struct MarkdownRun {
    enum class BlockKind {
        paragraph,
        orderedList,
        unorderedList,
        listItem,
        header,
        codeBlock,
        blockQuote,
        htmlBlock,
        thematicBreak,
        table,
        tableHeaderRow,
        tableRow,
        tableCell,
        other,
    };

    struct Block {
        BlockKind kind = BlockKind::other;
        int identity = 0; // unique within one parse, never 0
        int64_t ordinal = 0; // list items: the number a reader gives the item
        int level = 0; // headers: 1 to 6

        friend bool operator==(const Block&, const Block&) = default;
    };

    enum InlineFlag : unsigned {
        emphasized = 1u << 0,
        stronglyEmphasized = 1u << 1,
        code = 1u << 2,
        strikethrough = 1u << 3,
        softBreak = 1u << 4,
        lineBreak = 1u << 5,
        inlineHTML = 1u << 6,
        blockHTML = 1u << 7,
    };

    QString text;
    QList<Block> blocks; // innermost first; runs of one block share the list
    unsigned inlineFlags = 0;
    std::optional<QString> link;
};

} // namespace vellicord
