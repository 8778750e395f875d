#pragma once

#include <QString>

struct cmark_node;
struct cmark_parser;

namespace vellicord {

// A parsed CommonMark document with the strikethrough and table extensions attached (tables only
// where no line has more than 128 "|"); owns the parser and the tree.
class CmarkDocument {
public:
    explicit CmarkDocument(const QString& markdown);
    ~CmarkDocument();
    CmarkDocument(const CmarkDocument&) = delete;
    CmarkDocument& operator=(const CmarkDocument&) = delete;

    cmark_node* root() const { return root_; }
    cmark_parser* parser() const { return parser_; }

private:
    cmark_parser* parser_ = nullptr;
    cmark_node* root_ = nullptr;
};

} // namespace vellicord
