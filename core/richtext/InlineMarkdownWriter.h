#pragma once

#include <QString>
#include <QStringView>

#include <cstdint>
#include <vector>

namespace vellicord {

// Writes the runs of one paragraph as inline Markdown that a CommonMark reader reads back as the
// same text with the same emphasis, code and links.
//
// Emphasis that neighbouring runs share stays open across them ("**It *works*.**", never
// "**It** ***works*****.**", whose merged markers a reader pairs differently); white space at the
// edges of a run stays outside the markers. Every run of markers is checked against CommonMark's
// flanking rules; a paragraph where one could be read two ways is read back with the CommonMark
// parser itself, and emphasis that does not come back as written is left out rather than shown
// as stray asterisks. Text is escaped where CommonMark would read it as markup: the six
// characters that always are, "<" where it would start a tag or an automatic link, "&" where it
// would start a character reference, "!" before a link, "~" where it could strike text through,
// and the start of a line that would start a block. Code spans are fenced with more backticks
// than any run inside them (code with a run of 80, more than a reader takes, is written as text). Line separators
// (U+2028) become hard line breaks. White space at the start of the paragraph is left out.
//
// Text is viewed, not copied: what is handed in must outlive the writer.
class InlineMarkdownWriter {
public:
    enum Trait : unsigned { bold = 1, italic = 2 };

    // Text of one run. `following` is the paragraph's text after it, which decides whether a "<"
    // or "&" at its end needs escaping. `link` is the link target to write, empty for none.
    void addText(QStringView text, QStringView following, unsigned traits, const QString& link);
    // Monospaced text of one run: a code span, one with code right next to it. It keeps the
    // emphasis around it open when its own font has the same traits, and opens none itself.
    void addCode(QStringView code, unsigned traits, const QString& link);

    // Starts another paragraph.
    void clear() { pieces_.clear(); }

    // The Markdown; `continuation` starts every line after a hard line break (the indentation
    // of a list item, "> " in a quote).
    QString finish(QStringView continuation) const;

    // True when the paragraph has visible text and all of it is code.
    bool allCode() const;

    // Escaped text (see above), appended to out; `markerMayFollow`: an emphasis marker may stand
    // right after it.
    static void appendEscaped(QString& out, QStringView text, QStringView following, bool markerMayFollow = false);
    // The text with only "&" written as "&amp;" where it would start a character reference, as
    // link targets need it.
    static void appendEscapedReferences(QString& out, QStringView text);
    // The code span of the text.
    static void appendCodeSpan(QString& out, QStringView code);

private:
    enum class Kind : uint8_t { text, code, space, lineBreak };
    struct Piece {
        Kind kind;
        unsigned traits = 0;
        QStringView text;
        QStringView following;
        QString link;
        QString joined; // code joined from neighbouring runs, when it is
    };
    struct Emitted;
    struct Plan;

    void addSpace(QStringView space);
    void addContent(Kind kind, QStringView text, QStringView following, unsigned traits, const QString& link);
    Emitted emit(const Plan& plan) const;
    bool readsBackAsWritten(const Emitted& emitted, Plan& plan) const;
    QStringView visible(const Piece& piece) const { return piece.joined.isEmpty() ? piece.text : piece.joined; }

    std::vector<Piece> pieces_;
};

} // namespace vellicord
