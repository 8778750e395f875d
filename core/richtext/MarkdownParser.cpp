#include "core/richtext/MarkdownParser.h"

#include "core/richtext/CmarkDocument.h"

#include <cmark-gfm.h>

#include <cstring>
#include <vector>

namespace vellicord::MarkdownParser {

namespace {

using Kind = MarkdownRun::BlockKind;

std::optional<Kind> blockKind(cmark_node* node)
{
    switch (cmark_node_get_type(node)) {
    case CMARK_NODE_DOCUMENT:
        return std::nullopt; // the document is no block of its own
    case CMARK_NODE_PARAGRAPH:
        return Kind::paragraph;
    case CMARK_NODE_LIST:
        return cmark_node_get_list_type(node) == CMARK_ORDERED_LIST ? Kind::orderedList : Kind::unorderedList;
    case CMARK_NODE_ITEM:
        return Kind::listItem;
    case CMARK_NODE_HEADING:
        return Kind::header;
    case CMARK_NODE_CODE_BLOCK:
        return Kind::codeBlock;
    case CMARK_NODE_BLOCK_QUOTE:
        return Kind::blockQuote;
    case CMARK_NODE_HTML_BLOCK:
        return Kind::htmlBlock;
    case CMARK_NODE_THEMATIC_BREAK:
        return Kind::thematicBreak;
    default:
        break;
    }
    if ((cmark_node_get_type(node) & CMARK_NODE_TYPE_MASK) != CMARK_NODE_TYPE_BLOCK)
        return std::nullopt;
    const char* name = cmark_node_get_type_string(node);
    if (std::strcmp(name, "table") == 0)
        return Kind::table;
    if (std::strcmp(name, "table_header") == 0)
        return Kind::tableHeaderRow;
    if (std::strcmp(name, "table_row") == 0)
        return Kind::tableRow;
    if (std::strcmp(name, "table_cell") == 0)
        return Kind::tableCell;
    return Kind::other;
}

QString literal(cmark_node* node)
{
    const char* text = cmark_node_get_literal(node);
    return text ? QString::fromUtf8(text) : QString();
}

QString withoutFinalLineFeed(QString text)
{
    if (text.endsWith(u'\n'))
        text.chop(1);
    return text;
}

class Walker {
public:
    explicit Walker(int maximumNesting) : maximumNesting_(maximumNesting) {}

    std::optional<QList<MarkdownRun>> walk(cmark_node* root)
    {
        cmark_iter* iter = cmark_iter_new(root);
        bool ok = true;
        for (cmark_event_type event = cmark_iter_next(iter); ok && event != CMARK_EVENT_DONE;
             event = cmark_iter_next(iter)) {
            ok = visit(cmark_iter_get_node(iter), event == CMARK_EVENT_ENTER);
        }
        cmark_iter_free(iter);
        if (!ok)
            return std::nullopt;
        return std::move(runs_);
    }

private:
    bool visit(cmark_node* node, bool entering);
    bool enterBlock(cmark_node* node, Kind kind);
    void exitBlock();
    void addRun(QString text, unsigned extraFlags);

    const int maximumNesting_;
    QList<MarkdownRun> runs_;
    QList<MarkdownRun::Block> blocks_; // innermost first, shared by the runs of one block
    std::vector<int64_t> nextOrdinal_; // per open list, innermost last
    std::vector<QString> links_; // open links, innermost last
    int nextIdentity_ = 1;
    int emphasis_ = 0;
    int strong_ = 0;
    int strikethrough_ = 0;
};

bool Walker::visit(cmark_node* node, bool entering)
{
    const cmark_node_type type = cmark_node_get_type(node);
    if (const std::optional<Kind> kind = blockKind(node)) {
        if (!entering) {
            exitBlock();
            return true;
        }
        if (!enterBlock(node, *kind))
            return false;
        if (type == CMARK_NODE_CODE_BLOCK) {
            addRun(withoutFinalLineFeed(literal(node)), 0);
            exitBlock(); // leaf blocks have no exit event
        } else if (type == CMARK_NODE_HTML_BLOCK) {
            addRun(withoutFinalLineFeed(literal(node)), MarkdownRun::blockHTML);
            exitBlock();
        } else if (type == CMARK_NODE_THEMATIC_BREAK) {
            exitBlock();
        }
        return true;
    }
    const int step = entering ? 1 : -1;
    switch (type) {
    case CMARK_NODE_TEXT:
        addRun(literal(node), 0);
        break;
    case CMARK_NODE_CODE:
        addRun(literal(node), MarkdownRun::code);
        break;
    case CMARK_NODE_SOFTBREAK:
        // The converter writes the lines the page showed, those of one paragraph or of code, one
        // line feed apart: each stays a line of its own, as a hard break's line does.
        addRun(QStringLiteral("\n"), MarkdownRun::softBreak);
        break;
    case CMARK_NODE_LINEBREAK:
        addRun(QStringLiteral("\n"), MarkdownRun::lineBreak);
        break;
    case CMARK_NODE_HTML_INLINE:
        addRun(literal(node), MarkdownRun::inlineHTML);
        break;
    case CMARK_NODE_EMPH:
        emphasis_ += step;
        break;
    case CMARK_NODE_STRONG:
        strong_ += step;
        break;
    case CMARK_NODE_LINK:
        if (entering) {
            const char* url = cmark_node_get_url(node);
            links_.push_back(url ? QString::fromUtf8(url) : QString());
        } else if (!links_.empty()) {
            links_.pop_back();
        }
        break;
    default:
        if (std::strcmp(cmark_node_get_type_string(node), "strikethrough") == 0)
            strikethrough_ += step;
        break;
    }
    return true;
}

bool Walker::enterBlock(cmark_node* node, Kind kind)
{
    if (blocks_.size() >= maximumNesting_)
        return false;
    MarkdownRun::Block block;
    block.kind = kind;
    block.identity = nextIdentity_++;
    if (kind == Kind::header)
        block.level = cmark_node_get_heading_level(node);
    if (kind == Kind::orderedList || kind == Kind::unorderedList)
        nextOrdinal_.push_back(kind == Kind::orderedList ? cmark_node_get_list_start(node) : 1);
    if (kind == Kind::listItem && !nextOrdinal_.empty())
        block.ordinal = nextOrdinal_.back()++;
    blocks_.prepend(block);
    return true;
}

void Walker::exitBlock()
{
    if (blocks_.isEmpty())
        return;
    const Kind kind = blocks_.first().kind;
    if ((kind == Kind::orderedList || kind == Kind::unorderedList) && !nextOrdinal_.empty())
        nextOrdinal_.pop_back();
    blocks_.removeFirst();
}

void Walker::addRun(QString text, unsigned extraFlags)
{
    MarkdownRun run;
    run.text = std::move(text);
    run.blocks = blocks_;
    run.inlineFlags = extraFlags;
    if (emphasis_ > 0)
        run.inlineFlags |= MarkdownRun::emphasized;
    if (strong_ > 0)
        run.inlineFlags |= MarkdownRun::stronglyEmphasized;
    if (strikethrough_ > 0)
        run.inlineFlags |= MarkdownRun::strikethrough;
    if (!links_.empty() && !links_.back().isEmpty())
        run.link = links_.back();
    runs_.append(std::move(run));
}

} // namespace

std::optional<QList<MarkdownRun>> parse(const QString& markdown, int maximumNesting)
{
    const CmarkDocument document(markdown);
    if (!document.root())
        return std::nullopt;
    return Walker(maximumNesting).walk(document.root());
}

} // namespace vellicord::MarkdownParser
