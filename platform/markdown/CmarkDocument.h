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

    cmark_node* root() const { return m_root; }
    cmark_parser* parser() const { return m_parser; }

private:
    cmark_parser* m_parser = nullptr;
    cmark_node* m_root = nullptr;
};

} // namespace vellicord
